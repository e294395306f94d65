/* Tolmi cart script: the shopping cart of a built store, the freight and tax
   evaluator of the order form, and the order form's sending and confirmation.
   Store pages call addItem(...) and removeItem(code); trolley.html and
   register.html call TolmiCart.renderCart / TolmiCart.initOrderForm. */
(function (root) {
  'use strict';

  var CART_KEY = 'tolmi_cart';
  var CURRENCY_KEY = 'tolmi_currency';
  var MAX_QTY = 1000000;
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

  function fixed2(centsValue) {
    var neg = centsValue < 0;
    var v = Math.abs(centsValue);
    var whole = Math.floor(v / 100);
    var frac = v % 100;
    return (neg ? '-' : '') + whole + '.' + (frac < 10 ? '0' : '') + frac;
  }

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
        bands.push({ limit: parseFloat(m[2]), amount: toNumber(m[1]) });
        continue;
      }
      m = PER_UNIT_RE.exec(items[i]);
      if (m) {
        perUnit = { base: toNumber(m[1]), rate: toNumber(m[2]) };
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
    if (i < items.length && (m = TAX_RE.exec(items[i]))) { group.tax = parseFloat(m[1]); i++; }
    if (i < items.length && (m = FTAX_RE.exec(items[i]))) { group.freightTax = parseFloat(m[1]); i++; }
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

  // Charge of the weight bands for an order weight: the first band whose limit
  // holds the weight; above 10 units the per-unit band adds its rate for every
  // started unit; past the last band without one the last band's charge holds.
  function bandCharge(group, weight) {
    for (var i = 0; i < group.bands.length; i++) {
      if (weight <= group.bands[i].limit + 1e-9) return group.bands[i].amount;
    }
    if (group.perUnit && weight > 10) {
      var units = Math.ceil(weight - 10 - 1e-9);
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
     Returns null for a rule this script cannot read. */
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
      if ((m = /^free\s*(?:>=|over|from)\s*([0-9]*\.?[0-9]+)$/.exec(t))) { freeFrom = parseFloat(m[1]); continue; }
      if ((m = /^([0-9]*\.?[0-9]+)\s*\/\s*item$/.exec(t))) { charge += parseFloat(m[1]) * units; continue; }
      if ((m = /^([0-9]*\.?[0-9]+)\s*\/\s*k$/.exec(t))) { charge += parseFloat(m[1]) * weight; continue; }
      if (/^[0-9]*\.?[0-9]+$/.test(t)) { charge += parseFloat(t); continue; }
      if (BAND_RE.test(t) || PER_UNIT_RE.test(t)) { bandItems.push(t); continue; }
      return null;
    }
    if (bandItems.length) {
      var parsed = parseBands(bandItems);
      charge += bandCharge(parsed, weight);
    }
    if (freeFrom !== null && subtotal >= freeFrom - 1e-9) return 0;
    return charge;
  }

  /* Freight and tax of a cart for a region and method.
     lines: [{qty, price, weight, freight, tax}], numbers per unit.
     options.taxMode: "region" (the region's rate on all goods) or "product"
     (each item's own rate, in regions that are taxed); by default product
     based when any line carries its own rate.
     Returns amounts in cents, or {ok:false, reason} when the region or
     method cannot be served. */
  function computeTotals(methods, region, methodIndex, lines, options) {
    options = options || {};
    var subtotal = 0, weight = 0, units = 0, itemFreight = 0, productTax = 0;
    var anyRate = false;
    (lines || []).forEach(function (l) {
      var qty = Math.max(0, Math.floor(toNumber(l.qty)));
      var lineTotal = cents(toNumber(l.price)) * qty;
      subtotal += lineTotal;
      units += qty;
      weight += toNumber(l.weight) * qty;
      itemFreight += cents(toNumber(l.freight)) * qty;
      var rate = toNumber(l.tax);
      if (rate !== 0) anyRate = true;
      productTax += lineTotal * rate / 100;
    });
    var result = { ok: false, reason: '', subtotal: subtotal, weight: weight, freight: 0,
                   freightTax: 0, tax: 0, total: subtotal };
    var method = methods[methodIndex];
    if (!method) { result.reason = 'method'; return result; }
    var group = findGroup(method, region);
    if (!group) { result.reason = 'region'; return result; }
    var charge = group.rule !== null ? ruleCharge(group.rule, weight, units, subtotal / 100)
                                     : bandCharge(group, weight);
    if (charge === null) { result.reason = 'rule'; return result; }
    var freight = cents(charge) + itemFreight;
    var freightTax = group.freightTax !== null ? cents(freight * group.freightTax / 100 / 100) : 0;
    var tax = 0;
    if (group.tax !== null) {
      var mode = options.taxMode || (anyRate ? 'product' : 'region');
      tax = mode === 'product' ? cents(productTax / 100) : cents(subtotal * group.tax / 100 / 100);
    }
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
        l.qty = Math.min(MAX_QTY, l.qty + line.qty);
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

  // Sets a line's quantity; 0 or less removes it, text that is no number
  // leaves it alone.
  function setQuantity(index, qty) {
    var lines = loadCart();
    if (index < 0 || index >= lines.length) return;
    var n = Math.floor(Number(qty));
    if (!isFinite(n)) return;
    if (n <= 0) lines.splice(index, 1);
    else lines[index].qty = Math.min(MAX_QTY, n);
    saveCart(lines);
    notify();
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
    lines.forEach(function (l) { subtotal += cents(toNumber(l.price)) * l.qty; count += l.qty; });
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
      html += '<tr data-line="' + i + '"><td data-label="Product">' + name +
        (l.code ? ' <span class="tolmi-code">(' + escapeHtml(l.code) + ')</span>' : '') +
        (opts ? '<br><span class="tolmi-opts">' + escapeHtml(opts) + '</span>' : '') + '</td>' +
        '<td data-label="Price" class="tolmi-price">' + money(cents(toNumber(l.price))) + '</td>' +
        '<td data-label="Quantity"><input class="tolmi-qty" type="number" min="0" max="' + MAX_QTY +
        '" inputmode="numeric" aria-label="Quantity of ' + escapeHtml(l.name) + '" value="' + l.qty + '" data-line="' + i + '"></td>' +
        '<td data-label="Total" class="tolmi-linetotal">' + money(cents(toNumber(l.price)) * l.qty) + '</td>' +
        '<td><button type="button" class="tolmi-remove" data-line="' + i + '">Remove</button></td></tr>';
    });
    var t = cartTotals(lines);
    html += '</tbody><tfoot><tr><th scope="row" colspan="3">Goods total</th><td class="tolmi-subtotal" colspan="2">' +
      money(t.subtotal) + '</td></tr></tfoot></table>';
    box.innerHTML = html;
    var inputs = box.querySelectorAll('.tolmi-qty');
    Array.prototype.forEach.call(inputs, function (inp) {
      inp.addEventListener('change', function () {
        setQuantity(Number(inp.getAttribute('data-line')), inp.value);
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
    return [l.qty, clean(l.name), clean(l.code), fixed2(cents(toNumber(l.price))),
            clean(toNumber(l.weight)), '', '', '', clean(toNumber(l.tax)), fixed2(taxCents),
            fixed2(cents(toNumber(l.freight)) * l.qty), '', clean(l.option1), clean(l.option2)].join('\t');
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
      }
      if (form) form.hidden = true;
      return;
    }
    if (!form) return;
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
      if (regions.length === 1) regionSel.value = regions[0];
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
      if (!current || !current.ok) {
        ev.preventDefault();
        say(current && current.reason === 'rule'
          ? 'The delivery charge for this region cannot be worked out here. Please contact us.'
          : 'Please choose your region and a delivery method.');
        return;
      }
      if (form.checkValidity && !form.checkValidity()) {
        ev.preventDefault();
        if (form.reportValidity) form.reportValidity();
        return;
      }
      var taxMode = config.taxMode || (lines.some(function (l) { return toNumber(l.tax) !== 0; }) ? 'product' : 'region');
      var method = methods.length && methodSel ? methods[Number(methodSel.value)] : null;
      var group = (method && findGroup(method, regionSel ? regionSel.value : '')) || { tax: null };
      lines.forEach(function (l) {
        var lineCents = cents(toNumber(l.price)) * l.qty;
        var rate = group.tax === null ? 0 : (taxMode === 'product' ? toNumber(l.tax) : group.tax);
        hidden(form, 'tolmi_item', itemValue(l, cents(lineCents * rate / 100 / 100)));
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
      say('Sending your order...');
      sending = true;
      // Turned off after the browser has taken the form's values: a disabled button now would
      // not stop this submission, only the next one.
      if (send) root.setTimeout(function () { send.disabled = true; }, 0);
    });
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
    return !/(^|\/)(trolley|register)\.html$/.test(String(root.location && root.location.pathname || ''));
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
      box.setAttribute('style', 'position:fixed;left:50%;transform:translateX(-50%);bottom:4.5rem;z-index:51;' +
        'max-width:calc(100vw - 1.5rem);padding:.6rem 1rem;border-radius:10px;background:#123;color:#fff;' +
        'font:.95rem system-ui,sans-serif;box-shadow:0 2px 8px rgba(0,0,0,.3)');
      doc.body.appendChild(box);
    }
    box.textContent = '';
    box.appendChild(doc.createTextNode(name + ' is in your cart. '));
    var a = doc.createElement('a');
    a.href = 'trolley.html';
    a.textContent = 'View cart';
    a.setAttribute('style', 'color:#fff;font-weight:600');
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
    a.setAttribute('style', 'position:fixed;right:.75rem;bottom:.75rem;z-index:50;padding:.6rem .9rem;' +
      'border-radius:999px;background:#123;color:#fff;font:600 .95rem system-ui,sans-serif;text-decoration:none;' +
      'box-shadow:0 2px 8px rgba(0,0,0,.3)');
    var draw = function () {
      var t = cartTotals(loadCart());
      a.textContent = 'Cart: ' + t.count + (t.count === 1 ? ' item, ' : ' items, ') + money(t.subtotal);
    };
    draw();
    listeners.push(draw);
    doc.body.appendChild(a);
  }

  if (root.document && root.addEventListener) {
    root.addEventListener('DOMContentLoaded', function () {
      rememberPage();
      continueLink();
      showCartBadge();
    });
  }

  var api = {
    setMode: setMode, setStore: setStore,
    urlDecode: urlDecode, toNumber: toNumber, cents: cents, fixed2: fixed2,
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
