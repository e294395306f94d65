// The stores the browser suite shops in: the sample store and small generated projects,
// each with the shopping it does and the totals a shopper must see (worked out by hand).
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { top } = require('./support');

// One project node: kind digit, title and its keys; children follow in `children`.
function node(kind, title, keys = {}, children = null, options1 = [], options2 = []) {
  return { kind, title, keys, children, options1, options2 };
}

function nodeLines(n) {
  const lines = [`NODE${n.kind}=${n.title}`, 'STATUS=0'];
  for (const [k, v] of Object.entries(n.keys)) lines.push(`${k}=${v}`);
  for (const o of n.options1) lines.push(`&1${o}|`);
  for (const o of n.options2) lines.push(`&2${o}|`);
  if (n.children) {
    lines.push('#BRANCH');
    for (const c of n.children) lines.push(...nodeLines(c));
    lines.push('#EOB');
  }
  return lines;
}

// Writes DIR/NAME.stp with the page templates of one of the shipped styles ("Group/Name",
// folder below data/template); returns the project path.
function writeProject(dir, name, { style, nodes, freight, settings }) {
  fs.mkdirSync(path.join(dir, 'template'), { recursive: true });
  const folder = path.join(top, 'data', 'template', style.split('/')[1].toLowerCase());
  for (const file of fs.readdirSync(folder).filter((f) => f.endsWith('.htm'))) {
    fs.copyFileSync(path.join(folder, file), path.join(dir, 'template', file));
  }
  const lines = ['VERSION=2034361'];
  for (const n of nodes) lines.push(...nodeLines(n));
  lines.push(...freight, `LAYOUT=${style}`, ...settings);
  const file = path.join(dir, `${name}.stp`);
  fs.writeFileSync(file, lines.join('\n') + '\n', 'latin1');
  return file;
}

const home = node(0, 'Home', { FILE: 'index.html', PAGE: 'Welcome', BODY: '<p>Hello</p>', TEMP: 'category.htm' });

/* Store "Northwind" (style Harbour): weight bands with a gap and the per-unit band above 10, a per-order
   charge, a rule and free delivery, region-based tax with freight tax (TAXF), the cart kept
   on screen, no cards. */
function northwind(dir) {
  return writeProject(dir, 'Northwind', {
    style: 'Modern/Harbour',
    nodes: [home,
      node(1, 'Desk Lamp', { FILE: 'lamp.html', PAGE: 'Desk Lamp', COST: '24.00', CODE: 'LAMP-1', W: '1.2',
        TEMP: 'product.htm', NN1: 'Colour', NN2: 'Plug' }, null, ['Brass', 'Black'], ['EU', 'UK']),
      node(2, 'Bits and pieces', { FILE: 'bits.html', PAGE: 'Bits and pieces', TEMP: 'shelf.htm' }, [
        node(1, 'Bulb', { COST: '3.50', CODE: 'BULB-2', W: '0.1', TEMP: 'product.htm', NN1: 'Power' }, null,
          ['40 W', '60 W']),
        node(1, 'Cable', { COST: '7.25', CODE: 'CAB-3', W: '2.5', TEMP: 'product.htm' }),
        node(1, 'Switch', { COST: '5.00', CODE: 'SW-4', W: '0.2', TEMP: 'product.htm' }),
      ]),
    ],
    freight: [
      '$Northland0,3.00,4.00,,6.00,,,,,,,9.00,1.25,10%,|1',
      '$Northland1,7.00,,,,,,,,,,,,10%,|1',
      '$Northland2,,,,,,,,,,,,,10%,|1',
      'RULE=2,4.00,1.50/item,free>=100',
      '$Southland0,0,,,,,,,,,,,,,|1',
      '$Southland1,0,,,,,,,,,,,,,|0',
      '$Southland2,0,,,,,,,,,,,,,|1',
    ],
    settings: ['STITLE=Northwind Lamps', 'TAXF=5%', 'TAXD=1', 'TAXO=1', 'CURR=NZ$',
      'CARTONSCREEN=1', 'SEARCH=0', 'FNAME=0,Weight Post', 'FNAME=1,Flat Courier', 'FNAME=2,Rule Freight'],
  });
}

