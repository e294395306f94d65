// Shared helpers of the browser suites: what is installed, building stores with tolmi-cli,
// starting and stopping tolmi-server and a static store server with an order capture
// endpoint, headless Chromium with a fresh profile, and the order-form contract checks.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const http = require('node:http');
const { spawn, execFileSync } = require('node:child_process');
const { before, after } = require('node:test');

const top = path.join(__dirname, '..', '..');
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
let playwright = null;
try {
  playwright = require('playwright-core');
} catch (e) {
  playwright = null;
}

// What the browser suites need and is missing, as readable names ([] when all is there).
function missingTools(needServer) {
  const missing = [];
  const cli = process.env.TOLMI_CLI || '';
  if (!cli || !fs.existsSync(cli)) missing.push('tolmi-cli (TOLMI_CLI)');
  if (needServer) {
    const server = process.env.TOLMI_SERVER || '';
    if (!server || !fs.existsSync(server)) missing.push('tolmi-server (TOLMI_SERVER)');
  }
  if (!fs.existsSync(chromiumPath)) missing.push(`chromium (${chromiumPath})`);
  if (!playwright) missing.push('playwright-core (npm ci in tests/e2e)');
  return missing;
}

// A suite's skip value: false, or the reason, also printed for CTest to count it as skipped.
function skipFor(what, missing) {
  if (!missing.length) return false;
  console.log(`TOLMI-E2E-SKIPPED: ${what} cannot run without ${missing.join(', ')}`);
  return `needs ${missing.join(', ')}`;
}

// A scratch folder below the build folder's artifacts (or the system's temporary folder).
function workFolder(prefix) {
  const base = process.env.TOLMI_WORK || os.tmpdir();
  fs.mkdirSync(base, { recursive: true });
  return fs.mkdtempSync(path.join(base, prefix));
}

function artifactsFolder() {
  const dir = process.env.TOLMI_ARTIFACTS || path.join(os.tmpdir(), 'tolmi-e2e-shots');
  fs.mkdirSync(dir, { recursive: true });
  return dir;
}

// Runs tolmi-cli with a home folder; returns its standard output, throws with its output
// on failure.
function runCli(home, args, options = {}) {
  try {
    return execFileSync(process.env.TOLMI_CLI, ['--home', home, ...args], {
      encoding: 'latin1', stdio: 'pipe', timeout: 60000, ...options,
    });
  } catch (e) {
    const out = `${e.stdout || ''}${e.stderr || ''}`;
    throw new Error(`tolmi-cli ${args.join(' ')} failed (${e.status}):\n${out}`);
  }
}

// A home whose server.ini names the order server and its user.
function makeHome(dir, server, user) {
  fs.mkdirSync(dir, { recursive: true });
  fs.writeFileSync(path.join(dir, 'server.ini'), `server=${server}\n` + (user ? `o_un=${user}\n` : ''));
  return dir;
}

function buildStore(home, project, dir) {
  const out = runCli(home, ['build', project, '--dir', dir]);
  assert.match(out, /Store Build Complete\. \(0 errors, /, out);
  return out;
}

// The sample store with the page templates of one shipped style ("Group/Name", its folder below
// data/template) and a public address, built into DIR/web; returns that folder.
function buildSampleInStyle(dir, layout, folder, base) {
  const project = path.join(dir, 'project');
  fs.mkdirSync(path.join(project, 'template'), { recursive: true });
  const sample = path.join(top, 'data', 'samples', 'TeaShop');
  const text = fs.readFileSync(path.join(sample, 'TeaShop.stp'), 'latin1')
    .replace(/\nLAYOUT=[^\n]*/, `\nLAYOUT=${layout}\nSITEURL=https://tea.example/`);
  fs.writeFileSync(path.join(project, 'TeaShop.stp'), text, 'latin1');
  const styleDir = path.join(top, 'data', 'template', folder);
  for (const f of fs.readdirSync(styleDir).filter((n) => n.endsWith('.htm'))) {
    fs.copyFileSync(path.join(styleDir, f), path.join(project, 'template', f));
  }
  const web = path.join(dir, 'web');
  fs.mkdirSync(web, { recursive: true });
  buildStore(makeHome(path.join(dir, 'home'), base, 'shop'), path.join(project, 'TeaShop.stp'), web);
  return web;
}

// ---- processes -------------------------------------------------------------

// Waits for a child's exit (resolves at once when it has exited already).
function exited(child) {
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => child.once('exit', () => resolve()));
}

