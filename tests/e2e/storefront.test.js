// The sample store built in each shipped style and looked at as a shopper and a search engine
// would: every page type at desktop and phone width passes axe-core's WCAG 2.1 A and AA rules,
// phone tap targets are at least 44 px, no link or picture of the store is broken, the pages
// carry their search-engine data, and a purchase from the home page to the confirmation works
// with the keyboard alone. Screenshots of every page type go to TOLMI_ARTIFACTS.
'use strict';
const { describe, it, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support');
const { customer } = require('./stores');

let AxeBuilder = null;
try {
  AxeBuilder = require('@axe-core/playwright').default;
} catch (e) {
  AxeBuilder = null;
}
const skip = S.skipFor('the storefront tests',
  S.missingTools(false).concat(AxeBuilder ? [] : ['@axe-core/playwright (npm ci in tests/e2e)']));

const styles = [['Modern/Harbour', 'harbour', ['Work Sans']], ['Modern/Meadow', 'meadow', ['Nunito']],
  ['Classic/Parchment', 'parchment', ['Lora']], ['Classic/Slate', 'slate', ['Playfair Display', 'Source Sans 3']]];
const widths = [1280, 375];
const pageTypes = [['home', 'index.html'], ['category', 'green.html'], ['product', 'sencha.html'],
  ['shelf', 'teaware.html'], ['list', 'tasters.html'], ['page', 'brewing.html'], ['search', 'tolmi.tpl?q=sencha'], ['404', '404.html']];

async function axeViolations(page) {
  const result = await new AxeBuilder({ page }).withTags(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa']).analyze();
  return result.violations.map((v) => `${v.id}: ${v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(', ')}`);
}

// Visible links and controls smaller than 44 x 44 px, leaving out links inside the merchant's
// running text (WCAG lets inline links be smaller).
async function smallTargets(page) {
  return page.evaluate(() => {
    const out = [];
    for (const el of document.querySelectorAll('a[href], button, input:not([type="hidden"]), select, textarea')) {
      const r = el.getBoundingClientRect();
      const style = getComputedStyle(el);
      if (!r.width || !r.height || style.visibility === 'hidden' || el.closest('.body, .msg, .desc, .tolmi-result p')) continue;
      if (el.closest('.skip') && document.activeElement !== el) continue;
      if (r.width < 44 - 0.5 || r.height < 44 - 0.5) out.push(`${el.tagName.toLowerCase()} "${(el.textContent || el.name || '').trim().slice(0, 30)}" ${Math.round(r.width)}x${Math.round(r.height)}`);
    }
    return out;
  });
}

// Every page, picture, script and style sheet the store's pages name, fetched once: none may
// fail, and no reference may be empty. Pages are read as text (quicker than a browser).
async function crawl(base, start) {
  const seen = new Set();
  const queue = [...start];
  const broken = [];
  while (queue.length) {
    const key = queue.shift().split('#')[0];
    if (seen.has(key)) continue;
    seen.add(key);
    const res = await fetch(key);
    if (res.status !== 200) { broken.push(`${key} ${res.status}`); continue; }
    if (!/text\/html/.test(res.headers.get('content-type') || '')) continue;
    const html = (await res.text()).replace(/<script type="text\/plain"[\s\S]*?<\/script>/g, '');
    for (const [, attr, raw] of html.matchAll(/\s(href|src)="([^"]*)"/gi)) {
      if (raw === '') { broken.push(`${key}: empty ${attr}`); continue; }
      if (/^(javascript|mailto|tel):/i.test(raw) || raw.startsWith('#')) continue;
      const abs = new URL(raw.replace(/&amp;/g, '&'), key).href;
      if (!abs.startsWith(base) || /[?&]data=|\/search(\?|$)/.test(abs)) continue;
      queue.push(abs);
    }
  }
  return { broken, count: seen.size };
}

// Presses Tab until the element the selector names has the focus.
async function tabTo(page, selector, max = 120) {
  for (let i = 0; i < max; i++) {
    if (await page.evaluate((s) => document.activeElement && document.activeElement.matches(s), selector)) return;
    await page.keyboard.press('Tab');
  }
  throw new Error(`Tab never reached ${selector} on ${page.url()}`);
}

// The table also goes to the artifacts folder, which `make test` prints after the tests.
const tableFile = path.join(S.artifactsFolder(), 'axe-violations.txt');
fs.rmSync(tableFile, { force: true });

describe('storefronts in every style', { skip, timeout: 540000 }, () => {
  const ctx = S.useBrowser('tolmi-storefront-');
  const shots = S.artifactsFolder();
  const table = [];

  after(() => {
    if (table.length) {
      const text = `axe-core WCAG 2.1 A/AA violations per style, width and page type:\n${table.join('\n')}\n`;
      console.log(text);
      fs.writeFileSync(tableFile, text);
    }
  });

  for (const [layout, folder, fonts] of styles) {
    it(`${folder}: accessible pages, sound links, search data, a keyboard-only purchase`, async () => {
      const { work, browser } = ctx;
      const received = [];
      const dir = path.join(work, folder);
      fs.mkdirSync(path.join(dir, 'web'), { recursive: true });
      const server = await S.startStoreServer(path.join(dir, 'web'), received);
      const base = `http://127.0.0.1:${server.address().port}/`;
      const page = await browser.newPage();
      const problems = [];
      try {
        const web = S.buildSampleInStyle(dir, layout, folder, base);
        for (const f of ['store.css', 'favicon.svg']) assert.ok(fs.existsSync(path.join(web, f)), `${f} in the store`);

        // Search engines: every page has a canonical link, a description and Open Graph data;
        // the product page describes the product and its place in the store.
        await page.goto(base + 'sencha.html');
        const seo = await page.evaluate(() => ({
          canonical: document.querySelector('link[rel="canonical"]')?.getAttribute('href'),
          description: document.querySelector('meta[name="description"]')?.content,
          og: document.querySelector('meta[property="og:title"]')?.content,
          data: [...document.querySelectorAll('script[type="application/ld+json"]')].map((s) => JSON.parse(s.textContent)),
        }));
        // The style's own fonts are the ones the page uses.
        const used = await page.evaluate(async () => {
          await document.fonts.ready;
          return [...new Set([...document.fonts].filter((f) => f.status === 'loaded').map((f) => f.family.replace(/"/g, '')))].sort();
        });
        assert.deepEqual(used, fonts);
        assert.equal(seo.canonical, base + 'sencha.html');
        assert.ok(seo.description && seo.og, 'description and og:title');
        const product = seo.data.find((d) => d['@type'] === 'Product');
        assert.equal(product.name, 'Sencha Yabukita');
        assert.deepEqual([product.sku, product.offers.price, product.offers.priceCurrency], ['GT-101', '12.50', 'USD']);
        assert.ok(seo.data.some((d) => d['@type'] === 'BreadcrumbList'), 'breadcrumbs for search engines');

        // A shopper with a cart of two lines looks at every page type at both widths.
        for (const width of widths) {
          await page.setViewportSize({ width, height: 900 });
          const visit = async (type, url) => {
            await page.goto(base + url);
            const bad = await axeViolations(page);
            table.push(`${folder.padEnd(10)} ${String(width).padStart(4)} ${type.padEnd(12)} ${bad.length}`);
            for (const b of bad) problems.push(`${type} at ${width}: ${b}`);
            if (!(await S.fitsWidth(page))) problems.push(`${type} at ${width}: scrolls sideways`);
            // No marker of the search service shows in a field (the header is carried from page to page).
            const marked = await page.$$eval('input', (els) => els.filter((e) => /<!--/.test(e.value)).map((e) => e.name));
            for (const m of marked) problems.push(`${type} at ${width}: field ${m} shows a marker`);
            if (width < 400) for (const t of await smallTargets(page)) problems.push(`${type} at ${width}: small tap target ${t}`);
            await page.screenshot({ path: path.join(shots, `${folder}-${type}-${width}.png`), fullPage: true });
          };
          for (const [type, url] of pageTypes) await visit(type, url);
          if (width === widths[0]) {
            // The home page's picks ask for the size too.
            await S.fillTwoLineCart(page, base);
            assert.equal(await page.evaluate(() => TolmiCart.loadCart()[0].option1), '250 g');
          }
          await visit('cart', 'trolley.html');
          assert.equal(await page.locator('.masthead .count').first().textContent(), '2 items');
          await visit('checkout', 'register.html');
        }
        assert.deepEqual(problems, [], problems.join('\n'));

        // The cart estimates the delivery for a region the shopper names.
        await page.goto(base + 'trolley.html');
        await page.selectOption('#tolmi-est-region', 'Canada');
        assert.match(await page.locator('#tolmi-est-result').textContent(), /^Delivery to Canada: Standard Post \(3-5 days\): \$\d+\.\d\d \(total \$/);

        // No link, picture, style sheet or script of the store is missing.
        const { broken, count } = await crawl(base, [base + 'index.html', base + 'trolley.html', base + 'register.html']);
        assert.deepEqual(broken, []);
        assert.ok(count > 20, `the crawl reached the store (${count} files)`);

        // Without JavaScript the shopper is told why the cart does not work.
        assert.match(fs.readFileSync(path.join(web, 'sencha.html'), 'latin1'), /<noscript><p class="noscript">[^<]+<\/p><\/noscript>/);

        // A purchase with the keyboard alone, at phone width.
        await page.setViewportSize({ width: 375, height: 800 });
        await page.goto(base + 'trolley.html');
        await page.evaluate(() => TolmiCart.clearCart());
        await page.goto(base + 'index.html');
        await tabTo(page, 'a[href="sencha.html"]');
        await Promise.all([page.waitForURL(/sencha\.html$/), page.keyboard.press('Enter')]);
        await tabTo(page, 'form[name="form1"] select[name="OPTION1"]');
        await page.keyboard.press('ArrowDown');
        await tabTo(page, 'form[name="form1"] input[name="qty"]');
        await page.keyboard.press('Control+A');
        await page.keyboard.type('2');
        await tabTo(page, 'form[name="form1"] button.add');
        await page.keyboard.press('Space');
        await page.waitForFunction(() => TolmiCart.cartTotals(TolmiCart.loadCart()).count === 2);
        await tabTo(page, '.masthead a.cartlink');
        await Promise.all([page.waitForURL(/trolley\.html$/), page.keyboard.press('Enter')]);
        await tabTo(page, '#tolmi-checkout');
        await Promise.all([page.waitForURL(/register\.html$/), page.keyboard.press('Enter')]);
        // Sending at once lists what is missing, each field marked.
        await tabTo(page, '#tolmi-order button[type="submit"]');
        await page.keyboard.press('Enter');
        await page.locator('#tolmi-errors li').first().waitFor();
        assert.equal(await page.evaluate(() => document.activeElement.id), 'tolmi-errors');
        assert.ok(await page.locator('#tolmi-errors li').count() >= 6);
        assert.equal(await page.getAttribute('#o-name', 'aria-invalid'), 'true');
        await tabTo(page, '#tolmi-region');
        await page.keyboard.press('ArrowDown');
        await tabTo(page, '#tolmi-method');
        for (const [name, value] of Object.entries(customer)) {
          await tabTo(page, `[name="${name}"]`);
          await page.keyboard.type(value);
        }
        await tabTo(page, '#tolmi-order button[type="submit"]');
        await Promise.all([page.waitForURL(/#order=\d+$/), page.keyboard.press('Enter')]);
        await page.waitForSelector('#tolmi-confirmation:not([hidden])');
        assert.equal(received.length, 1);
        assert.match(await page.title(), /^Order received - Leafward Tea Co\.$/);
        const receipt = await page.locator('.tolmi-receipt').textContent();
        assert.match(receipt, /2 × Sencha Yabukita/);
        assert.match(receipt, new RegExp(customer.Street.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
        assert.match(receipt, /Total/);
        assert.ok(await S.fitsWidth(page), 'the confirmation needs no horizontal scrolling at 375 px');
        await page.screenshot({ path: path.join(shots, `${folder}-confirmation-375.png`), fullPage: true });
        const bad = await axeViolations(page);
        table.push(`${folder.padEnd(10)}  375 confirmation ${bad.length}`);
        assert.deepEqual(bad, []);
      } finally {
        await page.close();
        server.close();
      }
    });
  }
});
