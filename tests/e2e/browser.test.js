// Shops in built stores with headless Chromium: adds products with options from product pages
// and shelves, edits the cart, checks every total and the freight and tax of each region and
// delivery method, sends the order form and checks every field the order server receives.
// Runs at desktop and phone width; screenshots go to TOLMI_ARTIFACTS. The last test sends an
// order through tolmi-server and takes it off again with "?data=300" and "?data=301".
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support');
const { stores, customer, card } = require('./stores');

const missing = S.missingTools(false);
if (missing.length) console.log(`TOLMI-E2E-SKIPPED: the browser tests need ${missing.join(', ')}`);
const skip = missing.length ? `needs ${missing.join(', ')}` : false;
const missingServer = S.missingTools(true);
const skipServer = missingServer.length ? `needs ${missingServer.join(', ')}` : false;

const widths = [1200, 375];

async function cartRows(page) {
  return page.$$eval('#tolmi-cart .tolmi-lines tbody tr', (rows) => rows.map((r) => [
    (r.querySelector('td[data-label="Product"] a') || r.querySelector('td[data-label="Product"]')).textContent.trim(),
    (r.querySelector('.tolmi-opts') || { textContent: '' }).textContent,
    Number(r.querySelector('.tolmi-qty').value),
    r.querySelector('.tolmi-linetotal').textContent,
  ]));
}

const withCurrency = (store, rows) => rows.map(([n, o, q, t]) => [n, o, q, store.currency + t]);

async function shownTotals(page) {
  return page.evaluate(() => ['tolmi-freight-amount', 'tolmi-freighttax-amount', 'tolmi-tax-amount', 'tolmi-total']
    .map((id) => document.getElementById(id).textContent));
}

async function optionTexts(page, selector) {
  return page.$$eval(`${selector} option`, (os) => os.map((o) => o.textContent));
}

// Waits until the stored cart holds `count` units.
async function waitForUnits(page, count) {
  await page.waitForFunction((n) => TolmiCart.cartTotals(TolmiCart.loadCart()).count === n, count, { timeout: 10000 });
}

async function addProducts(page, base, store) {
  let at = '';
  let units = 0;
  for (const add of store.adds) {
    if (add.page !== at) {
      await page.goto(base + add.page);
      at = add.page;
      assert.ok(await S.fitsWidth(page), `${add.page} needs no horizontal scrolling`);
    }
    const form = `form[name="form${add.form}"]`;
    if (add.option1) await page.selectOption(`${form} select[name="OPTION1"]`, add.option1);
    if (add.option2) await page.selectOption(`${form} select[name="OPTION2"]`, add.option2);
    for (let i = 0; i < (add.clicks || 1); i++) {
      await page.click(`${form} button.add`);
      units += 1;
      await waitForUnits(page, units);
      // The shopper sees that it worked, with a way to the cart.
      assert.match(await page.locator('#tolmi-added').textContent(), / is in your cart\. View cart$/);
    }
  }
}

// The frame loader of a store whose cart stays on screen: the store pages in one frame, the
// cart beside them, redrawn as products are added.
async function cartBesidePages(page, base) {
  await page.goto(base + 'ftmp.htm');
  const cart = page.frameLocator('#cart');
  await cart.locator('.tolmi-empty').waitFor();
  const shop = page.frame({ name: 'shop' });
  await shop.goto(base + 'lamp.html');
  // Options start unchosen: the add button asks for them first.
  await shop.click('form[name="form1"] button.add');
  assert.match(await shop.locator('form[name="form1"] .tolmi-err').first().textContent(), /^Choose colour first\.$/);
  await shop.selectOption('form[name="form1"] select[name="OPTION1"]', 'Brass');
  await shop.selectOption('form[name="form1"] select[name="OPTION2"]', 'EU');
  await shop.click('form[name="form1"] button.add');
  await cart.locator('.tolmi-lines tbody tr').waitFor();
  assert.equal(await cart.locator('.tolmi-lines tbody tr').count(), 1);
  assert.equal(await shop.locator('#tolmi-badge').count(), 0, 'no cart badge beside the cart frame');
  await cart.locator('.tolmi-remove').click();
  await cart.locator('.tolmi-empty').waitFor();
  assert.equal(await shop.evaluate(() => TolmiCart.loadCart().length), 0);
}

