// Unit tests of the cart script's freight evaluator, cart and form helpers.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');

// A small in-memory localStorage, installed before the script loads.
const store = new Map();
globalThis.localStorage = {
  getItem: (k) => (store.has(k) ? store.get(k) : null),
  setItem: (k, v) => store.set(k, String(v)),
  removeItem: (k) => store.delete(k),
};
const T = require(path.join(__dirname, '..', '..', 'data', 'template', 'tolmi.js'));

const line = (qty, price, weight = 0, freight = 0, tax = 0) => ({ qty, price, weight, freight, tax });

test('the builder\'s example text: groups, tax prefixes, bands and per-unit band', () => {
  const text = 'Air(USA,Canada(10%,5f,2.50<=0.5k,4.00<=1k,9.00<=10k,9.00+1.00k>10k););';
  const methods = T.parseFreight(text);
  assert.equal(methods.length, 1);
  assert.equal(methods[0].name, 'Air');
  const g = methods[0].groups[0];
  assert.deepEqual(g.regions, ['USA', 'Canada']);
  // Rates in thousandths of a percent, limits in thousandths of a unit, amounts in cents.
  assert.equal(g.tax, 10000);
  assert.equal(g.freightTax, 5000);
  assert.deepEqual(g.bands, [{ limit: 500, amount: 250 }, { limit: 1000, amount: 400 }, { limit: 10000, amount: 900 }]);
  assert.deepEqual(g.perUnit, { base: 900, rate: 100 });
  assert.equal(g.rule, null);

  // 0.4 units of weight: first band; goods 20.00, freight 2.50, freight tax 0.13 (rounded), tax 2.00.
  let r = T.computeTotals(methods, 'Canada', 0, [line(2, '10.00', 0.2)]);
  assert.equal(r.ok, true);
  assert.deepEqual([r.subtotal, r.freight, r.freightTax, r.tax, r.total], [2000, 250, 13, 200, 2463]);
  // Exactly on a limit stays in that band.
  r = T.computeTotals(methods, 'USA', 0, [line(1, '1.00', 1)]);
  assert.equal(r.freight, 400);
  // Between 1 and 10 the next band present (10) applies.
  r = T.computeTotals(methods, 'USA', 0, [line(1, '1.00', 1.2)]);
  assert.equal(r.freight, 900);
  // 12.5 units: 9.00 + 3 started units at 1.00.
  r = T.computeTotals(methods, 'USA', 0, [line(5, '1.00', 2.5)]);
  assert.equal(r.freight, 1200);
  // A region that is not listed cannot order.
  r = T.computeTotals(methods, 'Mexico', 0, [line(1, '1.00')]);
  assert.deepEqual([r.ok, r.reason], [false, 'region']);
  r = T.computeTotals(methods, 'USA', 3, [line(1, '1.00')]);
  assert.deepEqual([r.ok, r.reason], [false, 'method']);
});

test('gaps keep their own limits and an empty first band charges nothing', () => {
  const methods = T.parseFreight('Post(NZ(0<=0.5k,3.00<=2k,5.00<=4k););');
  const g = methods[0].groups[0];
  assert.deepEqual(g.bands.map((b) => b.limit), [500, 2000, 4000]);
  assert.equal(T.computeTotals(methods, 'NZ', 0, [line(1, '5', 0.3)]).freight, 0);
  assert.equal(T.computeTotals(methods, 'NZ', 0, [line(1, '5', 2.5)]).freight, 500);
  // Past the last band without a per-unit band the last charge holds.
  assert.equal(T.computeTotals(methods, 'NZ', 0, [line(3, '5', 3)]).freight, 500);
  // No tax prefixes: no tax and no freight tax at all.
  const r = T.computeTotals(methods, 'NZ', 0, [line(1, '5', 1, 0, 15)]);
  assert.deepEqual([r.tax, r.freightTax], [0, 0]);
});

test('several methods and regions, each region its own group', () => {
  const text = 'Economy+Air+%282-3+Weeks%29(UK(20%,1.00<=0.5k);France,Spain(2.00<=0.5k,3.00<=1k););' +
    'Express(UK(20%,8.00<=0.5k););';
  const methods = T.parseFreight(text);
  assert.deepEqual(methods.map((m) => m.name), ['Economy Air (2-3 Weeks)', 'Express']);
  assert.deepEqual(T.regionsOf(methods), ['UK', 'France', 'Spain']);
  assert.deepEqual(T.methodsFor(methods, 'UK'), [0, 1]);
  assert.deepEqual(T.methodsFor(methods, 'Spain'), [0]);
  assert.equal(T.computeTotals(methods, 'UK', 1, [line(1, '10')]).freight, 800);
  assert.equal(T.computeTotals(methods, 'Spain', 0, [line(1, '10', 0.7)]).freight, 300);
  assert.equal(T.computeTotals(methods, 'Spain', 1, [line(1, '10')]).ok, false);
});