/* Store "Paperie" (style Parchment): per-item freight (F) with a zero first band, product-based tax (X) in a
   taxed region and none in another, cards accepted. */
function paperie(dir) {
  return writeProject(dir, 'Paperie', {
    style: 'Classic/Parchment',
    nodes: [home,
      node(1, 'Linen Journal', { FILE: 'journal.html', PAGE: 'Linen Journal', COST: '18.00', CODE: 'JRN-1',
        W: '0.5', F: '2.00', X: '20%', TEMP: 'product.htm', NN1: 'Ruling' }, null, ['Lined', 'Dotted']),
      node(2, 'Pens and ink', { FILE: 'pens.html', PAGE: 'Pens and ink', TEMP: 'shelf.htm' }, [
        node(1, 'Fountain Pen', { COST: '45.50', CODE: 'PEN-2', W: '0.1', F: '1.50', X: '20', TEMP: 'product.htm',
          NN1: 'Nib' }, null, ['Fine', 'Medium']),
        node(1, 'Ink', { COST: '9.99', CODE: 'INK-3', W: '0.3', F: '0.75', X: '5', TEMP: 'product.htm' }),
        node(1, 'Card', { COST: '1.20', CODE: 'CRD-4', W: '0.01', TEMP: 'product.htm' }),
      ]),
    ],
    freight: [
      '$Taxland0,0,,,,,,,,,,,,8%,|1',
      '$Taxland1,,,,,,,,,,,,,8%,|0',
      '$Taxland2,,,,,,,,,,,,,8%,|0',
      '$Freeland0,0,,,,,,,,,,,,,|1',
      '$Freeland1,,,,,,,,,,,,,,|0',
      '$Freeland2,,,,,,,,,,,,,,|0',
    ],
    settings: ['STITLE=Paperie', 'TAXD=1', 'TAXO=0', 'CURR=$', 'CARTONSCREEN=0',
      'SEARCH=0', 'FNAME=0,Parcel', 'CC=1:Visa', 'CC=1:Master Card'],
  });
}

/* Store "Plain" (style Slate): no delivery methods and no tax: the order is the goods alone. */
function plain(dir) {
  return writeProject(dir, 'Plain', {
    style: 'Classic/Slate',
    nodes: [home,
      node(1, 'Gift Card', { FILE: 'gift.html', PAGE: 'Gift Card', COST: '25.00', CODE: 'GIFT-1', TEMP: 'product.htm' }),
    ],
    freight: [],
    settings: ['STITLE=Plain Gifts', 'TAXD=0', 'CURR=$', 'SEARCH=0'],
  });
}

const customer = {
  Name: "Zo\u00eb \u0141ukasiewicz O'Brien & Co = 1+1", Company: '', Email: 'zoe@example.com', Phone: '+64 9 555 0100',
  Street: '1 Quay St', City: 'Auckland', State: '', Zip: '1010', Country: 'New Zealand',
  Comments: 'Caf\u00e9 door, ring twice',
};
const card = { CardholderName: 'ZOE OBRIEN', CardNumber: '4111 1111 1111 1111', CardExpiryMonth: '07',
  CardExpiryYear: '2029' };

/* Each store: how to get its project, the shopping ("adds": page, form number, options,
   clicks), the cart edits, the cart after every step, the order-form cases (region, method,
   freight, freight tax, tax, total as shown) and the order sent with its item fields. */