const region0 = (store) => store.regions.length > 0;

async function fillCustomer(page, store) {
  for (const [name, value] of Object.entries(customer)) await page.fill(`[name="${name}"]`, value);
  if (store.cards) {
    await page.selectOption('select[name="CardType"]', 'Visa');
    for (const [name, value] of Object.entries(card)) {
      if (name === 'CardExpiryMonth') await page.selectOption(`[name="${name}"]`, value);
      else await page.fill(`[name="${name}"]`, value);
    }
  }
}

describe('shopping in built stores', { skip, timeout: 540000 }, () => {
  let work = null;
  let browser = null;
  const shots = S.artifactsFolder();

  before(async () => {
    work = S.workFolder('tolmi-e2e-');
    browser = await S.launchBrowser(path.join(work, 'profile'));
  });
  after(async () => {
    if (browser) await browser.close();
    if (work) fs.rmSync(work, { recursive: true, force: true });
  });

  for (const store of stores) {
    it(`${store.name}: cart, freight and tax, order form`, async () => {
      const received = [];
      const root = path.join(work, store.name, 'web');
      fs.mkdirSync(root, { recursive: true });
      const server = await S.startStoreServer(root, received);
      const base = `http://127.0.0.1:${server.address().port}/`;
      try {
        const home = S.makeHome(path.join(work, store.name, 'home'), base, 'shop');
        const project = store.project(path.join(work, store.name, 'project'));
        S.buildStore(home, project, root);
        for (const width of store.widths || widths) {
          const page = await browser.newPage();
          try {
            await page.setViewportSize({ width, height: 900 });
            await page.goto(base + 'trolley.html');
            await page.evaluate(() => TolmiCart.clearCart());
            if (store.onScreen && width === widths[0]) await cartBesidePages(page, base);
            await addProducts(page, base, store);
            // With the cart kept on screen every page shows its total; otherwise no page does.
            if (store.onScreen) {
              assert.equal(await page.locator('#tolmi-badge').textContent(),
                `Cart: ${store.afterAdds.reduce((n, r) => n + r[2], 0)} items, ${store.currency}` +
                `${(store.afterAdds.reduce((c, r) => c + Math.round(Number(r[3]) * 100), 0) / 100).toFixed(2)}`);
            } else {
              assert.equal(await page.locator('#tolmi-badge').count(), 0);
            }

            // The cart page: lines, options, quantities and totals; edits survive a reload.
            await page.goto(base + 'trolley.html');
            assert.deepEqual(await cartRows(page), withCurrency(store, store.afterAdds));
            assert.equal(await page.locator('#tolmi-continue').getAttribute('href'), store.adds[store.adds.length - 1].page,
              'Continue shopping leads back to the last store page');
            if (store.setQty) {
              const qty = page.locator('.tolmi-qty').nth(store.setQty.line);
              await qty.fill(String(store.setQty.qty));
              await qty.dispatchEvent('change');
              assert.equal(await page.locator('.tolmi-subtotal').textContent(), store.afterQty);
              await page.locator('.tolmi-remove').nth(store.remove).click();
            }
            await page.reload();
            assert.deepEqual(await cartRows(page), withCurrency(store, store.cart));
            assert.equal(await page.locator('.tolmi-subtotal').textContent(), store.subtotal);
            assert.ok(await S.fitsWidth(page), `the cart needs no horizontal scrolling at ${width} px`);
            await page.screenshot({ path: path.join(shots, `${store.name}-cart-${width}.png`), fullPage: true });

            // The order form: regions, the methods each is offered, and the totals of each.
            await page.click('#tolmi-checkout');
            await page.waitForURL(/register\.html$/);
            assert.deepEqual(await optionTexts(page, '#tolmi-region'), ['Choose your region', ...store.regions]);
            assert.equal(await page.locator('#tolmi-subtotal').textContent(), store.subtotal);
            for (const region of store.regions) {
              await page.selectOption('#tolmi-region', region);
              assert.deepEqual(await optionTexts(page, '#tolmi-method'), store.methods[region], region);
            }
            // The freight and tax of every case once; at the phone width only the order's own.
            for (const [region, method, ...amounts] of width === widths[0] && region0(store) ? store.cases : []) {
              await page.selectOption('#tolmi-region', region);
              await page.selectOption('#tolmi-method', { label: method });
              assert.deepEqual(await shownTotals(page), amounts, `${region}, ${method}`);
            }
            const o = store.order;
            if (o.region) {
              await page.selectOption('#tolmi-region', o.region);
              await page.selectOption('#tolmi-method', { label: o.method });
            } else {
              // Nothing to choose in a store without delivery methods.
              assert.equal(await page.locator('#tolmi-region').isVisible(), false);
              assert.equal(await page.locator('#tolmi-method').isVisible(), false);
            }
            assert.deepEqual(await shownTotals(page), store.cases.find(([r, m]) => r === o.region && m === o.method).slice(2));
            assert.equal(await page.locator('#card-fields').count(), store.cards ? 1 : 0, 'card fields only with cards');

            // Required fields are checked in the browser before anything is sent.
            assert.equal(await page.evaluate(() => document.getElementById('tolmi-order').checkValidity()), false);
            await fillCustomer(page, store);
            assert.ok(await S.fitsWidth(page), `the order form needs no horizontal scrolling at ${width} px`);
            await page.screenshot({ path: path.join(shots, `${store.name}-order-${width}.png`), fullPage: true });
            const before = received.length;
            await Promise.all([page.waitForURL(/#order=\d+$/), page.click('#tolmi-order button[type="submit"]')]);
            await page.waitForSelector('#tolmi-confirmation:not([hidden])');
            assert.equal(received.length, before + 1);
            const confirmation = await page.locator('#tolmi-confirmation').textContent();
            assert.match(confirmation, new RegExp(`Order number: ${received.length}`));
            assert.equal(await page.locator('#tolmi-order').isVisible(), false);
            assert.ok(await S.fitsWidth(page), `the confirmation needs no horizontal scrolling at ${width} px`);
            await page.screenshot({ path: path.join(shots, `${store.name}-confirmation-${width}.png`), fullPage: true });

            S.checkOrder(received[received.length - 1], {
              user: 'shop', returnUrl: `${base}register.html`, cards: store.cards,
              customer: { ...customer, ...(store.cards ? { ...card, CardType: 'Visa' } : {}) },
              items: o.items, freight: o.freight, freightTax: o.freightTax, tax: o.tax, amount: o.amount,
              region: o.region,
            });
            const fields = S.decodeFormBody(received[received.length - 1].body);
            assert.deepEqual(fields.filter(([k]) => k === 'Region' || k === 'Delivery'),
              o.region ? [['Region', o.region], ['Delivery', o.method]] : []);

            // The cart is empty now, and an empty cart is never sent.
            assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), 0);
            await page.goto(base + 'register.html');
            await fillCustomer(page, store);
            assert.equal(await page.locator('#tolmi-status').textContent(), 'Your shopping cart is empty.');
            assert.equal(await page.locator('#tolmi-order button[type="submit"]').isDisabled(), true);
            await page.evaluate(() => document.getElementById('tolmi-order').requestSubmit());
            assert.equal(await page.locator('#tolmi-status').textContent(), 'Your shopping cart is empty.');
            assert.equal(received.length, before + 1);
          } finally {
            await page.close();
          }
        }
      } finally {
        server.close();
      }
    });
  }

  it('tolmi-server serves the sample store, takes its order and hands it out with ?data=300', { skip: skipServer }, async () => {
    const dir = path.join(work, 'served');
    const root = path.join(dir, 'store');
    fs.mkdirSync(root, { recursive: true });
    const data = path.join(dir, 'orders.db');
    S.addServerUser(data, 'shop', 'secret word');
    const server = await S.startTolmiServer(['--data', data, '--store', root]);
    const page = await browser.newPage();
    try {
      const home = S.makeHome(path.join(dir, 'home'), server.url, 'shop');
      S.buildStore(home, S.copySample(path.join(dir, 'project')), root);
      await page.goto(server.url + 'sencha.html');
      await page.selectOption('form[name="form1"] select[name="OPTION1"]', '250 g');
      await page.click('form[name="form1"] button.add');
      await waitForUnits(page, 1);
      await page.goto(server.url + 'register.html');
      await page.selectOption('#tolmi-region', 'Canada');
      await page.selectOption('#tolmi-method', { label: 'Standard Post (3-5 days)' });
      assert.deepEqual(await shownTotals(page), ['$9.95', '$0.00', '$0.00', '$22.45']);
      await fillCustomer(page, { cards: true });

      // A store whose account is off refuses the order: the shopper is told, the cart stays.
      S.serverUser(data, ['disable', 'shop']);
      await Promise.all([page.waitForURL(server.url), page.click('#tolmi-order button[type="submit"]')]);
      assert.equal(await page.title(), 'Order not sent');
      assert.match(await page.locator('body').textContent(), /This store does not accept orders at the moment\./);
      await page.goBack();
      await page.waitForURL(/register\.html$/);
      assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), 1);
      S.serverUser(data, ['enable', 'shop']);

      await page.selectOption('#tolmi-region', 'Canada');
      await page.selectOption('#tolmi-method', { label: 'Standard Post (3-5 days)' });
      await fillCustomer(page, { cards: true });
      await Promise.all([page.waitForURL(/#order=\d+$/), page.click('#tolmi-order button[type="submit"]')]);
      await page.waitForSelector('#tolmi-confirmation:not([hidden])');
      const id = /#order=(\d+)$/.exec(page.url())[1];
      assert.equal(await page.locator('h1').textContent(), 'Order received');
      assert.match(await page.locator('#tolmi-confirmation').textContent(), new RegExp(`Order number: ${id}`));
      assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), 0);

      const params = S.formEncode('shop\rsecret word\r29034361\r');
      const download = await S.rawGet(server.port, `/?data=300${params}`);
      assert.equal(download.status, 200);
      const lines = Buffer.from(download.body, 'latin1').toString('utf8').split('\r\n');
      assert.equal(lines[0], '0');
      assert.equal(lines[1], `#ID=${id}`);
      assert.match(lines[2], /^orderdate=\d{14}$/);
      const fields = new Map(lines.slice(3).filter((l) => l.includes('=')).map((l) => [l.slice(0, l.indexOf('=')), l.slice(l.indexOf('=') + 1)]));
      assert.equal(fields.get('Name'), customer.Name);
      assert.equal(fields.get('Comments'), customer.Comments);
      assert.equal(fields.get('CardNumber'), card.CardNumber);
      assert.deepEqual(['Amount', 'Freight', 'FreightTax', 'Tax', 'Region'].map((k) => fields.get(k)),
        ['22.45', '9.95', '0.00', '0.00', 'Canada']);
      assert.equal(fields.get('PROD'),
        '15:1\tSencha Yabukita\tGT-101\t12.50\t0.100\t\t\t\t0.000\t0.00\t0.00\t\t250 g\t\t<BR>');

      // The store's search: the words stay in the field, and each result leads to its page.
      await page.goto(server.url + 'sencha.html');
      await page.fill('#search-q', 'sencha');
      await Promise.all([page.waitForURL(/search\?/), page.press('#search-q', 'Enter')]);
      assert.equal(await page.inputValue('#search-q'), 'sencha');
      const found = await page.$$eval('.tolmi-result a', (as) => as.map((a) => a.href));
      assert.ok(found.length >= 1, 'a search for sencha finds the product');
      for (const href of found) assert.equal((await fetch(href)).status, 200, href);

      const del = await S.rawGet(server.port, `/?data=301${S.formEncode(`shop\rsecret word\r1\r${id}`)}`);
      assert.equal(del.body, '0\r\n');
      const again = await S.rawGet(server.port, `/?data=300${params}`);
      assert.equal(again.body, '0\r\n#END 0\r\n');
    } finally {
      await page.close();
      await server.stop();
    }
  });
});