test('region names with brackets and a rule with brackets', () => {
  const methods = T.parseFreight('Air(Korea (South)(10%,free (over 50),free>=50,7.5););');
  const g = methods[0].groups[0];
  assert.deepEqual(g.regions, ['Korea (South)']);
  assert.equal(g.tax, 10000);
  assert.equal(g.rule, 'free (over 50),free>=50,7.5');
  // The bracketed words are no rule term this script knows: it says so instead of guessing.
  assert.equal(T.computeTotals(methods, 'Korea (South)', 0, [line(1, '10')]).reason, 'rule');
});

test('rule texts: per order, per item, per weight, free above an amount', () => {
  const m = (rule) => T.parseFreight(`Ship(A(${rule}););`);
  assert.equal(m('12.50')[0].groups[0].rule, '12.50');
  assert.equal(T.computeTotals(m('12.50'), 'A', 0, [line(3, '1')]).freight, 1250);
  assert.equal(T.computeTotals(m('2/item'), 'A', 0, [line(3, '1'), line(2, '1')]).freight, 1000);
  assert.equal(T.computeTotals(m('1.5/k'), 'A', 0, [line(2, '1', 1.5)]).freight, 450);
  assert.equal(T.computeTotals(m('5,free>=100'), 'A', 0, [line(1, '99.99')]).freight, 500);
  assert.equal(T.computeTotals(m('5,free>=100'), 'A', 0, [line(1, '100')]).freight, 0);
  assert.equal(T.computeTotals(m('free'), 'A', 0, [line(1, '100', 30)]).freight, 0);
  // Per-item surcharges (F) come on top of any charge.
  assert.equal(T.computeTotals(m('free'), 'A', 0, [line(2, '1', 0, '0.75')]).freight, 150);
});

test('per-item freight with a zero first band, per-order charge', () => {
  const perItem = T.parseFreight('Std(AU(10%,10f,0<=0.5k););');
  const r = T.computeTotals(perItem, 'AU', 0, [line(3, '20.00', 0, '1.50'), line(1, '5.00', 0, '2')]);
  // freight 3*1.50 + 2.00 = 6.50; freight tax 10 % = 0.65; region tax on goods 65.00 = 6.50.
  assert.deepEqual([r.subtotal, r.freight, r.freightTax, r.tax, r.total], [6500, 650, 65, 650, 7865]);
  const perOrder = T.parseFreight('Std(AU(7.95<=0.5k););');
  assert.equal(T.computeTotals(perOrder, 'AU', 0, [line(4, '1', 3)]).freight, 795);
});

test('product-based tax uses each item\'s rate, only in taxed regions', () => {
  const methods = T.parseFreight('Std(Taxed(15%,0<=0.5k);Free(0<=0.5k););');
  const lines = [line(2, '10.00', 0, 0, 10), line(1, '5.00', 0, 0, 0), line(1, '3.33', 0, 0, 25)];
  let r = T.computeTotals(methods, 'Taxed', 0, lines);
  // 20.00*10% + 3.33*25% = 2.00 + 0.8325 -> 2.83
  assert.equal(r.tax, 283);
  r = T.computeTotals(methods, 'Taxed', 0, lines, { taxMode: 'region' });
  assert.equal(r.tax, 425); // 28.33 * 15 % = 4.2495
  r = T.computeTotals(methods, 'Free', 0, lines);
  assert.equal(r.tax, 0);
  // Region based by default when no item has a rate.
  r = T.computeTotals(methods, 'Taxed', 0, [line(1, '10.00')]);
  assert.equal(r.tax, 150);
});

test('malformed and empty freight texts never throw', () => {
  for (const bad of ['', null, undefined, '(', ');', 'Air(', 'Air(USA', 'Air(USA(', 'Air();',
    '((((', ');););', 'Air(USA(x<=yk););', 'A'.repeat(100000), 'Air(USA(10%,5f););']) {
    const methods = T.parseFreight(bad);
    assert.ok(Array.isArray(methods));
    T.computeTotals(methods, 'USA', 0, [line(1, '1')]);
  }
  assert.deepEqual(T.parseFreight(''), []);
  // A text cut short keeps the complete groups read before the cut.
  const cut = T.parseFreight('Air(USA(1.00<=0.5k);Canada(2.0');
  assert.deepEqual(cut[0].groups.map((g) => g.regions[0]), ['USA', 'Canada']);
});

