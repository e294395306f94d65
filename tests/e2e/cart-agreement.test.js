// 10,000 random carts worked out by the cart script and by the C++ price check's rules
// (the cart_figures program): every figure must be the same number of cents, and the price
// check finds the order the script would send for each one matching its catalogue.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { execFileSync } = require('node:child_process');

globalThis.localStorage = { getItem: () => null, setItem: () => {}, removeItem: () => {} };
const T = require(path.join(__dirname, '..', '..', 'data', 'template', 'tolmi.js'));

// A small seeded generator (mulberry32), so every run checks the same carts.
function rng(seed) {
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function randomCart(r) {
  const pick = (list) => list[Math.floor(r() * list.length)];
  const int = (n) => Math.floor(r() * n);
  const money = () => pick([
    () => (int(100000) / 100).toFixed(2), () => (int(1000000) / 1000).toFixed(3), () => String(int(50)),
    () => '$' + (int(300000) / 100).toLocaleString('en-US'), () => '.' + int(10), () => '', () => 'n/a',
    () => (int(2000) / 1000 + 0.005).toFixed(3)])();
  const weight = () => pick(['', '0', String(int(30) / 4), (int(200000) / 10000).toFixed(4), '1.2345', '10.0005']);
  const rate = () => pick(['0', '', '10', '12.5', '8.875', '15%', '7.25', '0.001', '33.3333']);
  const regions = ['NZ', 'Australia', 'Korea (South)', 'USA', 'Canada', 'France'].slice(0, 1 + int(6));
  const band = () => (int(3000) / 100).toFixed(pick([0, 2, 2, 3]));
  const rules = ['12.50', '2/item', '1.5/k', '5,free>=100', 'free', '2.50<=1k,4.00<=5k', '3,0.75/k',
    '4.995,free over 250', '9+1.5k>10k', 'call us'];
  let text = '';
  const methods = 1 + int(3);
  for (let m = 0; m < methods; m++) {
    const groups = [];
    for (const region of regions) {
      if (r() < 0.2) continue;
      let g = region + '(';
      if (r() < 0.6) g += rate() + '%,';
      if (r() < 0.4) g += pick(['5', '12.5', '0', '8.875']) + 'f,';
      if (r() < 0.25) {
        g += pick(rules);
      } else {
        g += band() + '<=0.5k';
        for (let k = 1; k <= 10; k++) if (r() < 0.45) g += ',' + band() + '<=' + k + 'k';
        if (r() < 0.5) g += ',' + band() + '+' + (int(500) / 100).toFixed(2) + 'k>10k';
      }
      groups.push(g + ');');
    }
    if (groups.length) text += (text ? ');' : '') + ['Air', 'Express+Courier', 'Surface%2FSea'][m] + '(' + groups.join('');
  }
  if (text) text += ');';
  if (r() < 0.03) text = '';
  const lines = [];
  for (let n = 1 + int(6); n > 0; n--) {
    lines.push({ qty: int(14) - 1, price: money(), weight: weight(), freight: pick(['0', '', '1.50', '0.005', money()]), tax: rate() });
  }
  return { text, region: r() < 0.9 ? pick(regions) : 'Mars', method: int(methods + 1) - (r() < 0.05 ? 1 : 0),
           mode: pick(['auto', 'auto', 'product', 'region']), lines };
}

// The cart script's figures, as the order form works them out.
function scriptFigures(cart) {
  let methods = T.parseFreight(cart.text);
  let region = cart.region, method = cart.method;
  if (!methods.length) {
    methods = [{ name: '', groups: [{ regions: [''], tax: null, freightTax: null, bands: [], perUnit: null, rule: null }] }];
    region = ''; method = 0;
  }
  const r = T.computeTotals(methods, region, method, cart.lines, cart.mode === 'auto' ? {} : { taxMode: cart.mode });
  return r.ok ? `ok ${r.subtotal} ${r.freight} ${r.freightTax} ${r.tax} ${r.total} ${r.lineTax.join(',')}` : `no ${r.reason}`;
}

test('10,000 random carts: the cart script and the C++ rules agree to the cent', { skip: !process.env.CART_FIGURES }, () => {
  const r = rng(20261207);
  const carts = [];
  for (let i = 0; i < 10000; i++) carts.push(randomCart(r));
  const input = carts.map((c) => [`C ${c.text}`, `R ${c.region}`, `M ${c.method} ${c.mode}`,
    ...c.lines.map((l) => `L ${l.qty}\t${l.price}\t${l.weight}\t${l.freight}\t${l.tax}`), 'E'].join('\n')).join('\n') + '\n';
  const out = execFileSync(process.env.CART_FIGURES, { input, maxBuffer: 64 << 20 }).toString().split('\n');
  let ok = 0, reasons = new Set();
  carts.forEach((cart, i) => {
    const mine = scriptFigures(cart);
    assert.equal(out[i], mine, `cart ${i}: ${JSON.stringify(cart)}`);
    if (mine.startsWith('ok')) ok++; else reasons.add(mine);
  });
  // The carts reach every road: worked out, and refused for each reason.
  assert.ok(ok > 3000, `only ${ok} carts were worked out`);
  assert.deepEqual([...reasons].sort(), ['no method', 'no region', 'no rule']);
  // The orders the script would send for them all pass the price check.
  const [, checked, flagged] = /^checked (\d+) flagged (\d+)$/.exec(out[carts.length]) || [];
  assert.ok(Number(checked) > 1000, `only ${checked} orders were checked`);
  assert.equal(Number(flagged), 0, `${flagged} of ${checked} honest orders were flagged`);
});