// Starts "tolmi-server --listen 127.0.0.1:PORT ARGS" (a free port when 0) and reads the port
// from its first line.
async function startTolmiServer(args, wanted = 0) {
  const child = spawn(process.env.TOLMI_SERVER, ['--listen', `127.0.0.1:${wanted}`, ...args], {
    stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, TZ: 'UTC' },
  });
  let output = '';
  const port = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`tolmi-server did not start:\n${output}`)), 20000);
    const onData = (chunk) => {
      output += chunk;
      const m = /listening on 127\.0\.0\.1:(\d+)/.exec(output);
      if (m) { clearTimeout(timer); resolve(Number(m[1])); }
    };
    child.stdout.setEncoding('latin1');
    child.stderr.setEncoding('latin1');
    child.stdout.on('data', onData);
    child.stderr.on('data', (c) => { output += c; });
    child.once('exit', (code) => { clearTimeout(timer); reject(new Error(`tolmi-server exited (${code}):\n${output}`)); });
  });
  return {
    port,
    pid: child.pid,
    url: `http://127.0.0.1:${port}/`,
    output: () => output,
    // SIGTERM to this PID only; SIGKILL when it does not end within 10 seconds.
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null) return;
      process.kill(child.pid, 'SIGTERM');
      const timer = setTimeout(() => { try { process.kill(child.pid, 'SIGKILL'); } catch (e) { /* gone */ } }, 10000);
      await exited(child);
      clearTimeout(timer);
    },
  };
}

// Adds an order-server account to a data file ("tolmi-server --data FILE user add").
function addServerUser(dataFile, user, password) {
  execFileSync(process.env.TOLMI_SERVER, ['--data', dataFile, '--hash-cost', 'min', 'user', 'add', user, '--password', password],
    { stdio: 'pipe' });
}

// ---- the order form's body -------------------------------------------------

// Decodes an application/x-www-form-urlencoded body into [name, value] pairs, in the order
// sent; a broken "%" escape, or bytes that are not UTF-8 (the form posts UTF-8), throw.
function decodeFormBody(body) {
  const decode = (s) => decodeURIComponent(s.replace(/\+/g, ' '));
  return body.split('&').filter((p) => p !== '').map((p) => {
    const eq = p.indexOf('=');
    return eq < 0 ? [decode(p), ''] : [decode(p.slice(0, eq)), decode(p.slice(eq + 1))];
  });
}

/* Checks one posted order against docs/order-protocol.md and against what the test put in
   the cart and the form. expected: {user, returnUrl, items: [{qty, name, code, price,
   weight, taxRate, tax, freight, option1, option2}], freight, freightTax, tax, amount,
   customer: {name: value}, more: [names of other fields]} of a store without cards. Amounts
   are texts such as "12.50". */
function checkOrder(request, expected) {
  assert.equal(request.method, 'POST');
  assert.match(request.contentType, /^application\/x-www-form-urlencoded/);
  const fields = decodeFormBody(request.body);
  // Exactly these fields, each once: no card field, no empty, reserved or unknown name.
  assert.deepEqual(fields.map(([k]) => k).sort(), ['tolmi_user', 'tolmi_return', 'Freight', 'FreightTax', 'Tax',
    'Amount', ...expected.items.map(() => 'tolmi_item'), ...Object.keys(expected.customer), ...expected.more].sort());
  const one = (n) => fields.find(([k]) => k === n)[1];
  assert.equal(one('tolmi_user'), expected.user);
  assert.equal(one('tolmi_return'), expected.returnUrl);
  fields.filter(([k]) => k === 'tolmi_item').forEach(([, value], i) => {
    const f = value.split('\t');
    const e = expected.items[i];
    assert.ok(f.length >= 4 && f.length <= 14, `item ${i}: 4 to 14 fields (${f.length})`);
    assert.deepEqual(
      { qty: f[0], name: f[1], code: f[2], price: f[3], weight: f[4], extra1: f[5], extra2: f[6], unused7: f[7],
        taxRate: f[8], tax: f[9], freight: f[10], unused11: f[11], option1: f[12], option2: f[13] },
      // Weights and rates travel with three decimals (docs/money.md).
      { qty: String(e.qty), name: e.name, code: e.code, price: e.price, weight: Number(e.weight).toFixed(3), extra1: '', extra2: '',
        unused7: '', taxRate: Number(e.taxRate).toFixed(3), tax: e.tax, freight: e.freight, unused11: '', option1: e.option1 || '',
        option2: e.option2 || '' }, `item ${i}`);
  });
  // Totals as plain numbers with a "." and two decimals, no currency sign.
  assert.deepEqual(['Freight', 'FreightTax', 'Tax', 'Amount'].map(one),
    [expected.freight, expected.freightTax, expected.tax, expected.amount]);
  for (const [name, value] of Object.entries(expected.customer)) assert.equal(one(name), value, name);
  return fields;
}

