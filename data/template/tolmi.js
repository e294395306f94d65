/* Tolmi cart script: the shopping cart of a built store, the freight and tax
   evaluator of the order form, and the order form's sending and confirmation.
   Store pages call addItem(...) and removeItem(code); trolley.html and
   register.html call TolmiCart.renderCart / TolmiCart.initOrderForm. */
(function (root) {
  'use strict';

  var CART_KEY = 'tolmi_cart';
  var CURRENCY_KEY = 'tolmi_currency';
  // The most of one item a shopper can order at once; more is refused with a message.
  var MAX_QTY = 999;
  var MAX_LINES = 500;

  // ---- small helpers ----------------------------------------------------

  // Decodes the builder's URL encoding (%XX bytes, "+" for space): UTF-8 when
  // the bytes are UTF-8, otherwise each byte as Latin-1; a broken escape stays.
  function urlDecode(text) {
    var s = String(text == null ? '' : text).replace(/\+/g, ' ');
    try {
      return decodeURIComponent(s);
    } catch (e) {
      return s.replace(/%([0-9A-Fa-f]{2})/g, function (m, hex) {
        return String.fromCharCode(parseInt(hex, 16));
      });
    }
  }

  // A money or number text ("4.50", "$4.50", "1,250.00") as a number; 0 when
  // nothing numeric is there.
  function toNumber(text) {
    if (typeof text === 'number') return isFinite(text) ? text : 0;
    var s = String(text == null ? '' : text).replace(/[^0-9.\-]/g, '');
    var n = parseFloat(s);
    return isFinite(n) ? n : 0;
  }

  // Amount in whole cents, rounding halves away from zero.
  function cents(amount) {
    var v = amount * 100;
    return v < 0 ? -Math.round(-v - 1e-7) : Math.round(v + 1e-7);
  }

  // Money rule (docs/money.md, util/Money.h): a text is read straight into whole units of
  // 10^-places (cents at 2, weights and percentages at 3), as toNumber reads it, the first
  // dropped decimal rounding half away from zero; no binary fraction comes in between.
  var LIMIT = 999999999999999;
  function parseScaled(text, places) {
    var m = /^(-?)([0-9]*)(?:\.([0-9]*))?/.exec(String(text == null ? '' : text).replace(/[^0-9.\-]/g, ''));
    var frac = m[3] || '';
    if (m[2] === '' && frac === '') return 0;
    var digits = (m[2] + (frac + '000000').slice(0, places)).replace(/^0+/, '');
    var v = digits.length > 15 ? LIMIT : Number(digits || '0');
    if (frac.charAt(places) >= '5' && v < LIMIT) v += 1;
    v = Math.min(v, LIMIT);
    return m[1] && v ? -v : v;
  }
  function parseCents(text) { return parseScaled(text, 2); }

  // a * b / den, rounded half away from zero (exact: BigInt for products past 2^51).
  function mulDivRound(a, b, den) {
    var p = a * b;
    if (Math.abs(p) < 2e15 || typeof BigInt !== 'function') {
      var q = Math.floor((Math.abs(p) * 2 + den) / (2 * den));
      return p < 0 ? -q : q;
    }
    var big = BigInt(a) * BigInt(b);
    var neg = big < BigInt(0);
    if (neg) big = -big;
    var two = BigInt(2);
    var r = Number((big * two + BigInt(den)) / (two * BigInt(den)));
    return neg ? -r : r;
  }
  function percentOf(amount, rateMilli) { return mulDivRound(amount, rateMilli, 100000); }

  function fixedN(value, places) {
    var neg = value < 0;
    var v = String(Math.abs(value));
    while (v.length <= places) v = '0' + v;
    return (neg ? '-' : '') + (places ? v.slice(0, v.length - places) + '.' + v.slice(v.length - places) : v);
  }
  function fixed2(centsValue) { return fixedN(centsValue, 2); }

  function escapeHtml(text) {
    return String(text).replace(/[&<>"']/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
    });
  }

  // ---- freight text -----------------------------------------------------

  var BAND_RE = /^\s*([^<]*?)\s*<=\s*([0-9]*\.?[0-9]+)\s*k\s*$/;
  var PER_UNIT_RE = /^\s*([^+]*?)\s*\+\s*([^k]*?)\s*k\s*>\s*10\s*k\s*$/;
  var TAX_RE = /^\s*(-?[0-9]*\.?[0-9]+)\s*%\s*$/;
  var FTAX_RE = /^\s*(-?[0-9]*\.?[0-9]+)\s*f\s*$/;

  // Splits "Region A,Region B(content" at the opening parenthesis of the
  // group: the first "(" left unmatched, so region names such as
  // "Korea (South)" keep their own brackets.
  function splitGroup(segment) {
    var stack = [];
    for (var i = 0; i < segment.length; i++) {
      var c = segment.charAt(i);
      if (c === '(') stack.push(i);
      else if (c === ')' && stack.length) stack.pop();
    }
    if (!stack.length) return null;
    var at = stack[0];
    return { regions: segment.slice(0, at), content: segment.slice(at + 1) };
  }

  // Reads the comma-separated bands "A<=Wk" and "B+Rk>10k". Returns null when
  // any item is something else.
  function parseBands(items) {
    var bands = [];
    var perUnit = null;
    for (var i = 0; i < items.length; i++) {
      var m = BAND_RE.exec(items[i]);
      if (m) {
        bands.push({ limit: parseScaled(m[2], 3), amount: parseCents(m[1]) });
        continue;
      }
      m = PER_UNIT_RE.exec(items[i]);
      if (m) {
        perUnit = { base: parseCents(m[1]), rate: parseCents(m[2]) };
        continue;
      }
      return null;
    }
    bands.sort(function (a, b) { return a.limit - b.limit; });
    return { bands: bands, perUnit: perUnit };
  }

  function parseGroupContent(content) {
    var group = { tax: null, freightTax: null, bands: [], perUnit: null, rule: null };
    var items = content.split(',');
    var i = 0;
    var m;
    if (i < items.length && (m = TAX_RE.exec(items[i]))) { group.tax = parseScaled(m[1], 3); i++; }
    if (i < items.length && (m = FTAX_RE.exec(items[i]))) { group.freightTax = parseScaled(m[1], 3); i++; }
    var rest = items.slice(i);
    var parsed = rest.length && rest.join(',').replace(/\s/g, '') !== '' ? parseBands(rest) : null;
    if (parsed) {
      group.bands = parsed.bands;
      group.perUnit = parsed.perUnit;
    } else {
      group.rule = rest.join(',').trim();
    }
    return group;
  }

  // Parses the order form's freight text into delivery methods, each with its
  // region groups. Malformed text yields the methods read so far.
  function parseFreight(text) {
    var s = String(text == null ? '' : text).replace(/[\r\n]+/g, '');
    var methods = [];
    var i = 0;
    while (i < s.length) {
      var open = s.indexOf('(', i);
      if (open < 0) break;
      var method = { name: urlDecode(s.slice(i, open)).trim(), groups: [] };
      i = open + 1;
      var closed = false;
      while (i < s.length) {
        if (s.substr(i, 2) === ');') { i += 2; closed = true; break; }
        var end = s.indexOf(');', i);
        var segment = end < 0 ? s.slice(i) : s.slice(i, end);
        var split = splitGroup(segment);
        i = end < 0 ? s.length : end + 2;
        if (!split) continue;
        var group = parseGroupContent(split.content);
        group.regions = split.regions.split(',').map(function (r) { return r.trim(); })
          .filter(function (r) { return r !== ''; });
        if (group.regions.length) method.groups.push(group);
      }
      if (method.name !== '' && method.groups.length) methods.push(method);
      if (!closed) break;
    }
    return methods;
  }

  // The regions that can order, in the order they first appear.
  function regionsOf(methods) {
    var seen = {};
    var list = [];
    methods.forEach(function (m) {
      m.groups.forEach(function (g) {
        g.regions.forEach(function (r) {
          if (!seen.hasOwnProperty('r:' + r)) { seen['r:' + r] = true; list.push(r); }
        });
      });
    });
    return list;
  }

  function findGroup(method, region) {
    for (var i = 0; i < method.groups.length; i++) {
      if (method.groups[i].regions.indexOf(region) >= 0) return method.groups[i];
    }
    return null;
  }

  // The methods offered to a region, as indexes into the method list.
  function methodsFor(methods, region) {
    var out = [];
    methods.forEach(function (m, idx) { if (findGroup(m, region)) out.push(idx); });
    return out;
  }

  // Charge in cents of the weight bands for an order weight in thousandths: the first
  // band whose limit holds the weight; above 10 units the per-unit band adds its rate for
  // every started unit; past the last band without one the last band's charge holds.
  function bandCharge(group, weight) {
    for (var i = 0; i < group.bands.length; i++) {
      if (weight <= group.bands[i].limit) return group.bands[i].amount;
    }
    if (group.perUnit && weight > 10000) {
      var units = Math.floor((weight - 10000 + 999) / 1000);
      return group.perUnit.base + group.perUnit.rate * units;
    }
    return group.bands.length ? group.bands[group.bands.length - 1].amount : 0;
  }

  /* Rule texts hold comma-separated terms:
       "12.50"        a charge per order
       "2/item"       a charge per item in the cart
       "1.5/k"        a charge per unit of weight
       "A<=Wk"        a weight band, "B+Rk>10k" the per-unit band above 10
       "free"         no charge
       "free>=100"    no charge when the goods come to at least 100
     Amounts in cents, the weight in thousandths. Returns null for a rule this script
     cannot read. */
  function ruleCharge(rule, weight, units, subtotal) {
    var terms = rule.split(',');
    var charge = 0;
    var bandItems = [];
    var freeFrom = null;
    for (var i = 0; i < terms.length; i++) {
      var t = terms[i].trim().toLowerCase();
      var m;
      if (t === '') continue;
      if (t === 'free') { freeFrom = 0; continue; }
      if ((m = /^free\s*(?:>=|over|from)\s*([0-9]*\.?[0-9]+)$/.exec(t))) { freeFrom = parseCents(m[1]); continue; }
      if ((m = /^([0-9]*\.?[0-9]+)\s*\/\s*item$/.exec(t))) { charge += parseCents(m[1]) * units; continue; }
      if ((m = /^([0-9]*\.?[0-9]+)\s*\/\s*k$/.exec(t))) { charge += mulDivRound(parseCents(m[1]), weight, 1000); continue; }
      if (/^[0-9]*\.?[0-9]+$/.test(t)) { charge += parseCents(t); continue; }
      if (BAND_RE.test(t) || PER_UNIT_RE.test(t)) { bandItems.push(t); continue; }
      return null;
    }
    if (bandItems.length) {
      var parsed = parseBands(bandItems);
      charge += bandCharge(parsed, weight);
    }
    if (freeFrom !== null && subtotal >= freeFrom) return 0;
    return charge;
  }

  /* Freight and tax of a cart for a region and method.
     lines: [{qty, price, weight, freight, tax}], numbers per unit.
     options.taxMode: "region" (the region's rate on all goods) or "product"
     (each item's own rate, in regions that are taxed); by default product
     based when any line carries its own rate.
     Returns amounts in cents (lineTax: the tax of each line, which add up to tax), or
     {ok:false, reason} when the region or method cannot be served. */
  function computeTotals(methods, region, methodIndex, lines, options) {
    options = options || {};
    var subtotal = 0, weight = 0, units = 0, itemFreight = 0;
    var anyRate = false;
    var lineTotals = [], rates = [];
    (lines || []).forEach(function (l) {
      var qty = Math.max(0, Math.floor(toNumber(l.qty)));
      var lineTotal = parseCents(l.price) * qty;
      subtotal += lineTotal;
      units += qty;
      weight += parseScaled(l.weight, 3) * qty;
      itemFreight += parseCents(l.freight) * qty;
      var rate = parseScaled(l.tax, 3);
      if (rate !== 0) anyRate = true;
      lineTotals.push(lineTotal);
      rates.push(rate);
    });
    var result = { ok: false, reason: '', subtotal: subtotal, weight: weight, freight: 0,
                   freightTax: 0, tax: 0, total: subtotal, lineTax: [] };
    var method = methods[methodIndex];
    if (!method) { result.reason = 'method'; return result; }
    var group = findGroup(method, region);
    if (!group) { result.reason = 'region'; return result; }
    var charge = group.rule !== null ? ruleCharge(group.rule, weight, units, subtotal)
                                     : bandCharge(group, weight);
    if (charge === null) { result.reason = 'rule'; return result; }
    var freight = charge + itemFreight;
    var freightTax = group.freightTax !== null ? percentOf(freight, group.freightTax) : 0;
    var tax = 0;
    var mode = options.taxMode || (anyRate ? 'product' : 'region');
    // Each line's tax is rounded on its own; the order's tax is their sum.
    lineTotals.forEach(function (lineTotal, i) {
      var t = group.tax === null ? 0 : percentOf(lineTotal, mode === 'product' ? rates[i] : group.tax);
      result.lineTax.push(t);
      tax += t;
    });
    result.ok = true;
    result.freight = freight;
    result.freightTax = freightTax;
    result.tax = tax;
    result.total = subtotal + freight + freightTax + tax;
    return result;
  }

  // ---- the cart ---------------------------------------------------------

  function storage() {
    try {
      var ls = root.localStorage;
      if (ls) {
        ls.setItem('tolmi_probe', '1');
        ls.removeItem('tolmi_probe');
        return ls;
      }
    } catch (e) { /* private mode or blocked: fall back to a cookie */ }
    return null;
  }

  function readCookie(name) {
    var doc = root.document;
    if (!doc || typeof doc.cookie !== 'string') return null;
    var parts = doc.cookie.split(';');
    for (var i = 0; i < parts.length; i++) {
      var p = parts[i].replace(/^\s+/, '');
      if (p.indexOf(name + '=') === 0) {
        try { return decodeURIComponent(p.slice(name.length + 1)); } catch (e) { return null; }
      }
    }
    return null;
  }

  function writeCookie(name, value) {
    var doc = root.document;
    if (!doc) return;
    doc.cookie = name + '=' + encodeURIComponent(value) + '; path=/; max-age=2592000; SameSite=Lax';
  }

  function loadRaw(key) {
    var ls = storage();
    if (ls) return ls.getItem(key);
    return readCookie(key);
  }

  function saveRaw(key, value) {
    var ls = storage();
    if (ls) { ls.setItem(key, value); return; }
    writeCookie(key, value);
  }

  // Keeps only well-formed lines, so a damaged stored cart never breaks a page.
  function sanitizeLine(l) {
    if (!l || typeof l !== 'object') return null;
    var qty = Math.floor(toNumber(l.qty));
    if (!(qty >= 1)) return null;
    return {
      page: String(l.page || ''), code: String(l.code || ''), name: String(l.name || ''),
      price: String(l.price || '0'), image: String(l.image || ''),
      qty: Math.min(qty, MAX_QTY), weight: String(l.weight || '0'),
      freight: String(l.freight || '0'), tax: String(l.tax || '0'),
      option1: String(l.option1 == null ? '' : l.option1),
      option2: String(l.option2 == null ? '' : l.option2)
    };
  }

  function loadCart() {
    var raw = loadRaw(CART_KEY);
    if (!raw) return [];
    var data;
    try { data = JSON.parse(raw); } catch (e) { return []; }
    if (!Array.isArray(data)) return [];
    return data.map(sanitizeLine).filter(function (l) { return l; }).slice(0, MAX_LINES);
  }

  function saveCart(lines) {
    saveRaw(CART_KEY, JSON.stringify(lines));
  }

  function optionText(value) {
    return value == null ? '' : String(value);
  }

  // Adds one product as the builder's pages call it: page, code, name
  // (URL-encoded), price, picture, quantity, weight, freight, tax rate and the
  // two chosen options. The same product with the same options adds up.
  function addItem(page, code, name, price, image, qty, weight, freight, tax, option1, option2) {
    // A page's add button sits in a form with the option choices and, on product pages, a
    // quantity: what is not chosen or not a sane number is said next to the field instead.
    var form = activeForm;
    activeForm = null;
    if (form) {
      var checked = checkAddForm(form);
      if (!checked.ok) return false;
      qty = checked.qty;
      // The choices of the form that was pressed (a page can hold two forms of one number).
      var own1 = form.querySelector('select[name="OPTION1"]');
      var own2 = form.querySelector('select[name="OPTION2"]');
      if (own1) option1 = own1.value;
      if (own2) option2 = own2.value;
    }
    var line = sanitizeLine({
      page: page, code: code, name: urlDecode(name), price: price, image: image,
      qty: qty == null ? 1 : qty, weight: weight, freight: freight, tax: tax,
      option1: optionText(option1), option2: optionText(option2)
    });
    if (!line) return false;
    var lines = loadCart();
    for (var i = 0; i < lines.length; i++) {
      var l = lines[i];
      if (l.code === line.code && l.option1 === line.option1 && l.option2 === line.option2 &&
          l.name === line.name) {
        if (l.qty + line.qty > MAX_QTY) {
          if (form) fieldError(form.querySelector('input[name="qty"]') || form.querySelector('button'),
            'Your cart already holds ' + l.qty + ': at most ' + MAX_QTY + ' of one item can be ordered.');
          return false;
        }
        l.qty += line.qty;
        saveCart(lines);
        notify();
        showAdded(line.name);
        return true;
      }
    }
    if (lines.length >= MAX_LINES) return false;
    lines.push(line);
    saveCart(lines);
    notify();
    showAdded(line.name);
    return true;
  }

  // Removes every line of a product code.
  function removeItem(code) {
    var lines = loadCart().filter(function (l) { return l.code !== String(code); });
    saveCart(lines);
    notify();
  }

  function removeLine(index) {
    var lines = loadCart();
    if (index >= 0 && index < lines.length) lines.splice(index, 1);
    saveCart(lines);
    notify();
  }

  // Checks a quantity a shopper typed: a whole number from 1 to MAX_QTY. Returns the number,
  // or the message that says what is wrong.
  function checkQuantity(text) {
    var s = String(text == null ? '' : text).trim();
    if (!/^[0-9]+$/.test(s)) return { ok: false, message: 'Enter a whole number from 1 to ' + MAX_QTY + '.' };
    var n = parseInt(s, 10);
    if (n < 1) return { ok: false, message: 'Enter 1 or more, or use Remove to take the item out.' };
    if (n > MAX_QTY) return { ok: false, message: 'At most ' + MAX_QTY + ' of one item can be ordered.' };
    return { ok: true, qty: n };
  }

  // Sets a line's quantity when it is a whole number from 1 to MAX_QTY; returns the message
  // for anything else ("-2", "abc", 0, too many) and leaves the line as it was.
  function setQuantity(index, qty) {
    var lines = loadCart();
    if (index < 0 || index >= lines.length) return 'There is no such line in the cart.';
    var checked = checkQuantity(qty);
    if (!checked.ok) return checked.message;
    lines[index].qty = checked.qty;
    saveCart(lines);
    notify();
    return '';
  }

  function clearCart() {
    saveCart([]);
    notify();
  }

  var listeners = [];
  function notify() {
    listeners.forEach(function (fn) { try { fn(); } catch (e) { /* keep the others */ } });
  }

  // Another frame or tab of the store changed the cart (the cart kept on screen beside the
  // store pages is such a frame): everything drawn from the cart is drawn again.
  if (root.addEventListener) {
    root.addEventListener('storage', function (ev) {
      if (!ev || ev.key === CART_KEY || ev.key === null) notify();
    });
  }

  function currency() {
    if (typeof root.TOLMI_CURRENCY === 'string' && root.TOLMI_CURRENCY !== '') return root.TOLMI_CURRENCY;
    var stored = loadRaw(CURRENCY_KEY);
    return stored || '$';
  }

  function setCurrency(text) {
    // An unfilled placeholder (a page seen outside a build) is not a currency.
    if (typeof text === 'string' && text !== '' && !/^\$[A-Z]/.test(text)) saveRaw(CURRENCY_KEY, text);
  }

  function money(centsValue) {
    return currency() + fixed2(centsValue);
  }

  function cartTotals(lines) {
    var subtotal = 0, count = 0;
    lines.forEach(function (l) { subtotal += parseCents(l.price) * l.qty; count += l.qty; });
    return { subtotal: subtotal, count: count };
  }

  // ---- pages ------------------------------------------------------------

  function byId(id) { return root.document ? root.document.getElementById(id) : null; }

  // Draws the cart into the element with the given id: one row per line with
  // a quantity field and a remove button, and the goods total.
  var drawnBoxes = {};
  function renderCart(id) {
    id = id || 'tolmi-cart';
    var box = byId(id);
    if (!box) return;
    if (!drawnBoxes[id]) {
      drawnBoxes[id] = true;
      listeners.push(function () { renderCart(id); });
    }
    var lines = loadCart();
    if (!lines.length) {
      box.innerHTML = '<p class="tolmi-empty">Your shopping cart is empty.</p>';
      return;
    }
    var html = '<table class="tolmi-lines"><thead><tr><th scope="col">Product</th>' +
      '<th scope="col">Price</th><th scope="col">Quantity</th><th scope="col">Total</th>' +
      '<th scope="col"><span class="tolmi-sr">Remove</span></th></tr></thead><tbody>';
    lines.forEach(function (l, i) {
      var opts = [l.option1, l.option2].filter(function (o) { return o !== ''; }).join(', ');
      var name = l.page ? '<a href="' + escapeHtml(l.page) + '">' + escapeHtml(l.name) + '</a>'
                        : escapeHtml(l.name);
      var pic = l.image && /^[A-Za-z0-9._~%\/-]+$/.test(l.image) && !/^\/\//.test(l.image)
        ? '<img src="' + escapeHtml(l.image) + '" alt="">' : '';
      html += '<tr data-line="' + i + '"><td data-label="Product">' + pic + name +
        (l.code ? ' <span class="tolmi-code">(' + escapeHtml(l.code) + ')</span>' : '') +
        (opts ? '<br><span class="tolmi-opts">' + escapeHtml(opts) + '</span>' : '') + '</td>' +
        '<td data-label="Price" class="tolmi-price">' + money(parseCents(l.price)) + '</td>' +
        '<td data-label="Quantity"><input class="tolmi-qty" id="' + id + '-qty' + i + '" type="number" min="1" max="' + MAX_QTY +
        '" inputmode="numeric" aria-label="Quantity of ' + escapeHtml(l.name) + '" value="' + l.qty + '" data-line="' + i +
        '"><span class="tolmi-err" id="' + id + '-qty' + i + '-err"></span></td>' +
        '<td data-label="Total" class="tolmi-linetotal">' + money(parseCents(l.price) * l.qty) + '</td>' +
        '<td><button type="button" class="tolmi-remove" data-line="' + i + '">Remove</button></td></tr>';
    });
    var t = cartTotals(lines);
    html += '</tbody><tfoot><tr><th scope="row" colspan="3">Goods total</th><td class="tolmi-subtotal" colspan="2">' +
      money(t.subtotal) + '</td></tr></tfoot></table>';
    box.innerHTML = html;
    var inputs = box.querySelectorAll('.tolmi-qty');
    Array.prototype.forEach.call(inputs, function (inp) {
      inp.addEventListener('change', function () {
        // A number field hands over '' for text such as "abc": that is an error too.
        var said = setQuantity(Number(inp.getAttribute('data-line')), inp.value);
        if (said) fieldError(inp, said);
      });
    });
    var buttons = box.querySelectorAll('.tolmi-remove');
    Array.prototype.forEach.call(buttons, function (b) {
      b.addEventListener('click', function () {
        removeLine(Number(b.getAttribute('data-line')));
      });
    });
  }

  // The frame carries the form and confirmation texts with every double
  // quote written as "%22"; this turns them back into HTML.
  function restoreQuotes(text) {
    return String(text == null ? '' : text).replace(/%22/g, '"');
  }

  function textOf(id) {
    var el = byId(id);
    return el ? (el.textContent || '') : '';
  }

  function hidden(form, name, value) {
    var inp = root.document.createElement('input');
    inp.type = 'hidden';
    inp.name = name;
    inp.value = value;
    inp.setAttribute('data-tolmi', '1');
    form.appendChild(inp);
  }

  // Line fields of one cart line as the order server reads them, tab separated.
  function itemValue(l, taxCents) {
    var clean = function (v) { return String(v).replace(/[\t\r\n]/g, ' '); };
    return [l.qty, clean(l.name), clean(l.code), fixed2(parseCents(l.price)),
            fixedN(parseScaled(l.weight, 3), 3), '', '', '', fixedN(parseScaled(l.tax, 3), 3), fixed2(taxCents),
            fixed2(parseCents(l.freight) * l.qty), '', clean(l.option1), clean(l.option2)].join('\t');
  }

  /* Sets up register.html: shows the confirmation when the server sent the
     shopper back with "#order=ID", otherwise fills in the form, the cart
     summary, the region and method choices and the totals. */
  function initOrderForm(config) {
    config = config || {};
    var doc = root.document;
    var form = byId('tolmi-order');
    var hash = String(root.location && root.location.hash || '');
    var m = /[#&]order=([0-9]+)/.exec(hash);
    if (m) {
      clearCart();
      var conf = byId('tolmi-confirmation');
      if (conf) {
        conf.innerHTML = restoreQuotes(textOf('tolmi-confirm-text'));
        showReceipt(conf, m[1]);
        var num = doc.createElement('p');
        num.className = 'tolmi-ordernumber';
        num.textContent = 'Order number: ' + m[1];
        // Right under the confirmation's heading, inside its box when it has one.
        var box = conf.firstElementChild && conf.firstElementChild.tagName === 'DIV' ? conf.firstElementChild : conf;
        var heading = box.querySelector('h1, h2, h3');
        if (heading && heading.parentNode === box) box.insertBefore(num, heading.nextSibling);
        else box.appendChild(num);
        conf.hidden = false;
        var title = doc.querySelector('main h1');
        if (title) title.textContent = 'Order received';
        var store = (doc.title.split(' - ')[1] || '').trim();
        doc.title = 'Order received' + (store ? ' - ' + store : '');
      }
      if (form) form.hidden = true;
      return;
    }
    if (!form) return;
    // The form checks itself and says what is missing next to each field and in a list on top.
    form.noValidate = true;
    var fields = byId('tolmi-form-fields');
    if (fields) fields.innerHTML = restoreQuotes(textOf('tolmi-form-text'));
    var cards = byId('card-fields');
    if (cards) {
      var select = cards.querySelector('select[name="CardType"]');
      if (!select || !select.options.length) {
        cards.parentNode.removeChild(cards);
      }
    }
    var methods = parseFreight(textOf('tolmi-freight'));
    var regionSel = byId('tolmi-region');
    var methodSel = byId('tolmi-method');
    var status = byId('tolmi-status');
    var send = form.querySelector('button[type="submit"], input[type="submit"]');
    var regions = regionsOf(methods);
    if (regionSel) {
      regionSel.innerHTML = '<option value="">Choose your region</option>' + regions.map(function (r) {
        return '<option value="' + escapeHtml(r) + '">' + escapeHtml(r) + '</option>';
      }).join('');
      var keptRegion = loadRaw('tolmi_region');
      if (regions.length === 1) regionSel.value = regions[0];
      else if (keptRegion && regions.indexOf(keptRegion) >= 0) regionSel.value = keptRegion;
    }
    // A store without delivery methods charges no freight: nothing to choose, and the
    // choices must not block the form.
    if (!methods.length) {
      [regionSel, methodSel].forEach(function (sel) {
        if (!sel) return;
        sel.required = false;
        sel.disabled = true;
        var label = sel.parentNode;
        if (label && label.tagName === 'LABEL') label.style.display = 'none';
      });
    }
    var fillMethods = function () {
      if (!methodSel) return;
      var keep = methodSel.value;
      var list = methodsFor(methods, regionSel ? regionSel.value : '');
      methodSel.innerHTML = list.map(function (idx) {
        return '<option value="' + idx + '">' + escapeHtml(methods[idx].name) + '</option>';
      }).join('');
      if (list.indexOf(Number(keep)) >= 0 && keep !== '') methodSel.value = keep;
      methodSel.disabled = !list.length;
    };
    var current = null;
    var update = function () {
      var lines = loadCart();
      var summary = byId('tolmi-summary');
      if (summary) renderCart('tolmi-summary');
      var region = regionSel ? regionSel.value : '';
      var methodIndex = methodSel && methodSel.value !== '' ? Number(methodSel.value) : -1;
      current = methods.length ? computeTotals(methods, region, methodIndex, lines, config)
                               : computeTotals([{ name: '', groups: [{ regions: [''], tax: null, freightTax: null, bands: [], perUnit: null, rule: null }] }], '', 0, lines, config);
      var set = function (id, v) { var el = byId(id); if (el) el.textContent = v; };
      set('tolmi-subtotal', money(current.subtotal));
      set('tolmi-freight-amount', current.ok ? money(current.freight) : '-');
      set('tolmi-freighttax-amount', current.ok ? money(current.freightTax) : '-');
      set('tolmi-tax-amount', current.ok ? money(current.tax) : '-');
      set('tolmi-total', current.ok ? money(current.total) : '-');
      // An empty cart is never sent: the button stays off and the form says why.
      if (send) send.disabled = !lines.length;
      if (status && !lines.length) status.textContent = 'Your shopping cart is empty.';
      else if (status && status.textContent === 'Your shopping cart is empty.') status.textContent = '';
    };
    if (regionSel) regionSel.addEventListener('change', function () { fillMethods(); update(); });
    if (methodSel) methodSel.addEventListener('change', update);
    fillMethods();
    update();
    listeners.push(update);
    // Back from the server's page (or from the history cache), the form is live again.
    var sending = false;
    root.addEventListener('pageshow', function () { sending = false; update(); });
    form.addEventListener('submit', function (ev) {
      // A second click while the first order is on its way sends nothing more.
      if (sending) { ev.preventDefault(); return; }
      var lines = loadCart();
      var say = function (text) { if (status) status.textContent = text; };
      Array.prototype.slice.call(form.querySelectorAll('input[data-tolmi]')).forEach(function (el) {
        el.parentNode.removeChild(el);
      });
      if (!lines.length) { ev.preventDefault(); say('Your shopping cart is empty.'); return; }
      update();
      var problems = formProblems(form, methods.length ? [regionSel, methodSel] : []);
      if (current && !current.ok && current.reason === 'rule') {
        problems.push({ field: regionSel, message: 'The delivery charge for this region cannot be worked out here. Please contact us.' });
      }
      if (showProblems(form, problems)) {
        ev.preventDefault();
        say('');
        return;
      }
      var method = methods.length && methodSel ? methods[Number(methodSel.value)] : null;
      lines.forEach(function (l, i) {
        hidden(form, 'tolmi_item', itemValue(l, current.lineTax[i] || 0));
      });
      if (method) {
        hidden(form, 'Region', regionSel.value);
        hidden(form, 'Delivery', method.name);
      }
      hidden(form, 'Freight', fixed2(current.freight));
      hidden(form, 'FreightTax', fixed2(current.freightTax));
      hidden(form, 'Tax', fixed2(current.tax));
      hidden(form, 'Amount', fixed2(current.total));
      var ret = form.querySelector('input[name="tolmi_return"]');
      var here = String(root.location.href).split('#')[0];
      if (ret && /^https?:/i.test(here)) ret.value = here;
      keepReceipt(form, lines, current, method ? method.name : '', regionSel && method ? regionSel.value : '');
      say('Sending your order...');
      sending = true;
      // Turned off after the browser has taken the form's values: a disabled button now would
      // not stop this submission, only the next one.
      if (send) root.setTimeout(function () { send.disabled = true; }, 0);
    });
  }

  // What is wrong with the order form, field by field: [{field, message}] in page order.
  function formProblems(form, choices) {
    var list = [];
    choices.forEach(function (sel) {
      if (sel && !sel.disabled && sel.value === '') {
        list.push({ field: sel, message: sel.id === 'tolmi-method' ? 'Choose a delivery method.' : 'Choose your region.' });
      } else if (sel) {
        fieldError(sel, '');
      }
    });
    Array.prototype.forEach.call(form.querySelectorAll('#tolmi-form-fields input, #tolmi-form-fields select, #tolmi-form-fields textarea'), function (el) {
      if (el.type === 'hidden' || el.disabled) return;
      var label = labelOf(el) || el.name;
      var v = String(el.value || '').trim();
      var message = '';
      if (el.required && v === '') message = (el.tagName === 'SELECT' ? 'Choose ' : 'Enter ') + 'your ' + label.toLowerCase().replace(/^your /, '') + '.';
      else if (v !== '' && el.type === 'email' && !/^[^\s@]+@[^\s@]+\.[^\s@]+$/.test(v)) message = 'Enter an email address such as name@example.com.';
      else if (v !== '' && el.pattern && !new RegExp('^(?:' + el.pattern + ')$').test(v)) message = 'Check the ' + label.toLowerCase() + ': it does not look right.';
      if (message) list.push({ field: el, message: message });
      else fieldError(el, '');
    });
    return list;
  }

  // Marks each field and lists the problems above the form, each linked to its field.
  // Returns whether there were any.
  function showProblems(form, problems) {
    var doc = root.document;
    var box = byId('tolmi-errors');
    if (!box) {
      box = doc.createElement('div');
      box.id = 'tolmi-errors';
      box.className = 'tolmi-summary';
      box.setAttribute('tabindex', '-1');
      box.setAttribute('role', 'alert');
      form.insertBefore(box, form.firstChild);
    }
    if (!problems.length) { box.hidden = true; box.innerHTML = ''; return false; }
    problems.forEach(function (p) { fieldError(p.field, p.message); });
    box.innerHTML = '<h2>Please check ' + (problems.length === 1 ? 'one thing' : problems.length + ' things') +
      '</h2><ul>' + problems.map(function (p) {
        return '<li><a href="#' + escapeHtml(idOf(p.field)) + '">' + escapeHtml(p.message) + '</a></li>';
      }).join('') + '</ul>';
    Array.prototype.forEach.call(box.querySelectorAll('a'), function (a) {
      a.addEventListener('click', function (ev) {
        var el = byId(a.getAttribute('href').slice(1));
        if (el) { ev.preventDefault(); el.focus(); }
      });
    });
    box.hidden = false;
    box.focus();
    return true;
  }

  var RECEIPT_KEY = 'tolmi_receipt';
  function session() {
    try { if (root.sessionStorage) return root.sessionStorage; } catch (e) { /* blocked */ }
    return null;
  }

  // Keeps what the shopper is ordering for the confirmation page (this browser tab only).
  function keepReceipt(form, lines, totals, method, region) {
    var ss = session();
    if (!ss) return;
    var value = function (name) {
      var el = form.querySelector('[name="' + name + '"]');
      return el ? String(el.value || '').trim() : '';
    };
    var receipt = {
      lines: lines.map(function (l) {
        return { name: l.name, qty: l.qty, options: [l.option1, l.option2].filter(function (o) { return o; }).join(', '),
                 total: parseCents(l.price) * l.qty };
      }),
      subtotal: totals.subtotal, freight: totals.freight, freightTax: totals.freightTax, tax: totals.tax,
      total: totals.total, method: method, region: region,
      address: [value('Name'), value('Company'), value('Street'),
                [value('City'), value('State'), value('Zip')].filter(function (x) { return x; }).join(' '),
                value('Country')].filter(function (x) { return x; }).join('\n'),
      email: value('Email')
    };
    try { ss.setItem(RECEIPT_KEY, JSON.stringify(receipt)); } catch (e) { /* the confirmation stays short */ }
  }

  function showReceipt(conf, orderId) {
    var ss = session();
    var raw = ss ? ss.getItem(RECEIPT_KEY) : null;
    var r = null;
    try { r = raw ? JSON.parse(raw) : null; } catch (e) { r = null; }
    if (!r || !Array.isArray(r.lines)) return;
    var rows = r.lines.map(function (l) {
      return '<tr><td>' + escapeHtml(l.qty) + ' &times; ' + escapeHtml(l.name) +
        (l.options ? ' <span class="tolmi-opts">(' + escapeHtml(l.options) + ')</span>' : '') +
        '</td><td>' + money(toNumber(l.total)) + '</td></tr>';
    }).join('');
    var amount = function (label, v, cls) {
      return '<dt' + (cls ? ' class="' + cls + '"' : '') + '>' + label + '</dt><dd' + (cls ? ' class="' + cls + '"' : '') +
        '>' + money(toNumber(v)) + '</dd>';
    };
    var html = '<section class="tolmi-receipt panel" aria-labelledby="tolmi-receipt-head">' +
      '<h2 id="tolmi-receipt-head">Your order</h2>' +
      '<table class="tolmi-lines"><thead><tr><th scope="col">Item</th><th scope="col">Total</th></tr></thead><tbody>' + rows + '</tbody></table>' +
      '<dl class="totals">' + amount('Goods', r.subtotal) +
      (r.method ? amount('Delivery: ' + escapeHtml(r.method), r.freight) : '') +
      (toNumber(r.freightTax) ? amount('Tax on delivery', r.freightTax) : '') +
      (toNumber(r.tax) ? amount('Tax', r.tax) : '') + amount('Total', r.total, 'sum') + '</dl>' +
      (r.address ? '<h3>Delivery address</h3><address>' + escapeHtml(r.address) + '</address>' : '') +
      (r.email ? '<p>We will write to ' + escapeHtml(r.email) + '.</p>' : '') + '</section>';
    var slot = conf.querySelector('#tolmi-receipt');
    if (slot) slot.innerHTML = html;
    else conf.insertAdjacentHTML('beforeend', html);
  }

  // "Shopping cart always on screen": register.html records the store's
  // choice, and every page then shows a small cart link with the total.
  function setMode(mode) {
    if (mode === '0' || mode === '1') saveRaw('tolmi_mode', mode);
  }

  // Every store page hands over the store's currency and cart mode (the frame text of its
  // head), so that the unfilled cart page shows the right currency from the first visit.
  function setStore(currencyText, mode) {
    setCurrency(currencyText);
    setMode(mode);
  }

  function onStorePage() {
    return !/(^|\/)(trolley|register|404)\.html$/.test(String(root.location && root.location.pathname || ''));
  }

  // A short note after a product was added, with a link to the cart.
  var toastTimer = null;
  function showAdded(name) {
    var doc = root.document;
    if (!doc || !doc.body || !onStorePage()) return;
    var box = byId('tolmi-added');
    if (!box) {
      box = doc.createElement('div');
      box.id = 'tolmi-added';
      box.setAttribute('role', 'status');
      doc.body.appendChild(box);
    }
    box.textContent = '';
    box.appendChild(doc.createTextNode(name + ' is in your cart. '));
    var a = doc.createElement('a');
    a.href = 'trolley.html';
    a.textContent = 'View cart';
    box.appendChild(a);
    box.hidden = false;
    if (toastTimer) root.clearTimeout(toastTimer);
    toastTimer = root.setTimeout(function () { box.hidden = true; }, 4000);
  }

  // The store page the shopper saw last, for the cart's "Continue shopping" link.
  function rememberPage() {
    if (!onStorePage() || !root.location || !/^https?:|^file:/.test(String(root.location.protocol))) return;
    var name = String(root.location.pathname || '').split('/').pop();
    if (/\.html?$/i.test(name) && name !== 'ftmp.htm') saveRaw('tolmi_last', name);
  }

  function continueLink() {
    var a = byId('tolmi-continue');
    var last = loadRaw('tolmi_last');
    // Only a plain page name of this store folder.
    if (a && last && /^[A-Za-z0-9._~%-]+\.html?$/.test(last)) a.setAttribute('href', last);
  }

  function showCartBadge() {
    var doc = root.document;
    if (!doc || !doc.body || loadRaw('tolmi_mode') !== '0' || byId('tolmi-badge') || !onStorePage()) return;
    // Inside the frame loader the cart has a frame of its own beside the page.
    if (root.top !== root.self) return;
    var a = doc.createElement('a');
    a.id = 'tolmi-badge';
    a.href = 'trolley.html';
    var draw = function () {
      var t = cartTotals(loadCart());
      a.textContent = 'Cart: ' + t.count + (t.count === 1 ? ' item, ' : ' items, ') + money(t.subtotal);
    };
    draw();
    listeners.push(draw);
    doc.body.appendChild(a);
  }

  // ---- forms and messages ----------------------------------------------

  // The form whose add button was pressed: its own handler then calls addItem, which reads the
  // quantity and checks the choices there.
  var activeForm = null;
  if (root.document && root.addEventListener) {
    root.document.addEventListener('submit', function (ev) {
      var f = ev.target;
      activeForm = f && f.name && /^form[0-9]+$/.test(f.name) ? f : null;
      if (activeForm) root.setTimeout(function () { activeForm = null; }, 0);
    }, true);
  }

  var idCounter = 0;
  function idOf(el) {
    if (!el.id) el.id = 'tolmi-f' + (++idCounter);
    return el.id;
  }

  // Shows a message under a field, tied to it for screen readers, and marks it invalid;
  // an empty message clears it.
  function fieldError(field, message) {
    if (!field) return;
    var doc = root.document;
    var errId = idOf(field) + '-err';
    var err = byId(errId);
    if (!err) {
      err = doc.createElement('span');
      err.id = errId;
      err.className = 'tolmi-err';
      var host = field.closest ? field.closest('label') : null;
      (host || field).insertAdjacentElement('afterend', err);
    }
    err.textContent = message || '';
    var described = (field.getAttribute('aria-describedby') || '').split(' ').filter(function (x) {
      return x && x !== errId;
    });
    if (message) {
      field.setAttribute('aria-invalid', 'true');
      described.push(errId);
      err.setAttribute('role', 'alert');
    } else {
      field.removeAttribute('aria-invalid');
    }
    if (described.length) field.setAttribute('aria-describedby', described.join(' '));
    else field.removeAttribute('aria-describedby');
    if (message && field.focus && field.tagName !== 'BUTTON') field.focus();
  }

  // The label text of a field (its option name, "Quantity", ...), without the error message.
  function labelOf(field) {
    var label = field.closest ? field.closest('label') : null;
    if (!label && field.id && root.document) label = root.document.querySelector('label[for="' + field.id + '"]');
    var span = label ? label.querySelector('span') : null;
    var text = (span ? span.textContent : label ? label.textContent : '') || '';
    return text.replace(/\*/g, '').replace(/\s+/g, ' ').trim();
  }

  // Checks an add form: every offered option chosen, a sane quantity. {ok, qty}.
  function checkAddForm(form) {
    var ok = true;
    var first = null;
    Array.prototype.forEach.call(form.querySelectorAll('select[name="OPTION1"], select[name="OPTION2"]'), function (sel) {
      if (sel.value === '' && sel.options.length) {
        fieldError(sel, 'Choose ' + (labelOf(sel) || 'an option').toLowerCase() + ' first.');
        ok = false;
        first = first || sel;
      } else {
        fieldError(sel, '');
      }
    });
    var qty = 1;
    var box = form.querySelector('input[name="qty"]');
    if (box) {
      var checked = checkQuantity(box.value);
      if (!checked.ok) {
        fieldError(box, checked.message);
        ok = false;
        first = first || box;
      } else {
        fieldError(box, '');
        qty = checked.qty;
      }
    }
    if (first && first.focus) first.focus();
    return { ok: ok, qty: qty };
  }

  // Product blocks of a page template and of an include in its text are numbered apart, so a
  // page can hold two forms of one name; the add scripts read "document.formN", which must
  // then name one form. The later ones get a name of their own (addItem reads the pressed form).
  function untangleForms() {
    var seen = {};
    Array.prototype.forEach.call(root.document.querySelectorAll('form[name^="form"]'), function (f, i) {
      // The script says what is wrong next to the field, in the store's words.
      f.noValidate = true;
      if (seen[f.name]) f.name = f.name + '-' + i;
      else seen[f.name] = true;
    });
  }

  // Options the shopper must choose start unchosen, so nobody buys the first size by accident.
  function askForOptions() {
    var doc = root.document;
    Array.prototype.forEach.call(doc.querySelectorAll('form[name^="form"] select[name="OPTION1"], form[name^="form"] select[name="OPTION2"]'), function (sel) {
      if (!sel.options.length || sel.querySelector('option[value=""]')) return;
      var none = doc.createElement('option');
      none.value = '';
      none.textContent = 'Choose...';
      sel.insertBefore(none, sel.firstChild);
      sel.value = '';
      sel.setAttribute('aria-required', 'true');
      sel.addEventListener('change', function () { if (sel.value !== '') fieldError(sel, ''); });
    });
  }

  // ---- the store's look on the cart and checkout pages -------------------

  var SHELL_KEY = 'tolmi_shell';

  // Store pages keep their header, menu, footer and colours, so the cart page (one fixed file)
  // and the order form show the store's own name, menu and style.
  function keepShell() {
    var doc = root.document;
    var header = byId('top');
    var menu = byId('menu');
    if (!header || !menu) return;
    var theme = byId('tolmi-theme');
    var foot = doc.querySelector('footer.foot');
    var brand = header.querySelector('.brand');
    try {
      saveRaw(SHELL_KEY, JSON.stringify({
        header: header.innerHTML, menu: menu.innerHTML, foot: foot ? foot.innerHTML : '',
        theme: theme ? theme.textContent : '', store: brand ? brand.textContent : ''
      }));
    } catch (e) { /* a full storage keeps the plain look */ }
  }

  // ownColours: the page takes the store pages' colours too (the order form has its own).
  function useShell(ownColours) {
    var raw = loadRaw(SHELL_KEY);
    if (!raw) return;
    var shell;
    try { shell = JSON.parse(raw); } catch (e) { return; }
    if (!shell || typeof shell !== 'object') return;
    var doc = root.document;
    var put = function (el, html) { if (el && typeof html === 'string' && html) el.innerHTML = html; };
    put(byId('top'), shell.header);
    put(byId('menu'), shell.menu);
    put(doc.querySelector('footer.foot'), shell.foot);
    // A header kept from the search results holds the search service's marker: no query here.
    Array.prototype.forEach.call(doc.querySelectorAll('#top input'), function (el) {
      if (/^<!--TOLMI_QUERY-->$/.test(el.value)) { el.value = ''; el.removeAttribute('value'); }
    });
    // The checkout has the style's own order-form colours; the cart takes the store pages'.
    var theme = byId('tolmi-theme');
    if (ownColours && theme && typeof shell.theme === 'string' && !/<\//.test(shell.theme)) theme.textContent = shell.theme;
    var current = doc.querySelectorAll('#menu .b');
    Array.prototype.forEach.call(current, function (el) { el.className = 'm'; });
    if (byId('tolmi-cart') && typeof shell.store === 'string' && shell.store.trim()) {
      doc.title = 'Your shopping cart - ' + shell.store.trim();
    }
  }

  function showCounts() {
    var doc = root.document;
    var boxes = doc.querySelectorAll('[data-tolmi-count]');
    if (!boxes.length) return;
    var draw = function () {
      var n = cartTotals(loadCart()).count;
      Array.prototype.forEach.call(boxes, function (b) {
        b.innerHTML = n ? n + '<span class="vh">' + (n === 1 ? ' item' : ' items') + '</span>' : '';
      });
    };
    draw();
    listeners.push(draw);
  }

  // The search words stay in the search field of the results page.
  function keepQuery() {
    var field = byId('search-q');
    var m = /[?&]q=([^&#]*)/.exec(String(root.location && root.location.search || ''));
    // The results page as built holds a marker the search service replaces.
    if (field && /^<!--TOLMI_QUERY-->$/.test(field.value)) field.value = '';
    if (field && m && !field.value) field.value = urlDecode(m[1]);
  }

  // On a category page, the list of what lies below leaves out what the product cards show,
  // and goes when nothing is left.
  function trimCategoryList() {
    var doc = root.document;
    // A page text with product cards of its own (an included summary) needs no second grid.
    var grid = doc.querySelector('main > .cards.grid');
    if (grid && doc.querySelector('main .body .card')) grid.hidden = true;
    var list = doc.querySelector('.catlist');
    if (!list) return;
    var shown = {};
    Array.prototype.forEach.call(doc.querySelectorAll('.cards:not([hidden]) .name a'), function (a) {
      shown[a.getAttribute('href') + '\n' + a.textContent.trim()] = true;
    });
    var left = 0;
    Array.prototype.forEach.call(list.querySelectorAll('tr'), function (tr) {
      var a = tr.querySelector('a');
      if (a && shown[a.getAttribute('href') + '\n' + a.textContent.trim()]) tr.hidden = true;
      else if (a) left++;
    });
    if (!left) list.className += ' done';
  }

  function absolute(href) {
    try { return new root.URL(href, root.location.href).href; } catch (e) { return href; }
  }

  // ISO code of the store's currency text, for search engines ("NZ$" is NZD, "€" EUR).
  function currencyCode(text) {
    var s = String(text || '').trim();
    if (/^[A-Z]{3}$/.test(s)) return s;
    var table = { '$': 'USD', 'US$': 'USD', 'NZ$': 'NZD', 'A$': 'AUD', 'AU$': 'AUD', 'C$': 'CAD', 'CA$': 'CAD',
      '\u20ac': 'EUR', '\u00a3': 'GBP', '\u00a5': 'JPY', 'CHF': 'CHF', 'kr': 'SEK', 'R': 'ZAR', '\u20b9': 'INR' };
    return table[s] || '';
  }

  // Product pages describe the product and the way to it for search engines (schema.org).
  function describeForSearchEngines() {
    var doc = root.document;
    var data = [];
    var crumbs = doc.querySelectorAll('.crumbs li');
    if (crumbs.length > 1) {
      data.push({ '@context': 'https://schema.org', '@type': 'BreadcrumbList',
        itemListElement: Array.prototype.map.call(crumbs, function (li, i) {
          var a = li.querySelector('a');
          return { '@type': 'ListItem', position: i + 1, name: li.textContent.trim(),
                   item: a ? absolute(a.getAttribute('href')) : String(root.location.href).split('#')[0] };
        }) });
    }
    if (doc.body.classList.contains('t-product')) {
      var h1 = doc.querySelector('main h1');
      var price = doc.querySelector('.product [data-price]');
      var sku = doc.querySelector('.product [data-sku]');
      var img = doc.querySelector('.product .shot img');
      var desc = doc.querySelector('meta[name="description"]');
      var product = { '@context': 'https://schema.org', '@type': 'Product', name: h1 ? h1.textContent.trim() : doc.title };
      if (img) product.image = absolute(img.getAttribute('src'));
      if (desc && desc.content) product.description = desc.content;
      if (sku && sku.textContent.trim()) product.sku = sku.textContent.trim();
      if (price) {
        var offer = { '@type': 'Offer', price: fixed2(parseCents(price.getAttribute('data-price'))),
          availability: 'https://schema.org/InStock', url: String(root.location.href).split('#')[0] };
        var code = currencyCode(currency());
        if (code) offer.priceCurrency = code;
        product.offers = offer;
      }
      data.push(product);
    }
    data.forEach(function (d) {
      var s = doc.createElement('script');
      s.type = 'application/ld+json';
      s.textContent = JSON.stringify(d).replace(/</g, '\\u003c');
      doc.head.appendChild(s);
    });
  }

  // The breadcrumbs: none on the home page itself; on other pages the section the menu marks
  // (the page's parent category) goes between the home page and this page.
  function completeCrumbs() {
    var doc = root.document;
    var nav = doc.querySelector('.crumbs');
    var home = nav && nav.querySelector('a');
    if (!home) return;
    var here = String(root.location.pathname || '').split('/').pop() || 'index.html';
    var homeHref = home.getAttribute('href') || '';
    if (homeHref.split('/').pop() === here) { nav.hidden = true; return; }
    var section = doc.querySelector('#menu td.b > a');
    var href = section ? section.getAttribute('href') || '' : '';
    var last = nav.querySelector('li[aria-current]');
    if (!section || !last || href === homeHref || href.split('/').pop() === here) return;
    var li = doc.createElement('li');
    var a = doc.createElement('a');
    a.href = href;
    a.textContent = section.textContent.trim();
    li.appendChild(a);
    last.parentNode.insertBefore(li, last);
  }

  // The cart page estimates the delivery once the shopper names a region: the freight table
  // comes from the order form (read in the background; nothing shows where that fails).
  function freightEstimate() {
    var doc = root.document;
    var cart = byId('tolmi-cart');
    if (!cart || !root.fetch || !root.DOMParser || root.top !== root.self) return;
    root.fetch('register.html').then(function (res) { return res.ok ? res.text() : ''; }).then(function (html) {
      var text = '';
      if (html) {
        var parsed = new root.DOMParser().parseFromString(html, 'text/html');
        var el = parsed.getElementById('tolmi-freight');
        text = el ? el.textContent : '';
      }
      var methods = parseFreight(text);
      var regions = regionsOf(methods);
      if (!regions.length) return;
      var box = doc.createElement('section');
      box.className = 'panel tolmi-estimate';
      box.setAttribute('aria-labelledby', 'tolmi-estimate-head');
      box.innerHTML = '<h2 id="tolmi-estimate-head">Estimate delivery</h2><div class="choose">' +
        '<label for="tolmi-est-region">Region<select id="tolmi-est-region"><option value="">Choose your region</option>' +
        regions.map(function (r) { return '<option value="' + escapeHtml(r) + '">' + escapeHtml(r) + '</option>'; }).join('') +
        '</select></label></div><p id="tolmi-est-result" aria-live="polite"></p>';
      cart.parentNode.insertBefore(box, cart.nextSibling);
      var sel = byId('tolmi-est-region');
      var out = byId('tolmi-est-result');
      var draw = function () {
        var region = sel.value;
        if (!region) { out.textContent = ''; return; }
        saveRaw('tolmi_region', region);
        var lines = loadCart();
        var offers = methodsFor(methods, region).map(function (idx) {
          var r = computeTotals(methods, region, idx, lines, {});
          return r.ok ? methods[idx].name + ': ' + money(r.freight + r.freightTax) + ' (total ' + money(r.total) + ')' : '';
        }).filter(function (s) { return s; });
        out.textContent = offers.length ? 'Delivery to ' + region + ': ' + offers.join('; ') + '.'
                                        : 'Ask us about delivery to ' + region + '.';
      };
      var kept = loadRaw('tolmi_region');
      if (kept && regions.indexOf(kept) >= 0) sel.value = kept;
      sel.addEventListener('change', draw);
      listeners.push(draw);
      draw();
    }).catch(function () { /* no estimate; the order form still works it out */ });
  }

  // The canonical link is written relative (the builder knows no address); search engines
  // and tools want it absolute.
  function absoluteCanonical() {
    var link = root.document.querySelector('link[rel="canonical"]');
    if (link && /^https?:/.test(String(root.location.protocol))) link.setAttribute('href', absolute(link.getAttribute('href') || ''));
  }

  function startPage() {
    var doc = root.document;
    if (root.top !== root.self) doc.documentElement.className += ' in-frame';
    var store = root.TOLMI_STORE;
    if (store && store.length === 2) setStore(store[0], store[1]);
    if (onStorePage()) {
      completeCrumbs();
      absoluteCanonical();
      untangleForms();
      keepShell();
      askForOptions();
      keepQuery();
      trimCategoryList();
      try { describeForSearchEngines(); } catch (e) { /* the page works without it */ }
    } else {
      useShell(!byId('tolmi-order'));
    }
    rememberPage();
    continueLink();
    showCounts();
    showCartBadge();
    if (byId('tolmi-cart')) {
      renderCart('tolmi-cart');
      freightEstimate();
    }
    if (byId('tolmi-order') && root.TOLMI_ORDER) {
      var cfg = root.TOLMI_ORDER;
      if (cfg.currency && !/^\$[A-Z]/.test(cfg.currency)) root.TOLMI_CURRENCY = cfg.currency;
      setCurrency(root.TOLMI_CURRENCY);
      setMode(cfg.mode);
      initOrderForm({});
    }
    // The cart and the checkout wait hidden for this moment (store.css).
    doc.documentElement.className += ' tolmi-ready';
  }

  if (root.document && root.addEventListener) {
    if (root.document.readyState === 'loading') root.addEventListener('DOMContentLoaded', startPage);
    else startPage();
  }

  var api = {
    setMode: setMode, setStore: setStore, checkQuantity: checkQuantity, currencyCode: currencyCode,
    urlDecode: urlDecode, toNumber: toNumber, cents: cents, fixed2: fixed2, fixedN: fixedN,
    parseScaled: parseScaled, parseCents: parseCents, mulDivRound: mulDivRound,
    parseFreight: parseFreight, regionsOf: regionsOf, methodsFor: methodsFor,
    computeTotals: computeTotals, ruleCharge: ruleCharge,
    addItem: addItem, removeItem: removeItem, removeLine: removeLine, setQuantity: setQuantity,
    clearCart: clearCart, loadCart: loadCart, cartTotals: cartTotals, itemValue: itemValue,
    currency: currency, setCurrency: setCurrency, money: money, restoreQuotes: restoreQuotes,
    renderCart: renderCart, initOrderForm: initOrderForm,
    onChange: function (fn) { listeners.push(fn); }
  };
  root.TolmiCart = api;
  root.addItem = addItem;
  root.removeItem = removeItem;
  if (typeof module !== 'undefined' && module.exports) module.exports = api;
})(typeof window !== 'undefined' ? window : globalThis);
