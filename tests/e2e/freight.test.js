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

// The freight texts the builder writes, worked out by hand: [text, region, method, lines,
// [subtotal, freight, freightTax, tax, total] or the reason it cannot be worked out, options].
// Rates are in thousandths of a percent, limits in thousandths of a unit, amounts in cents.
const example = 'Air(USA,Canada(10%,5f,2.50<=0.5k,4.00<=1k,9.00<=10k,9.00+1.00k>10k););';
const gaps = 'Post(NZ(0<=0.5k,3.00<=2k,5.00<=4k););';
const rule = (r) => `Ship(A(${r}););`;
const taxed = 'Std(Taxed(15%,0<=0.5k);Free(0<=0.5k););';
const mixed = [line(2, '10.00', 0, 0, 10), line(1, '5.00', 0, 0, 0), line(1, '3.33', 0, 0, 25)];
const totalsCases = [
  // 0.4 units: first band; freight tax 0.125 rounds up.
  [example, 'Canada', 0, [line(2, '10.00', 0.2)], [2000, 250, 13, 200, 2463]],
  [example, 'USA', 0, [line(1, '1.00', 1)], [100, 400, 20, 10, 530]], // on a limit: that band
  [example, 'USA', 0, [line(1, '1.00', 1.2)], [100, 900, 45, 10, 1055]], // the next band present
  [example, 'USA', 0, [line(5, '1.00', 2.5)], [500, 1200, 60, 50, 1810]], // 9.00 + 3 started units
  [example, 'Mexico', 0, [line(1, '1.00')], 'region'],
  [example, 'USA', 3, [line(1, '1.00')], 'method'],
  [gaps, 'NZ', 0, [line(1, '5', 0.3)], [500, 0, 0, 0, 500]], // an empty first band is free
  [gaps, 'NZ', 0, [line(1, '5', 2.5)], [500, 500, 0, 0, 1000]], // a gap takes the next limit
  [gaps, 'NZ', 0, [line(3, '5', 3, 0, 15)], [1500, 500, 0, 0, 2000]], // past the last band; no tax
  [rule('12.50'), 'A', 0, [line(3, '1')], [300, 1250, 0, 0, 1550]],
  [rule('2/item'), 'A', 0, [line(3, '1'), line(2, '1')], [500, 1000, 0, 0, 1500]],
  [rule('1.5/k'), 'A', 0, [line(2, '1', 1.5)], [200, 450, 0, 0, 650]],
  [rule('5,free>=100'), 'A', 0, [line(1, '99.99')], [9999, 500, 0, 0, 10499]],
  [rule('5,free>=100'), 'A', 0, [line(1, '100')], [10000, 0, 0, 0, 10000]],
  [rule('free'), 'A', 0, [line(2, '1', 0, '0.75')], [200, 150, 0, 0, 350]], // per-item F on top
  // Brackets in region names and rules; words no rule term knows are refused, not guessed.
  ['Air(Korea (South)(10%,free (over 50),free>=50,7.5););', 'Korea (South)', 0, [line(1, '10')], 'rule'],
  // Per-item freight on a zero band, 10 % freight tax and region tax.
  ['Std(AU(10%,10f,0<=0.5k););', 'AU', 0, [line(3, '20.00', 0, '1.50'), line(1, '5.00', 0, '2')],
    [6500, 650, 65, 650, 7865]],
  // Product-based tax: 20.00 x 10 % + 3.33 x 25 % = 2.8325; region based 28.33 x 15 % = 4.2495.
  [taxed, 'Taxed', 0, mixed, [2833, 0, 0, 283, 3116]],
  [taxed, 'Taxed', 0, mixed, [2833, 0, 0, 425, 3258], { taxMode: 'region' }],
  [taxed, 'Free', 0, mixed, [2833, 0, 0, 0, 2833]],
  [taxed, 'Taxed', 0, [line(1, '10.00')], [1000, 0, 0, 150, 1150]], // region based by default
];