test('money: cents, rounding and the currency sign', () => {
  assert.equal(T.fixed2(0), '0.00');
  assert.equal(T.fixed2(5), '0.05');
  assert.equal(T.fixed2(123456), '1234.56');
  assert.equal(T.fixed2(-250), '-2.50');
  assert.equal(T.cents(1.005), 101);
  assert.equal(T.cents(0.125), 13);
  assert.equal(T.toNumber('$1,250.50'), 1250.5);
  assert.equal(T.toNumber('abc'), 0);
  assert.equal(T.urlDecode('Caf%E9+Cr%E8me%2'), 'Caf\u00e9 Cr\u00e8me%2');
  assert.equal(T.urlDecode('Caf%C3%A9+%26+Tea'), 'Caf\u00e9 & Tea');
  globalThis.TOLMI_CURRENCY = '\u20ac';
  assert.equal(T.money(1999), '\u20ac19.99');
  delete globalThis.TOLMI_CURRENCY;
  T.setCurrency('$CURRENCY');
  assert.equal(T.currency(), '$');
  T.setCurrency('NZ$');
  assert.equal(T.currency(), 'NZ$');
});

test('cart: add as the pages call it, merge, quantities, remove by code', () => {
  store.clear();
  assert.equal(T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Red', 'Large'), true);
  T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Red', 'Large');
  T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Green', 'Large');
  T.addItem('pens.html', 'P1', 'Pen', '2.00', '', 1, '0', '0', '0', undefined, undefined);
  let cart = T.loadCart();
  assert.equal(cart.length, 3);
  assert.equal(cart[0].name, 'Blue Mug');
  assert.equal(cart[0].qty, 2);
  assert.deepEqual([cart[2].option1, cart[2].option2], ['', '']);
  assert.deepEqual(T.cartTotals(cart), { subtotal: 1550, count: 4 });
  // The tab-separated line the order server reads.
  assert.equal(T.itemValue(cart[0], 90), '2\tBlue Mug\tMUG-01\t4.50\t0.300\t\t\t\t10.000\t0.90\t0.00\t\tRed\tLarge');
  assert.equal(T.setQuantity(2, '5'), '');
  // What is not a whole number from 1 to 999 is refused with a message; the line stays.
  for (const [typed, said] of [['abc', 'Enter a whole number from 1 to 999.'], ['-2', 'Enter a whole number from 1 to 999.'],
    ['', 'Enter a whole number from 1 to 999.'], ['2.5', 'Enter a whole number from 1 to 999.'],
    [0, 'Enter 1 or more, or use Remove to take the item out.'], ['999999', 'At most 999 of one item can be ordered.']]) {
    assert.equal(T.setQuantity(1, typed), said, String(typed));
  }
  assert.equal(T.setQuantity(7, '1'), 'There is no such line in the cart.');
  assert.deepEqual(T.loadCart().map((l) => l.qty), [2, 1, 5]);
  T.removeItem('MUG-01');
  assert.deepEqual(T.loadCart().map((l) => l.code), ['P1']);
  // A zero quantity adds nothing.
  assert.equal(T.addItem('x.html', 'X', 'X', '1', '', 0, '0', '0', '0', '', ''), false);
  T.clearCart();
  assert.deepEqual(T.loadCart(), []);
});

test('currency texts as ISO codes for search engines', () => {
  for (const [text, code] of [['$', 'USD'], ['NZ$', 'NZD'], ['\u20ac', 'EUR'], ['CHF', 'CHF'], ['GBP', 'GBP'], ['Rs.', ''], ['', '']]) {
    assert.equal(T.currencyCode(text), code, text);
  }
});

test('a damaged stored cart reads as empty or as its sound lines', () => {
  store.set('tolmi_cart', '{not json');
  assert.deepEqual(T.loadCart(), []);
  store.set('tolmi_cart', '"a string"');
  assert.deepEqual(T.loadCart(), []);
  store.set('tolmi_cart', JSON.stringify([null, 5, { code: 'A', qty: -1 }, { code: 'B', qty: '2', price: '1.5' }]));
  const cart = T.loadCart();
  assert.equal(cart.length, 1);
  assert.deepEqual([cart[0].code, cart[0].qty], ['B', 2]);
  store.clear();
});

test('the frame\'s quoted form text turns back into HTML', () => {
  assert.equal(T.restoreQuotes('<input name=%22Name%22 required>'), '<input name="Name" required>');
  assert.equal(T.restoreQuotes(null), '');
});

test('every page hands over the currency and cart mode; unfilled placeholders are ignored', () => {
  store.clear();
  T.setStore('$CURRENCY2', '$MODE');
  assert.equal(T.currency(), '$');
  assert.equal(store.has('tolmi_mode'), false);
  T.setStore('NZ$', '0');
  assert.equal(T.currency(), 'NZ$');
  assert.equal(store.get('tolmi_mode'), '0');
  T.setStore('\u20ac', '1');
  assert.deepEqual([T.currency(), store.get('tolmi_mode')], ['\u20ac', '1']);
  T.setStore('', '2');
  assert.deepEqual([T.currency(), store.get('tolmi_mode')], ['\u20ac', '1']);
  store.clear();
});
