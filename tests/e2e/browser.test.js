// Shops in built stores with headless Chromium: adds products with options from product pages
// and shelves, edits the cart, checks every total and the freight and tax of each region and
// delivery method, sends the order form and checks every field the order server receives.
// Screenshots go to TOLMI_ARTIFACTS.
'use strict';
const { describe, it } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support');
const { stores, customer } = require('./stores');

const skip = S.skipFor('the browser tests', S.missingTools(false));

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

async function addProducts(page, base, store) {
  let at = '';
  let units = 0;
  for (const add of store.adds) {
    if (add.page !== at) {
      await page.goto(base + add.page);
      at = add.page;
    }
    const form = `form[name="form${add.form}"]`;
    if (add.option1) await page.selectOption(`${form} select[name="OPTION1"]`, add.option1);
    if (add.option2) await page.selectOption(`${form} select[name="OPTION2"]`, add.option2);
    for (let i = 0; i < (add.clicks || 1); i++) {
      await page.click(`${form} button.add`);
      units += 1;
      await page.waitForFunction((n) => TolmiCart.cartTotals(TolmiCart.loadCart()).count === n, units);
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

async function fillCustomer(page) {
  for (const [name, value] of Object.entries(customer)) await page.fill(`[name="${name}"]`, value);
}

describe('shopping in built stores', { skip, timeout: 540000 }, () => {
  const ctx = S.useBrowser('tolmi-e2e-');
  const shots = S.artifactsFolder();

  for (const store of stores) {
    it(`${store.name}: cart, freight and tax, order form`, async () => {
      const { work, browser } = ctx;
      const received = [];
      const root = path.join(work, store.name, 'web');
      fs.mkdirSync(root, { recursive: true });
      const server = await S.startStoreServer(root, received);
      const base = `http://127.0.0.1:${server.address().port}/`;
      const page = await browser.newPage();
      try {
        const home = S.makeHome(path.join(work, store.name, 'home'), base, 'shop');
        S.buildStore(home, store.project(path.join(work, store.name, 'project')), root);
        await page.setViewportSize({ width: 1200, height: 900 });
        await page.goto(base + 'trolley.html');
        await page.evaluate(() => TolmiCart.clearCart());
        if (store.onScreen) await cartBesidePages(page, base);
        await addProducts(page, base, store);
        // With the cart kept on screen every page shows its total; otherwise no page does.
        const units = store.afterAdds.reduce((n, r) => n + r[2], 0);
        const cents = store.afterAdds.reduce((c, r) => c + Math.round(Number(r[3]) * 100), 0);
        assert.deepEqual(await page.locator('#tolmi-badge').allTextContents(),
          store.onScreen ? [`Cart: ${units} items, ${store.currency}${(cents / 100).toFixed(2)}`] : []);

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
        await page.screenshot({ path: path.join(shots, `${store.name}-cart.png`), fullPage: true });

        // The order form: regions, the methods each is offered, and the totals of the order.
        await page.click('#tolmi-checkout');
        await page.waitForURL(/register\.html$/);
        assert.deepEqual(await optionTexts(page, '#tolmi-region'), ['Choose your region', ...store.regions]);
        assert.equal(await page.locator('#tolmi-subtotal').textContent(), store.subtotal);
        for (const region of store.regions) {
          await page.selectOption('#tolmi-region', region);
          assert.deepEqual(await optionTexts(page, '#tolmi-method'), store.methods[region], region);
        }
        const [region, method, ...amounts] = store.order;
        if (region) {
          await page.selectOption('#tolmi-region', region);
          await page.selectOption('#tolmi-method', { label: method });
        }
        // Nothing to choose in a store without delivery methods.
        assert.equal(await page.locator('#tolmi-region').isVisible(), region !== '');
        assert.equal(await page.locator('#tolmi-method').isVisible(), region !== '');
        assert.deepEqual(await shownTotals(page), amounts);
        assert.equal(await page.locator('#card-fields').count(), 0, 'no card fields in a store without cards');
        await fillCustomer(page);
        await page.screenshot({ path: path.join(shots, `${store.name}-order.png`), fullPage: true });
        // A refused order keeps the cart, and the form works again after Back.
        received.refuse = true;
        await Promise.all([page.waitForURL(base), page.click('#tolmi-order button[type="submit"]')]);
        assert.equal(await page.title(), 'Order not sent');
        await page.goBack();
        await page.waitForURL(/register\.html$/);
        assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), store.cart.length);
        received.refuse = false;
        if (region) {
          await page.selectOption('#tolmi-region', region);
          await page.selectOption('#tolmi-method', { label: method });
        }
        await fillCustomer(page);
        await Promise.all([page.waitForURL(/#order=\d+$/), page.click('#tolmi-order button[type="submit"]')]);
        await page.waitForSelector('#tolmi-confirmation:not([hidden])');
        assert.equal(received.length, 1);
        assert.match(await page.locator('#tolmi-confirmation').textContent(), /Order number: 1/);
        assert.equal(await page.locator('#tolmi-order').isVisible(), false);

        const [freight, freightTax, tax, amount] = amounts.map((a) => a.slice(store.currency.length));
        const fields = S.checkOrder(received[0], {
          user: 'shop', returnUrl: `${base}register.html`, customer,
          items: store.items, freight, freightTax, tax, amount, more: region ? ['Region', 'Delivery'] : [],
        });
        if (region) {
          assert.deepEqual(fields.filter(([k]) => k === 'Region' || k === 'Delivery'), [['Region', region], ['Delivery', method]]);
        }

        // The cart is empty now, and an empty cart is never sent.
        assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), 0);
        await page.goto(base + 'register.html');
        await fillCustomer(page);
        assert.equal(await page.locator('#tolmi-status').textContent(), 'Your shopping cart is empty.');
        assert.equal(await page.locator('#tolmi-order button[type="submit"]').isDisabled(), true);
        await page.evaluate(() => document.getElementById('tolmi-order').requestSubmit());
        assert.equal(await page.locator('#tolmi-status').textContent(), 'Your shopping cart is empty.');
        assert.equal(received.length, 1);
      } finally {
        await page.close();
        server.close();
      }
    });
  }
});
