// Drives a built store's cart and order form in headless Chromium.
// Needs: TOLMI_CLI (path of tolmi-cli), /usr/bin/chromium and playwright-core;
// skips itself when any is missing. Screenshots go to TOLMI_ARTIFACTS.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const http = require('node:http');
const { execFileSync } = require('node:child_process');

const top = path.join(__dirname, '..', '..');
const cli = process.env.TOLMI_CLI || '';
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
let playwright = null;
try { playwright = require('playwright-core'); } catch (e) { playwright = null; }
const ready = cli && fs.existsSync(cli) && fs.existsSync(chromiumPath) && playwright;
const artifacts = process.env.TOLMI_ARTIFACTS || path.join(os.tmpdir(), 'tolmi-e2e-shots');

// Static files of the built store plus a capture endpoint for posted orders.
function startServer(root, received) {
  const server = http.createServer((req, res) => {
    if (req.method === 'POST') {
      let body = '';
      req.setEncoding('latin1');
      req.on('data', (c) => { body += c; });
      req.on('end', () => {
        const fields = [];
        for (const [k, v] of new URLSearchParams(body)) fields.push([k, v]);
        received.push(fields);
        const ret = (fields.find(([k]) => k === 'tolmi_return') || [])[1];
        res.writeHead(303, { Location: `${ret.split('#')[0]}#order=${received.length}` });
        res.end();
      });
      return;
    }
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    const file = path.join(root, name);
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404); res.end(); return;
    }
    const type = file.endsWith('.js') ? 'text/javascript' : file.endsWith('.svg') ? 'image/svg+xml' : 'text/html';
    res.writeHead(200, { 'Content-Type': type });
    res.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

test('cart and order form in a built store, desktop and phone width', { skip: !ready && 'needs TOLMI_CLI, chromium and playwright-core', timeout: 120000 }, async () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tolmi-e2e-'));
  const received = [];
  const server = await startServer(path.join(work, 'store'), received);
  const base = `http://127.0.0.1:${server.address().port}/`;
  const userData = path.join(work, 'profile');
  let browser = null;
  try {
    fs.mkdirSync(path.join(work, 'home'));
    fs.writeFileSync(path.join(work, 'home', 'server.ini'), `server=${base}\n`);
    execFileSync(cli, ['--home', path.join(work, 'home'), 'build',
      path.join(top, 'data', 'samples', 'TeaShop', 'TeaShop.stp'), '--dir', path.join(work, 'store')], { stdio: 'pipe' });
    assert.ok(fs.existsSync(path.join(work, 'store', 'register.html')));
    fs.mkdirSync(artifacts, { recursive: true });
    // A persistent context is how playwright takes a fresh --user-data-dir.
    browser = await playwright.chromium.launchPersistentContext(userData, {
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    for (const width of [1200, 375]) {
      const page = await browser.newPage();
      await page.setViewportSize({ width, height: 800 });
      await page.goto(base + 'trolley.html');
      await page.evaluate(() => {
        TolmiCart.clearCart();
        addItem('index.html', 'T1', 'Green%20Tea', '4.50', '', 1, '0.3', '0', '0', 'Loose', '');
        addItem('index.html', 'T1', 'Green%20Tea', '4.50', '', 1, '0.3', '0', '0', 'Loose', '');
        addItem('index.html', 'M2', 'Mug', '10.00', '', 1, '0.5', '1.00', '0', '', '');
      });
      await page.reload();
      assert.equal(await page.locator('.tolmi-lines tbody tr').count(), 2);
      await page.locator('.tolmi-qty').nth(1).fill('3');
      await page.locator('.tolmi-qty').nth(1).dispatchEvent('change');
      const subtotal = await page.locator('.tolmi-subtotal').textContent();
      assert.match(subtotal, /39\.00$/);
      await page.screenshot({ path: path.join(artifacts, `cart-${width}.png`), fullPage: true });
      await page.goto(base + 'register.html');
      const regions = await page.locator('#tolmi-region option').allTextContents();
      assert.ok(regions.length >= 2, 'the order form offers regions');
      await page.selectOption('#tolmi-region', { index: 1 });
      const total = await page.locator('#tolmi-total').textContent();
      assert.notEqual(total, '-');
      const scroll = await page.evaluate(() => document.documentElement.scrollWidth);
      assert.ok(scroll <= width, `no horizontal scrolling at ${width} pixels (${scroll})`);
      await page.screenshot({ path: path.join(artifacts, `order-${width}.png`), fullPage: true });
      for (const [name, value] of [['Name', 'Ann Lee'], ['Email', 'ann@example.com'], ['Street', '1 Main St'],
        ['City', 'Springfield'], ['Zip', '12345'], ['Country', 'Nowhere']]) {
        const field = page.locator(`[name="${name}"]`);
        if (await field.count()) await field.fill(value);
      }
      await Promise.all([page.waitForURL(/#order=/), page.click('button[type="submit"]')]);
      await page.waitForSelector('#tolmi-confirmation:not([hidden])');
      const fields = received[received.length - 1];
      const get = (n) => fields.filter(([k]) => k === n).map(([, v]) => v);
      assert.equal(get('tolmi_item').length, 2);
      assert.equal(get('tolmi_item')[0].split('\t').slice(0, 4).join('|'), '2|Green Tea|T1|4.50');
      assert.equal(get('Name')[0], 'Ann Lee');
      assert.equal(get('Amount').length, 1);
      assert.equal(await page.evaluate(() => TolmiCart.loadCart().length), 0);
      await page.close();
    }
  } finally {
    if (browser) await browser.close();
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
});
