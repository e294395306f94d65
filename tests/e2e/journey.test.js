// The merchant's journey, end to end with real peers on 127.0.0.1: a store made with the
// wizard, products imported from a CSV file, built, published to a real FTP server, served by
// tolmi-server, an order sent from headless Chromium, downloaded, checked, charged through
// the test gateway and logged; then one price changed and only what changed published again.
// Skips, naming what is missing, only when an outside tool (Chromium, playwright-core,
// pyftpdlib) is not installed; a missing tolmi-cli command fails it.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const net = require('node:net');
const readline = require('node:readline');
const { spawn, execFileSync } = require('node:child_process');
const S = require('./support');
const { customer, card } = require('./stores');

const python = '/usr/bin/python3';

// What the journey needs and is missing, by name.
function missingForJourney() {
  const missing = S.missingTools(true);
  if (missing.some((m) => m.startsWith('tolmi-cli'))) return missing;
  try {
    execFileSync(python, ['-c', 'import pyftpdlib'], { stdio: 'pipe' });
  } catch (e) {
    missing.push('python3-pyftpdlib');
  }
  return missing;
}

const skip = S.skipFor('the merchant\'s journey', missingForJourney());

// The FTP server of ftpd.py; `stored` collects the files it received, in order.
async function startFtp(root, user, password) {
  const child = spawn(python, [path.join(__dirname, 'ftpd.py'), root, user, password], { stdio: ['ignore', 'pipe', 'pipe'] });
  let errors = '';
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (c) => { errors += c; });
  const lines = readline.createInterface({ input: child.stdout });
  const stored = [];
  const connected = new Set();
  const port = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`the FTP server did not start: ${errors}`)), 20000);
    child.once('exit', (code) => { clearTimeout(timer); reject(new Error(`the FTP server exited (${code}): ${errors}`)); });
    lines.on('line', (line) => {
      if (/^\d+$/.test(line)) { clearTimeout(timer); resolve(Number(line)); }
      const m = /^(STORED|INCOMPLETE) (.*)$/.exec(line);
      if (m) stored.push(`${m[1] === 'STORED' ? '' : '!'}${m[2]}`);
      const c = /^CONNECTED (\d+)$/.exec(line);
      if (c) connected.add(Number(c[1]));
    });
  });
  return {
    port, stored,
    // Resolves once every line the server printed before now has been read.
    async sync() {
      const socket = net.connect(port, '127.0.0.1');
      await new Promise((resolve, reject) => { socket.once('connect', resolve); socket.once('error', reject); });
      const mine = socket.localPort;
      await until(() => connected.has(mine), 'the FTP server to see the sync connection');
      socket.destroy();
    },
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null) return;
      process.kill(child.pid, 'SIGTERM');
      await S.exited(child);
    },
  };
}

// Waits for a condition, checking every 20 ms, for at most 20 seconds.
async function until(condition, what) {
  const end = Date.now() + 20000;
  while (!condition()) {
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 20));
  }
}

// Every file below a folder with the SHA-256 of its bytes, keyed by its path below the folder;
// without the preview's frame loader "ftmp.htm", which is never published.
function snapshot(dir) {
  const out = new Map();
  const walk = (rel) => {
    for (const e of fs.readdirSync(path.join(dir, rel), { withFileTypes: true })) {
      const r = rel ? `${rel}/${e.name}` : e.name;
      if (e.isDirectory()) walk(r);
      else if (e.isFile() && r !== 'ftmp.htm') out.set(r, crypto.createHash('sha256').update(fs.readFileSync(path.join(dir, r))).digest('hex'));
    }
  };
  if (fs.existsSync(dir)) walk('');
  return out;
}

// Appends lines to the project file; a later KEY= line overrides an earlier one.
function appendToProject(file, lines) {
  fs.appendFileSync(file, lines.map((l) => `${l}\n`).join(''), 'latin1');
}