const stores = [
  {
    name: 'teashop',
    project: (dir) => require('./support').copySample(dir),
    currency: '$',
    cards: true,
    adds: [
      { page: 'sencha.html', form: 1, option1: '100 g' },
      { page: 'teaware.html', form: 1, option1: '1 litre' },
      { page: 'teaware.html', form: 3, clicks: 2 },
    ],
    afterAdds: [['Sencha Yabukita', '100 g', 1, '12.50'], ['Glass Teapot', '1 litre', 1, '34.00'],
      ['Bamboo Scoop', '', 2, '12.00']],
    setQty: { line: 0, qty: 3 },
    afterQty: '$83.50',
    remove: 2,
    cart: [['Sencha Yabukita', '100 g', 3, '37.50'], ['Glass Teapot', '1 litre', 1, '34.00']],
    subtotal: '$71.50',
    regions: ['United States', 'Canada'],
    methods: { 'United States': ['Standard Post (3-5 days)', 'Express Courier (1-2 days)'],
      Canada: ['Standard Post (3-5 days)', 'Express Courier (1-2 days)'] },
    // Weight 3 x 0.1 + 0.8 = 1.1: the "<=2k" band. US tax 8.25 % of 71.50 = 5.90.
    cases: [
      ['Canada', 'Express Courier (1-2 days)', '$31.00', '$0.00', '$0.00', '$102.50'],
      ['United States', 'Express Courier (1-2 days)', '$19.00', '$0.00', '$5.90', '$96.40'],
      ['Canada', 'Standard Post (3-5 days)', '$14.95', '$0.00', '$0.00', '$86.45'],
      ['United States', 'Standard Post (3-5 days)', '$8.95', '$0.00', '$5.90', '$86.35'],
    ],
    order: {
      region: 'United States', method: 'Standard Post (3-5 days)', freight: '8.95', freightTax: '0.00', tax: '5.90',
      amount: '86.35',
      items: [
        { qty: 3, name: 'Sencha Yabukita', code: 'GT-101', price: '12.50', weight: '0.1', taxRate: '0', tax: '3.09',
          freight: '0.00', option1: '100 g' },
        { qty: 1, name: 'Glass Teapot', code: 'TW-301', price: '34.00', weight: '0.8', taxRate: '0', tax: '2.81',
          freight: '0.00', option1: '1 litre' },
      ],
    },
  },
  {
    name: 'northwind',
    project: northwind,
    onScreen: true,
    currency: 'NZ$',
    cards: false,
    adds: [
      { page: 'lamp.html', form: 1, option1: 'Brass', option2: 'UK' },
      { page: 'bits.html', form: 1, option1: '60 W', clicks: 2 },
      { page: 'bits.html', form: 2 },
      { page: 'bits.html', form: 3 },
    ],
    afterAdds: [['Desk Lamp', 'Brass, UK', 1, '24.00'], ['Bulb', '60 W', 2, '7.00'], ['Cable', '', 1, '7.25'],
      ['Switch', '', 1, '5.00']],
    setQty: { line: 2, qty: 4 },
    afterQty: 'NZ$65.00',
    remove: 3,
    cart: [['Desk Lamp', 'Brass, UK', 1, '24.00'], ['Bulb', '60 W', 2, '7.00'], ['Cable', '', 4, '29.00']],
    subtotal: 'NZ$60.00',
    regions: ['Northland', 'Southland'],
    methods: { Northland: ['Weight Post', 'Flat Courier', 'Rule Freight'], Southland: ['Weight Post', 'Rule Freight'] },
    // Weight 1.2 + 0.2 + 10 = 11.4; 7 items; goods 60.00; Northland 10 % tax, freight tax 5 %.
    cases: [
      // 9.00 for 10 units and 1.25 for each of the 2 started units above: 11.50; 5 % = 0.58.
      ['Northland', 'Weight Post', 'NZ$11.50', 'NZ$0.58', 'NZ$6.00', 'NZ$78.08'],
      // One band only: the per-order charge holds for any weight.
      ['Northland', 'Flat Courier', 'NZ$7.00', 'NZ$0.35', 'NZ$6.00', 'NZ$73.35'],
      // Rule 4.00 + 1.50 per item, not free below 100.
      ['Northland', 'Rule Freight', 'NZ$14.50', 'NZ$0.73', 'NZ$6.00', 'NZ$81.23'],
      // Free delivery and no tax.
      ['Southland', 'Rule Freight', 'NZ$0.00', 'NZ$0.00', 'NZ$0.00', 'NZ$60.00'],
    ],
    order: {
      region: 'Northland', method: 'Rule Freight', freight: '14.50', freightTax: '0.73', tax: '6.00', amount: '81.23',
      items: [
        { qty: 1, name: 'Desk Lamp', code: 'LAMP-1', price: '24.00', weight: '1.2', taxRate: '0', tax: '2.40',
          freight: '0.00', option1: 'Brass', option2: 'UK' },
        { qty: 2, name: 'Bulb', code: 'BULB-2', price: '3.50', weight: '0.1', taxRate: '0', tax: '0.70',
          freight: '0.00', option1: '60 W' },
        { qty: 4, name: 'Cable', code: 'CAB-3', price: '7.25', weight: '2.5', taxRate: '0', tax: '2.90',
          freight: '0.00' },
      ],
    },
  },
  {
    name: 'paperie',
    project: paperie,
    currency: '$',
    cards: true,
    adds: [
      { page: 'journal.html', form: 1, option1: 'Dotted', clicks: 2 },
      { page: 'pens.html', form: 1, option1: 'Medium' },
      { page: 'pens.html', form: 2 },
      { page: 'pens.html', form: 3 },
    ],
    afterAdds: [['Linen Journal', 'Dotted', 2, '36.00'], ['Fountain Pen', 'Medium', 1, '45.50'], ['Ink', '', 1, '9.99'],
      ['Card', '', 1, '1.20']],
    setQty: { line: 2, qty: 3 },
    afterQty: '$112.67',
    remove: 3,
    cart: [['Linen Journal', 'Dotted', 2, '36.00'], ['Fountain Pen', 'Medium', 1, '45.50'], ['Ink', '', 3, '29.97']],
    subtotal: '$111.47',
    regions: ['Taxland', 'Freeland'],
    methods: { Taxland: ['Parcel'], Freeland: ['Parcel'] },
    // Freight 2 x 2.00 + 1.50 + 3 x 0.75 = 7.75 on a zero band; tax 20 % of 36.00 and 45.50 and
    // 5 % of 29.97 = 7.20 + 9.10 + 1.4985 = 17.80 in the taxed region only.
    cases: [
      ['Freeland', 'Parcel', '$7.75', '$0.00', '$0.00', '$119.22'],
      ['Taxland', 'Parcel', '$7.75', '$0.00', '$17.80', '$137.02'],
    ],
    order: {
      region: 'Taxland', method: 'Parcel', freight: '7.75', freightTax: '0.00', tax: '17.80', amount: '137.02',
      items: [
        { qty: 2, name: 'Linen Journal', code: 'JRN-1', price: '18.00', weight: '0.5', taxRate: '20', tax: '7.20',
          freight: '4.00', option1: 'Dotted' },
        { qty: 1, name: 'Fountain Pen', code: 'PEN-2', price: '45.50', weight: '0.1', taxRate: '20', tax: '9.10',
          freight: '1.50', option1: 'Medium' },
        { qty: 3, name: 'Ink', code: 'INK-3', price: '9.99', weight: '0.3', taxRate: '5', tax: '1.50',
          freight: '2.25' },
      ],
    },
  },
  {
    name: 'plain',
    project: plain,
    widths: [1200],
    currency: '$',
    cards: false,
    adds: [{ page: 'gift.html', form: 1, clicks: 2 }],
    afterAdds: [['Gift Card', '', 2, '50.00']],
    cart: [['Gift Card', '', 2, '50.00']],
    subtotal: '$50.00',
    regions: [],
    methods: {},
    cases: [['', '', '$0.00', '$0.00', '$0.00', '$50.00']],
    order: {
      region: '', method: '', freight: '0.00', freightTax: '0.00', tax: '0.00', amount: '50.00',
      items: [
        { qty: 2, name: 'Gift Card', code: 'GIFT-1', price: '25.00', weight: '0', taxRate: '0', tax: '0.00',
          freight: '0.00' },
      ],
    },
  },
];

module.exports = { stores, customer, card, writeProject, node };