test('freight texts: groups, bands, rules and tax worked out to the cent', () => {
  const g = T.parseFreight(example)[0].groups[0];
  assert.deepEqual([g.regions, g.tax, g.freightTax, g.bands, g.perUnit, g.rule], [['USA', 'Canada'], 10000, 5000,
    [{ limit: 500, amount: 250 }, { limit: 1000, amount: 400 }, { limit: 10000, amount: 900 }], { base: 900, rate: 100 }, null]);
  assert.equal(T.parseFreight(rule('12.50'))[0].groups[0].rule, '12.50');
  for (const [text, region, method, lines, expected, options] of totalsCases) {
    const r = T.computeTotals(T.parseFreight(text), region, method, lines, options);
    const what = `${text} ${region} ${method}`;
    if (typeof expected === 'string') assert.deepEqual([r.ok, r.reason], [false, expected], what);
    else assert.deepEqual([r.ok, r.subtotal, r.freight, r.freightTax, r.tax, r.total], [true, ...expected], what);
  }
  const methods = T.parseFreight('Economy+Air+%282-3+Weeks%29(UK(20%,1.00<=0.5k);France,Spain(2.00<=0.5k););' +
    'Express(UK(20%,8.00<=0.5k););');
  assert.deepEqual(methods.map((m) => m.name), ['Economy Air (2-3 Weeks)', 'Express']);
  assert.deepEqual([T.regionsOf(methods), T.methodsFor(methods, 'UK'), T.methodsFor(methods, 'Spain')],
    [['UK', 'France', 'Spain'], [0, 1], [0]]);
  assert.equal(T.computeTotals(methods, 'Spain', 1, [line(1, '10')]).ok, false);
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

test('money: cents, rounding, number texts and the currency sign', () => {
  assert.deepEqual([0, 5, 123456, -250].map(T.fixed2), ['0.00', '0.05', '1234.56', '-2.50']);
  assert.deepEqual([T.cents(1.005), T.cents(0.125), T.toNumber('$1,250.50'), T.toNumber('abc')], [101, 13, 1250.5, 0]);
  assert.equal(T.urlDecode('Caf%E9+Cr%E8me%2'), 'Caf\u00e9 Cr\u00e8me%2');
  assert.equal(T.urlDecode('Caf%C3%A9+%26+Tea'), 'Caf\u00e9 & Tea');
  globalThis.TOLMI_CURRENCY = '\u20ac';
  assert.equal(T.money(1999), '\u20ac19.99');
  delete globalThis.TOLMI_CURRENCY;
});

test('cart: add as the pages call it, merge, quantities, remove by code', () => {
  store.clear();
  assert.equal(T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Red', 'Large'), true);
  T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Red', 'Large');
  T.addItem('mugs.html', 'MUG-01', 'Blue%20Mug', '4.50', 'mug.jpg', 1, '0.3', '0', '10', 'Green', 'Large');
  T.addItem('pens.html', 'P1', 'Pen', '2.00', '', 1, '0', '0', '0', undefined, undefined);
  const cart = T.loadCart();
  assert.deepEqual(cart.map((l) => [l.name, l.qty, l.option1, l.option2]),
    [['Blue Mug', 2, 'Red', 'Large'], ['Blue Mug', 1, 'Green', 'Large'], ['Pen', 1, '', '']]);
  assert.deepEqual(T.cartTotals(cart), { subtotal: 1550, count: 4 });
  // The tab-separated line the order server reads.
  assert.equal(T.itemValue(cart[0], 90), '2\tBlue Mug\tMUG-01\t4.50\t0.300\t\t\t\t10.000\t0.90\t0.00\t\tRed\tLarge');
  assert.equal(T.setQuantity(2, '5'), '');
  // What is not a whole number from 1 to 999 is refused with a message; the line stays.
  const whole = 'Enter a whole number from 1 to 999.';
  for (const [typed, said] of [['abc', whole], ['-2', whole], ['', whole], ['2.5', whole],
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
  for (const text of ['{not json', '"a string"']) {
    store.set('tolmi_cart', text);
    assert.deepEqual(T.loadCart(), []);
  }
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
  assert.deepEqual([T.currency(), store.has('tolmi_mode')], ['$', false]);
  T.setStore('NZ$', '0');
  assert.deepEqual([T.currency(), store.get('tolmi_mode')], ['NZ$', '0']);
  T.setStore('', '2');
  assert.deepEqual([T.currency(), store.get('tolmi_mode')], ['NZ$', '0']);
  store.clear();
});