// The first built page that adds the product of this code to the cart.
function pageOf(dir, code) {
  for (const name of fs.readdirSync(dir)) {
    if (!/\.html?$/.test(name)) continue;
    if (fs.readFileSync(path.join(dir, name), 'latin1').includes(`addItem('${name}','${code}'`)) return name;
  }
  return null;
}

test('the merchant\'s journey', { skip, timeout: 540000 }, async (t) => {
  const work = S.workFolder('tolmi-journey-');
  const home = path.join(work, 'home');
  const ftpRoot = path.join(work, 'ftp');
  fs.mkdirSync(ftpRoot, { recursive: true });
  const cliOutput = [];
  const cli = (...args) => {
    const out = S.runCli(home, args);
    cliOutput.push(out);
    return out;
  };
  const data = path.join(work, 'orders.db');
  S.addServerUser(data, 'shop', 'secret word');
  const serverArgs = ['--data', data, '--store', ftpRoot];
  let server = await S.startTolmiServer(serverArgs);
  const serverOutput = [];
  const ftp = await startFtp(ftpRoot, 'merchant', 'ftp pass');
  let browser = null;
  const state = {};
  let failed = false;
  // Each step is a subtest; after a failure the later steps are skipped, so the report shows
  // how far the journey got.
  const step = async (name, fn) => t.test(name, { skip: failed && 'an earlier step failed' }, async () => {
    try {
      await fn();
    } catch (e) {
      failed = true;
      throw e;
    }
  });
  try {
    S.makeHome(home, server.url, 'shop');
    cli('config', 'o_password=secret word');  // kept scrambled in config.ini

    await step('the wizard makes a new store', async () => {
      // A per-order charge of 4.00 to the United States, 10 % region-based tax, Visa cards.
      cli('wizard', 'Journey', '--title', 'Journey Tea', '--regions', 'US', '--calculation', 'order', '--charge', '4.00',
        '--cards', 'Visa', '--method1', 'Standard Post', '--tax', 'on', '--tax-method', 'region', '--tax-rate', '10',
        '--name', 'Mira Okafor', '--email', 'hello@example.com');
      state.project = path.join(home, 'Projects', 'Journey', 'Journey.stp');
      assert.ok(fs.existsSync(state.project), `the wizard saved ${state.project}`);
    });

    await step('products come in from a CSV file', async () => {
      const csv = path.join(work, 'products.csv');
      fs.writeFileSync(csv, 'Blue Teapot,12.50,TP-1,0.8,teapot.html\n"Tea Cups, pair","8.00",CP-2,0.4,cups.html\n', 'latin1');
      cli('import', state.project, csv, '--columns', 'Title,Cost,Product Code,Weight,Filename', '--under', 'index.html');
      const text = fs.readFileSync(state.project, 'latin1');
      // Where to publish, the freight a shopper can choose when the wizard set none, and cards.
      appendToProject(state.project, ['P_SERV=127.0.0.1', `P_PORT=${ftp.port}`, 'P_USER=merchant', 'P_DIR=shop',
        'P_PASV=1', 'P_SAVE=0',
        ...(/\n\$[^\n]*,\|1\n/.test(text) ? [] : ['$US0,5.00,,,,,,,,,,,,,|1', 'FNAME=0,Standard Post']),
        ...(/\nCC=/.test(text) ? [] : ['CC=1:Visa'])]);
    });

    await step('the store builds', async () => {
      const out = cli('build', state.project, '--save');
      assert.match(out, /Store Build Complete\. \(0 errors, /);
      state.web = ['Web', 'web'].map((d) => path.join(path.dirname(state.project), d))
        .find((d) => fs.existsSync(path.join(d, 'register.html'))) || '(no web folder)';
      assert.ok(fs.existsSync(path.join(state.web, 'register.html')), 'register.html in the project\'s web folder');
      state.teapotPage = pageOf(state.web, 'TP-1');
      assert.ok(state.teapotPage, 'a page adds TP-1 to the cart');
    });

    await step('publishing sends every file to the FTP server', async () => {
      const out = cli('publish', state.project, '--password', 'ftp pass');
      await ftp.sync();
      const local = snapshot(state.web);
      const remote = snapshot(path.join(ftpRoot, 'shop'));
      for (const [file, digest] of local) assert.equal(remote.get(file), digest, `remote shop/${file}`);
      assert.deepEqual([...remote.keys()].filter((f) => !local.has(f)), [], 'nothing else on the server');
      assert.deepEqual(ftp.stored.filter((f) => f.startsWith('!')), [], 'no incomplete upload');
      state.firstStored = ftp.stored.splice(0);
      assert.equal(state.firstStored.length, local.size, out);
      state.builtBefore = local;
    });

    await step('a shopper orders from the published store', async () => {
      browser = await S.launchBrowser(path.join(work, 'profile'));
      const page = await browser.newPage();
      const base = `${server.url}shop/`;
      await page.goto(base + state.teapotPage);
      await page.click('form[name="form1"] button.add');
      await page.waitForFunction(() => TolmiCart.loadCart().length === 1);
      await page.goto(base + 'register.html');
      const regions = await page.$$eval('#tolmi-region option', (os) => os.map((o) => o.value).filter(Boolean));
      await page.selectOption('#tolmi-region', regions[0]);
      for (const [name, value] of Object.entries(customer)) {
        if (await page.locator(`[name="${name}"]`).count()) await page.fill(`[name="${name}"]`, value);
      }
      if (await page.locator('select[name="CardType"] option').count()) {
        await page.selectOption('select[name="CardType"]', { index: 0 });
        await page.fill('[name="CardholderName"]', card.CardholderName);
        await page.fill('[name="CardNumber"]', card.CardNumber);
        await page.selectOption('[name="CardExpiryMonth"]', card.CardExpiryMonth);
        await page.fill('[name="CardExpiryYear"]', card.CardExpiryYear);
      }
      state.total = (await page.locator('#tolmi-total').textContent()).replace(/^[^0-9]*/, '');
      await Promise.all([page.waitForURL(/#order=\d+$/), page.click('#tolmi-order button[type="submit"]')]);
      await page.waitForSelector('#tolmi-confirmation:not([hidden])');
      state.orderId = /#order=(\d+)$/.exec(page.url())[1];
      await page.close();
    });

    await step('the order server keeps the card sealed and comes back after a restart', async () => {
      // Neither the data file nor its journal holds the card number in clear.
      const digits = String(card.CardNumber).replace(/\D/g, '');
      for (const f of fs.readdirSync(work).filter((n) => n.startsWith('orders.db'))) {
        const raw = fs.readFileSync(path.join(work, f), 'latin1');
        assert.ok(!raw.includes(card.CardNumber) && !raw.includes(digits), `no card number in ${f}`);
      }
      serverOutput.push(server.output());
      await server.stop();
      // On its own port again: the store's pages name it.
      server = await S.startTolmiServer(serverArgs, server.port);
    });

    await step('the merchant downloads the order', async () => {
      // Server, user and password come from the home's configuration.
      const out = cli('orders', 'download');
      assert.match(out, /^Received 1 orders \(1 new\)\.$/m, out);
      assert.match(out, /^Deleted 1 orders on the server\.$/m, out);
      // "NUMBER  id ID  date  total  name": the merchant's own order number.
      const line = new RegExp(`^(\\S+)  id ${state.orderId}  .*  ${state.total.replace('.', '\\.')}  (.*)$`, 'm').exec(out);
      assert.ok(line, out);
      assert.equal(Buffer.from(line[2], 'latin1').toString('utf8'), customer.Name);
      state.orderName = line[1];
      assert.ok(fs.existsSync(path.join(home, 'orders.ost')), 'orders.ost written');
      assert.match(fs.readFileSync(path.join(home, 'orders.ost'), 'latin1'), /TP-1/);
    });

    await step('the order the browser sent matches the catalogue', async () => {
      const out = cli('orders', 'check', state.orderName, '--project', state.project);
      assert.match(out, new RegExp(`^${state.orderName}: matches the catalogue$`, 'm'), out);
    });

    await step('the card is charged through the test gateway and logged', async () => {
      const engines = path.join(home, 'engines.dat');
      const text = fs.readFileSync(engines, 'latin1');
      fs.writeFileSync(engines, text.replace(/127\.0\.0\.1:8080/g, `127.0.0.1:${server.port}`), 'latin1');
      const block = text.split(/\n(?=NAME=)/).find((b) => /^NAME=/.test(b) && /^REQ=http:\/\/127\.0\.0\.1:/m.test(b));
      assert.ok(block, 'engines.dat has a gateway on 127.0.0.1');
      const name = /^NAME=([^\r\n]*)/.exec(block)[1];
      fs.appendFileSync(path.join(home, 'server.ini'), `gateway=${name}\n`);
      const out = cli('orders', 'charge', state.orderName);
      assert.match(out, /Approved/i, out);
      // The day's transaction log: time, order number, order-server id, 1 (approved), amount.
      const log = cli('log', '--raw');
      const line = new RegExp(`^(\\d+),${state.orderName},${state.orderId},1,${state.total.replace('.', '\\.')}$`, 'm').exec(log);
      assert.ok(line, log);
      assert.ok(Math.abs(Number(line[1]) - Date.now() / 1000) < 600, `charge time ${line[1]}`);
    });

    // Charged, the orders file keeps the card's last four digits only.
    await step('no file of the merchant and no program\'s output holds the full card number', async () => {
      const digits = String(card.CardNumber).replace(/\D/g, '');
      const found = [];
      const walk = (dir) => {
        for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
          const f = path.join(dir, e.name);
          if (e.isDirectory()) walk(f);
          // engines.dat names the test gateway's sample card in its comments.
          else if (e.isFile() && e.name !== 'engines.dat') {
            const text = fs.readFileSync(f, 'latin1');
            if (text.includes(card.CardNumber) || text.includes(digits)) found.push(path.relative(home, f));
          }
        }
      };
      walk(home);
      for (const [i, out] of [...cliOutput, ...serverOutput, server.output()].entries()) {
        if (out.includes(card.CardNumber) || out.includes(digits)) found.push(`output ${i}`);
      }
      assert.deepEqual(found, []);
    });

    await step('a price with reordered digits publishes exactly what changed', async () => {
      const text = fs.readFileSync(state.project, 'latin1');
      assert.ok(text.includes('COST=12.50\n'));
      fs.writeFileSync(state.project, text.replace('COST=12.50\n', 'COST=15.20\n'), 'latin1');
      cli('build', state.project, '--save');
      const after = snapshot(state.web);
      const changed = [...after].filter(([f, d]) => state.builtBefore.get(f) !== d).map(([f]) => f).sort();
      assert.ok(changed.includes(state.teapotPage), `${state.teapotPage} changed`);
      cli('publish', state.project, '--password', 'ftp pass');
      await ftp.sync();
      const sent = ftp.stored.map((f) => f.replace(/^shop\//, '')).sort();
      // Every file whose bytes changed went (the price page keeps its size and its old
      // checksum), and nothing else: pages go by size, checksum and digest, support files
      // by their stamps, which a rebuild leaves alone when their bytes did not change.
      assert.ok(changed.length <= 3, `only the price's pages changed: ${changed.join(' ')}`);
      for (const f of changed) assert.ok(sent.includes(f), `${f} changed and was sent`);
      const unchanged = sent.filter((f) => !changed.includes(f));
      assert.deepEqual(unchanged, [], 'no unchanged file was sent');
      t.diagnostic(`changed by the new price and sent: ${changed.join(' ')}`);
      const remote = snapshot(path.join(ftpRoot, 'shop'));
      for (const [file, digest] of after) assert.equal(remote.get(file), digest, `remote shop/${file}`);
    });
  } finally {
    if (browser) await browser.close();
    await ftp.stop();
    await server.stop();
    fs.rmSync(work, { recursive: true, force: true });
  }
});