// ---- the static store server with a capture endpoint -----------------------

const types = { '.html': 'text/html', '.htm': 'text/html', '.js': 'text/javascript', '.svg': 'image/svg+xml',
  '.css': 'text/css', '.png': 'image/png', '.jpg': 'image/jpeg', '.gif': 'image/gif', '.woff2': 'font/woff2',
  '.txt': 'text/plain', '.xml': 'application/xml', '.tpl': 'text/html', '.idx': 'text/plain' };

// Serves the store folder and takes POSTed orders into `received` ({method, contentType,
// body}); answers as tolmi-server does: 303 back to tolmi_return with "#order=N", or, while
// `received.refuse` is set, a refusal page (as to a store whose account is off).
function startStoreServer(root, received) {
  const server = http.createServer((req, res) => {
    if (req.method === 'POST' && received.refuse) {
      res.writeHead(400, { 'Content-Type': 'text/html' });
      res.end('<title>Order not sent</title><p>This store does not accept orders at the moment.</p>');
      return;
    }
    if (req.method === 'POST') {
      const chunks = [];
      req.on('data', (c) => chunks.push(c));
      req.on('end', () => {
        const body = Buffer.concat(chunks).toString('latin1');
        received.push({ method: req.method, contentType: req.headers['content-type'] || '', body, url: req.url });
        let ret = '';
        try {
          ret = (decodeFormBody(body).find(([k]) => k === 'tolmi_return') || [])[1] || '';
        } catch (e) { ret = ''; }
        if (/^https?:/.test(ret)) {
          res.writeHead(303, { Location: `${ret.split('#')[0]}#order=${received.length}` });
          res.end();
        } else {
          res.writeHead(200, { 'Content-Type': 'text/html' });
          res.end('<title>Order received</title><p>Thank you. Your order has been received.</p>');
        }
      });
      return;
    }
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    const file = path.resolve(root, name);
    if (!file.startsWith(path.resolve(root) + path.sep) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    res.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// ---- Chromium ----------------------------------------------------------------

// Headless Chromium with a fresh profile folder; close() ends it and its children. options:
// more command-line args, and a viewport (null: none emulated, for tools that set their own).
async function launchBrowser(profileDir, options = {}) {
  const { args = [], ...rest } = options;
  return playwright.chromium.launchPersistentContext(profileDir, {
    executablePath: chromiumPath,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--disable-quic',
      '--no-first-run', '--no-default-browser-check', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-extensions', '--proxy-server=direct://',
      '--proxy-bypass-list=*', ...args],
    ...rest,
  });
}

// Hooks of a suite: before it a scratch folder and Chromium with its profile there, after it
// both go. The object returned holds them as `work` and `browser`.
function useBrowser(prefix, options) {
  const ctx = { work: null, browser: null };
  before(async () => {
    ctx.work = workFolder(prefix);
    ctx.browser = await launchBrowser(path.join(ctx.work, 'profile'), options);
  });
  after(async () => {
    if (ctx.browser) await ctx.browser.close();
    if (ctx.work) fs.rmSync(ctx.work, { recursive: true, force: true });
  });
  return ctx;
}

// A cart of two lines in the sample store: the home page's pick in its 250 g size, then a
// teaware shelf item.
async function fillTwoLineCart(page, base) {
  await page.goto(base + 'index.html');
  await page.evaluate(() => TolmiCart.clearCart());
  await page.selectOption('.body form[name="form1"] select[name="OPTION1"]', '250 g');
  await page.click('.body form[name="form1"] button.add');
  await page.waitForFunction(() => TolmiCart.loadCart().length === 1);
  await page.goto(base + 'teaware.html');
  await page.click('form[name="form3"] button.add');
  await page.waitForFunction(() => TolmiCart.loadCart().length === 2);
}

// True when the page needs no horizontal scrolling at its width.
async function fitsWidth(page) {
  return page.evaluate(() => document.scrollingElement.scrollWidth <= window.innerWidth);
}

module.exports = {
  top, chromiumPath, missingTools, skipFor, workFolder, artifactsFolder, runCli, makeHome, buildStore, buildSampleInStyle,
  startTolmiServer, addServerUser, decodeFormBody, checkOrder, startStoreServer,
  launchBrowser, useBrowser, fillTwoLineCart, fitsWidth, exited,
};
