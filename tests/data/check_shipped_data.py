#!/usr/bin/env python3
"""Checks the installation data in data/: style lists, settings files, templates, pictures,
reference lists, invoice templates and the sample store.

Run: python3 tests/data/check_shipped_data.py [DATA_DIR]   (default: the data/ folder of this checkout)
Each check function returns a list of problems (empty when the data is sound), so the same
functions serve the tests on the shipped data and the tests on deliberately broken copies.
"""
import html.parser
import os
import re
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.abspath(os.path.join(HERE, "..", "..", "data"))

TEMPLATES = ["category.htm", "product.htm", "shelf.htm", "list.htm", "page.htm", "order.htm", "confirm.htm",
             "search.htm"]

# The numbered style variables: number -> (name, label).
NUMBERED = {
    0: ("%S_BGCOLOR%", "Background Color:"), 1: ("%S_LINKCOLOR%", "Link Color:"),
    2: ("%S_VLINKCOLOR%", "Visited Link Color:"), 3: ("%S_ALINKCOLOR%", "Active Link Color:"),
    4: ("%BGCOLOR%", "Background Color:"), 5: ("%TEXTCOLOR%", "Text Color:"),
    6: ("%LINKCOLOR%", "Link Color:"), 7: ("%VLINKCOLOR%", "Visited Link Color:"),
    8: ("%ALINKCOLOR%", "Active Link Color:"), 9: ("%MENUCOLOR%", "List Color:"),
    10: ("%HEADING%", "Heading:"), 11: ("%S_HEADING2%", "Shopping List Heading:"),
    12: ("%S_HEADING3%", "Checkout Heading:"), 13: ("%O_BGCOLOR%", "Background Color:"),
    14: ("%O_TEXTCOLOR%", "Text Color:"), 15: ("%O_LINKCOLOR%", "Link Color:"),
    16: ("%O_VLINKCOLOR%", "Visited Link Color:"), 17: ("%O_ALINKCOLOR%", "Active Link Color:"),
    18: ("%S_LISTCOLOR%", "List Color:"), 19: ("%S_FRAMECOLOR%", "Frame Color:"),
    20: ("%O_FORMCOLOR%", "Form Color:"), 21: ("%O_HEADINGCOLOR%", "Heading Background Color:"),
    22: ("%O_HEADINGTEXTCOLOR%", "Heading Text Color:"), 23: ("%S_TEXTCOLOR%", "Text Color:"),
    24: ("%BULLET_F%", "Bullet - Category:"), 25: ("%BULLET_G%", "Bullet - Product"),
    26: ("%BULLET_O%", "Bullet - Current Item"), 27: ("%BULLET_A%", "Bullet - Back"),
    28: ("%BUTTON_ADD%", "Buton - Add:"), 29: ("%BUTTON_BACK%", "Button - Back:"),
    30: ("%BUTTON_REMOVE%", "Button - Remove:"),
}
EXTRA = {"%S_CELLCOLOR%": "Cell Color", "%S_CELLBORDER%": "Border Color",
         "%S_BORDER%": "Outside Border Width", "%S_BORDER2%": "Inside Border Width",
         "%S_HEADINGCOLOR%": "Heading Color", "%S_BACKGROUND%": "Background Image"}
PICTURE_SLOTS = ["%BULLET_F%", "%BULLET_G%", "%BULLET_O%", "%BULLET_A%", "%BUTTON_ADD%",
                 "%BUTTON_BACK%", "%BUTTON_REMOVE%"]

GLOBAL_VARS = {"$CURRENCY", "$CURRENCY2", "$POSTCODE", "$USER", "$VERSION", "$_VERSION", "$STORETITLE"}
FILL_VARS = GLOBAL_VARS | {
    "$PAGETITLE", "$BODY", "$DESCRIPTION", "$KEYWORDS", "$MODE", "$UPDATED", "$META_TITLE",
    "$META_DESCRIPTION", "$META_KEYWORDS", "$HOMELINK", "$HOMETITLE", "$FILENAME", "$BUTTON_ADD",
    "$BUTTON_REMOVE", "$BUTTON_BACK", "$BULLET_A", "$BULLET_O", "$BULLET_F", "$BULLET_G", "$ADD",
    "$BUY", "$REMOVE", "$ADD2", "$BUY2", "$REMOVE2", "$_ADD", "$COST", "$CODE", "$FREIGHT",
    "$WEIGHT", "$TAX", "$PRICE", "$TOLMI_SERVER", "$IMAGE", "$LINK", "$SEARCHID", "$SEARCHURL",
    "$TITLE", "$_PRODUCT", "$FRAME", "$OPTIONNAME1", "$OPTIONNAME2", "$OPTION1", "$OPTION2", "$FNC"}
FILL_VARS |= {f"${p}{i}" for p in ("F", "FIELD", "LABEL") for i in range(1, 7)}
PAGE_VARS = FILL_VARS | {"$INDEX", "$SUBINDEX", "$BACK", "$PRODUCT", "$PRODUCTS", "$PRODUCT2",
                         "$PRODUCTS2", "$URL"}
SEARCH_VARS = FILL_VARS | {"$INDEX", "$SUBINDEX"}
ORDER_VARS = GLOBAL_VARS | {"$MESSAGE", "$ACCEPTED_CARDS"}
CONFIRM_VARS = GLOBAL_VARS | {"$CONFIRM"}
INVOICE_VARS = {"$TITLE", "$COMPANY", "$STREET", "$CITY", "$STATE", "$ZIP", "$COUNTRY", "$EMAIL",
                "$WEBSITE", "$CURRENCY", "$CURRENCY2", "$TOTAL", "$DATE", "$DCC"}
INVOICE_VARS |= {f"$FIELD{i}" for i in range(1, 6)}
# Variables a fill replaces only a few times ("up to four"); a template must not use them more often.
UP_TO_FOUR = ["$TITLE", "$FILENAME", "$PAGETITLE", "$DESCRIPTION", "$KEYWORDS", "$META_TITLE",
              "$META_DESCRIPTION", "$META_KEYWORDS", "$BUTTON_ADD", "$BUTTON_BACK", "$BUTTON_REMOVE"]

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
BLOCK_TAGS = re.compile(r"</?(SHELF|USER|SEARCH|LOOP|PRODUCT\d)>", re.I)
DOLLAR_WORD = re.compile(r"\$[A-Za-z_][A-Za-z_0-9]*")
PERCENT_WORD = re.compile(r"%[A-Za-z_][A-Za-z_0-9]*%")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def lines_of(path):
    """The lines of a text file as the program's line reader sees them (trailing blanks cut)."""
    return [line.rstrip(" \r\n") for line in read(path).split("\n")]


def fs_path(data, path):
    """A path as written in the data files (either separator), relative to the data folder."""
    return os.path.join(data, *re.split(r"[\\/]", path))


# --- style lists and settings files -------------------------------------------------------------

def parse_scheme_list(path):
    """Reads a "scheme.dat" the way the program does: (group, name, preview, folder, kind)."""
    schemes, group = [], ""
    for line in lines_of(path):
        if line.startswith("STYLE="):
            group = line[6:]
        elif line.startswith("SCHEMA="):
            schemes.append({"group": group, "name": line[7:], "preview": "", "folder": "", "kind": 0})
        elif schemes and line.startswith("PREVIEW="):
            schemes[-1]["preview"] = line[8:]
        elif schemes and line.startswith("DEF="):
            schemes[-1]["folder"] = line[4:]
        elif schemes and line.startswith("TYP="):
            schemes[-1]["kind"] = int(re.match(r"-?\d*", line[4:]).group() or 0)
    return schemes


def parse_settings(path):
    """Reads a settings file: (variables, colour text, scheme files)."""
    variables, clr, files = [], None, []
    for line in lines_of(path):
        if line.startswith("%"):
            parts = line.split(",", 4)
            if len(parts) < 5:
                variables.append({"name": parts[0].strip(), "broken": line})
                continue
            variables.append({"name": parts[0].strip(), "type": int(parts[1]), "number": int(parts[2]),
                              "label": parts[3].strip(), "value": parts[4].lstrip()})
        elif line.startswith("CLR="):
            clr = line[4:]
        elif line.startswith("F="):
            files.append(line[2:])
    return variables, clr, files


def check_styles(data):
    problems = []
    schemes = parse_scheme_list(os.path.join(data, "scheme.dat"))
    groups = {s["group"] for s in schemes}
    if len(schemes) < 3 or len(groups) < 2:
        problems.append(f"scheme.dat: {len(schemes)} styles in {len(groups)} groups; want 3 in 2")
    seen = set()
    for s in schemes:
        where = f"style {s['group']}/{s['name']}"
        if (s["group"], s["name"]) in seen:
            problems.append(f"{where}: listed twice")
        seen.add((s["group"], s["name"]))
        if s["kind"] != 0 or not s["folder"]:
            problems.append(f"{where}: installed styles need TYP=0 and a DEF= folder")
            continue
        folder = os.path.join(data, "template", s["folder"])
        if s["preview"] and not os.path.isfile(fs_path(data, s["preview"])):
            problems.append(f"{where}: preview picture {s['preview']} missing")
        for t in TEMPLATES:
            if not os.path.isfile(os.path.join(folder, t)):
                problems.append(f"{where}: template {t} missing")
        ini = os.path.join(folder, s["name"] + ".ini")
        if not os.path.isfile(ini):
            problems.append(f"{where}: settings file {s['folder']}/{s['name']}.ini missing (style unavailable)")
            continue
        problems += check_settings(data, ini, where)
    return problems


# Text and link colours read on these backgrounds; each pair must reach a 4.5:1 contrast.
CONTRAST_PAIRS = [("%TEXTCOLOR%", "%BGCOLOR%"), ("%LINKCOLOR%", "%BGCOLOR%"), ("%VLINKCOLOR%", "%BGCOLOR%"),
                  ("%ALINKCOLOR%", "%BGCOLOR%"), ("%LINKCOLOR%", "%MENUCOLOR%"), ("%TEXTCOLOR%", "%S_CELLCOLOR%"),
                  ("%LINKCOLOR%", "%S_CELLCOLOR%"), ("%S_TEXTCOLOR%", "%S_BGCOLOR%"), ("%S_LINKCOLOR%", "%S_BGCOLOR%"),
                  ("%O_TEXTCOLOR%", "%O_BGCOLOR%"), ("%O_TEXTCOLOR%", "%O_FORMCOLOR%"),
                  ("%O_LINKCOLOR%", "%O_BGCOLOR%"), ("%O_HEADINGTEXTCOLOR%", "%O_HEADINGCOLOR%")]


def contrast(a, b):
    """The contrast ratio of two "#RRGGBB" colours (1 to 21)."""
    def luminance(c):
        def channel(v):
            v /= 255
            return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
        r, g, b = (int(c[i:i + 2], 16) for i in (1, 3, 5))
        return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)
    hi, lo = sorted((luminance(a), luminance(b)), reverse=True)
    return (hi + 0.05) / (lo + 0.05)


def check_settings(data, ini, where):
    problems = []
    variables, clr, files = parse_settings(ini)
    by_name = {}
    for v in variables:
        if "broken" in v:
            problems.append(f"{where}: incomplete variable line '{v['broken']}'")
            continue
        if v["name"] in by_name:
            problems.append(f"{where}: variable {v['name']} given twice")
        by_name[v["name"]] = v
        if '"' in v["value"] or "'" in v["value"]:
            problems.append(f"{where}: {v['name']} has a quote in its value (breaks the order form)")
        if v["type"] == 1 and not re.fullmatch(r"#[0-9A-F]{6}|[A-Za-z]+", v["value"]):
            problems.append(f"{where}: {v['name']} is not a colour: '{v['value']}'")
    for n, (name, label) in NUMBERED.items():
        v = by_name.get(name)
        if v is None:
            problems.append(f"{where}: variable {name} missing")
        elif v["label"] != label or v["number"] != n:
            problems.append(f"{where}: {name} has label '{v['label']}' number {v['number']}")
    for name, label in EXTRA.items():
        if name not in by_name:
            problems.append(f"{where}: variable {name} missing")
        elif by_name[name]["label"] != label:
            problems.append(f"{where}: {name} has label '{by_name[name]['label']}'")
    if clr is None or not re.fullmatch(r"[0-9A-F]{128}", clr):
        problems.append(f"{where}: CLR= must hold 128 upper-case hexadecimal digits")
    for fore, back in CONTRAST_PAIRS:
        a, b = by_name.get(fore, {}).get("value", ""), by_name.get(back, {}).get("value", "")
        if re.fullmatch(r"#[0-9A-F]{6}", a) and re.fullmatch(r"#[0-9A-F]{6}", b):
            ratio = contrast(a, b)
            if ratio < 4.5:
                problems.append(f"{where}: {fore} on {back} has contrast {ratio:.2f}, want 4.5")
    copied = {}
    for f in files:
        if not os.path.isfile(fs_path(data, f)):
            problems.append(f"{where}: scheme file {f} missing")
        base = re.split(r"[\\/]", f)[-1]
        if base != base.lower():
            problems.append(f"{where}: scheme file {f} is not lower case (the build lower-cases copies)")
        copied[base] = f
    # Every store of the style gets its style sheet, icon, not-found page and web fonts, and each
    # font travels with its licence.
    for needed in ("store.css", "favicon.svg", "404.html"):
        if needed not in copied:
            problems.append(f"{where}: no scheme file {needed}")
    fonts = [b for b in copied if b.endswith(".woff2")]
    if not fonts:
        problems.append(f"{where}: no web font among the scheme files")
    for font in fonts:
        family = re.sub(r"-italic$", "", font[:-len(".woff2")])
        if family + "-ofl.txt" not in copied:
            problems.append(f"{where}: font {font} is shipped without its licence {family}-ofl.txt")
    for slot in PICTURE_SLOTS + ["%S_BACKGROUND%"]:
        value = by_name.get(slot, {}).get("value", "")
        if value and value not in copied:
            # Templates write "$BUTTON_ADD", which loading turns into "%BUTTON_ADD%": the value
            # lands in the page as it stands, so it must be the name the build copies the file to.
            problems.append(f"{where}: picture {slot}={value} is not the plain name of a scheme file")
        elif not value and slot != "%S_BACKGROUND%":
            problems.append(f"{where}: picture slot {slot} is empty")
    return problems


# --- templates ----------------------------------------------------------------------------------

class TagBalance(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.images, self.controls, self.labels = [], [], [], [], set()
        self.label_depth = 0

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "img" and "alt" not in a:
            self.errors.append(f"<img src={a.get('src')}> without alt text")
        if tag in ("input", "select", "textarea") and a.get("type", "").lower() not in ("hidden", "submit"):
            self.controls.append((a.get("id"), self.label_depth > 0, a.get("name")))
        if tag == "label":
            self.label_depth += 1
            if a.get("for"):
                self.labels.add(a["for"])
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if tag == "label":
            self.label_depth -= 1
        if not self.stack or self.stack[-1][0] != tag:
            self.errors.append(f"line {self.getpos()[0]}: </{tag}> does not close "
                               f"<{self.stack[-1][0] if self.stack else 'nothing'}>")
            return
        self.stack.pop()


def markup_problems(text, fragment=False):
    text = BLOCK_TAGS.sub("", text)
    text = text.replace("$ACCEPTED_CARDS", '<select name="CardType"></select>')
    text = text.replace("$OPTION1", '<select name="OPTION1"></select>')
    text = text.replace("$OPTION2", '<select name="OPTION2"></select>')
    p = TagBalance()
    p.feed(text)
    p.close()
    problems = list(p.errors)
    # The end tags of body and html may be left out (product pages end open, so the add script
    # the builder appends lands inside the body).
    problems += [f"<{t}> opened on line {n} is never closed" for t, n in p.stack if t not in ("html", "body")]
    for ident, wrapped, name in p.controls:
        if not wrapped and ident not in p.labels:
            problems.append(f"form field {name} has no label")
    if not fragment:
        if '<html lang="' not in text:
            problems.append("page has no language")
        if 'name="viewport"' not in text:
            problems.append("page has no viewport (not responsive)")
    return problems


def unknown_words(text, allowed_dollar, allowed_percent):
    problems = []
    for w in sorted(set(DOLLAR_WORD.findall(text))):
        if w not in allowed_dollar and not re.fullmatch(r"\$(BODY|IMAGE|LINK)\d", w):
            problems.append(f"unknown variable {w}")
    for w in sorted(set(PERCENT_WORD.findall(text))):
        if w not in allowed_percent:
            problems.append(f"unknown style variable {w}")
    return problems


def block_counts(text):
    """Texts that are filled separately: each block body, and the rest."""
    parts = []
    for m in re.finditer(r"<(SHELF|PRODUCT\d)>(.*?)</\1>", text, re.S | re.I):
        parts.append(m.group(2))
    parts.append(re.sub(r"<(SHELF|PRODUCT\d)>.*?</\1>", "", text, flags=re.S | re.I))
    return parts


def check_template(name, text, style_vars):
    problems = []
    percent = set(style_vars) | {"%CategoryList%", "%CategoryList2%"}
    if name in ("order.htm", "confirm.htm"):
        problems += unknown_words(text, ORDER_VARS if name == "order.htm" else CONFIRM_VARS, style_vars)
        if name == "order.htm" and '<input type="hidden" name="tolmi_user" value="$USER">' not in text:
            problems.append("no tolmi_user field (the order server refuses orders without the account)")
        rest = PERCENT_WORD.sub("", text)
        if "%" in rest:
            problems.append("a literal percent sign (the order form text is unescaped in the browser)")
        if name == "confirm.htm" and "\n" in text:
            problems.append("line break in the confirmation (it is carried on one line)")
        problems += markup_problems(re.sub(r"<!--.*?-->", "", text, flags=re.S), fragment=True)
        return problems
    allowed = SEARCH_VARS if name == "search.htm" else PAGE_VARS
    problems += unknown_words(text, allowed, percent)
    if "%FILE=" in text.upper():
        problems.append("include in a style template (templates must stand alone)")
    if "<!--Version" not in text:
        problems.append("no <!--Version mark (old bullet names would be rewritten)")
    for part in block_counts(text):
        for var in UP_TO_FOUR:
            n = len(re.findall(re.escape(var) + r"(?![A-Z_0-9])", part))
            if n > 4:
                problems.append(f"{var} used {n} times; only four are filled")
    if name in ("product.htm", "shelf.htm", "list.htm") and "$ADD" in text:
        for part in block_counts(text)[:-1] if name != "product.htm" else [text]:
            if "$OPTION1" in part and 'name="form$FNC"' not in part:
                problems.append("options without a form named form$FNC (the add script reads it)")
    if name == "search.htm" and "<!--TOLMI_RESULTS-->" not in text:
        problems.append("no <!--TOLMI_RESULTS--> marker for the search service")
    if name in ("shelf.htm", "list.htm") and not re.search(r"<SHELF>.*</SHELF>", text, re.S):
        problems.append("no <SHELF>...</SHELF> block")
    problems += markup_problems(text)
    return problems


def check_templates(data):
    problems = []
    for s in parse_scheme_list(os.path.join(data, "scheme.dat")):
        folder = os.path.join(data, "template", s["folder"])
        ini = os.path.join(folder, s["name"] + ".ini")
        if not os.path.isfile(ini):
            continue
        style_vars = [v["name"] for v in parse_settings(ini)[0]]
        for t in TEMPLATES:
            path = os.path.join(folder, t)
            if os.path.isfile(path):
                problems += [f"{s['folder']}/{t}: {p}" for p in check_template(t, read(path), style_vars)]
    first = parse_scheme_list(os.path.join(data, "scheme.dat"))[0]
    first_vars = [v["name"] for v in parse_settings(os.path.join(data, "template", first["folder"], first["name"] + ".ini"))[0]]
    problems += [f"template/shelf.htm: {p}" for p in check_template("shelf.htm", read(os.path.join(data, "template", "shelf.htm")), first_vars)]
    return problems


def check_shared_fragments(data):
    problems = []
    loader = read(os.path.join(data, "template", "index.dat"))
    problems += [f"index.dat: {p}" for p in unknown_words(loader, {"$FILENAME", "$STORETITLE", "$MODE"}, set())]
    if loader.count("$STORETITLE") != 1:
        problems.append("index.dat: $STORETITLE is filled once only; it is used %d times" % loader.count("$STORETITLE"))
    if not 1 <= loader.count("$FILENAME") <= 5:
        problems.append("index.dat: $FILENAME is filled at most five times")
    problems += [f"index.dat: {p}" for p in markup_problems(loader)]
    frame = read(os.path.join(data, "template", "frame.dat"))
    problems += [f"frame.dat: {p}" for p in unknown_words(frame, FILL_VARS, set())]
    for n in ("summary2", "summary4", "summary6", "special"):
        text = read(os.path.join(data, "html", n + ".htm"))
        want = {"summary2": 2, "summary4": 4, "summary6": 6, "special": 1}[n]
        blocks = re.findall(r"<PRODUCT(\d)>.*?</PRODUCT\1>", text, re.S)
        if [int(b) for b in blocks] != list(range(1, want + 1)):
            problems.append(f"html/{n}.htm: product blocks {blocks}, want 1..{want}")
        problems += [f"html/{n}.htm: {p}" for p in unknown_words(text, FILL_VARS, set())]
        problems += [f"html/{n}.htm: {p}" for p in markup_problems(text, fragment=True)]
        if "$OPTION1" in text and 'name="form$FNC"' not in text:
            problems.append(f"html/{n}.htm: options without a form")
    return problems


# --- invoices -----------------------------------------------------------------------------------

def check_invoices(data):
    problems = []
    live = os.path.join(data, "template", "Invoices")
    factory = os.path.join(live, "default")
    names = sorted(f for f in os.listdir(factory) if f.endswith(".html"))
    if not {"Invoice.html", "Packing Slip.html"} <= set(names):
        problems.append(f"Invoices/default: {names}; want an invoice and a packing slip")
    for n in names:
        text = read(os.path.join(factory, n))
        if not os.path.isfile(os.path.join(live, n)) or read(os.path.join(live, n)) != text:
            problems.append(f"Invoices/{n}: the live template differs from its factory copy")
        problems += [f"Invoices/{n}: {p}" for p in check_invoice(text)]
    return problems


def check_invoice(text):
    problems = []
    if not re.search(r"<LOOP>.*</LOOP>", text, re.S | re.I):
        problems.append("no <LOOP>...</LOOP> block for the product lines")
    for w in sorted(set(DOLLAR_WORD.findall(text))):
        if w not in INVOICE_VARS:
            problems.append(f"unknown variable {w} (it would stay in the invoice)")
    for w in ("$COMPANY", "$STREET", "$CITY", "$STATE", "$ZIP", "$COUNTRY", "$EMAIL", "$WEBSITE"):
        if text.count(w) > 4:
            problems.append(f"{w} used {text.count(w)} times; only four are removed when unset")
    # Unfilled placeholders are removed from one percent sign to the next: a stray percent sign
    # would swallow everything up to the next placeholder.
    rest = PERCENT_WORD.sub("", text)
    if "%" in rest:
        i = rest.index("%")
        problems.append(f"literal percent sign near '{rest[max(0, i - 20):i + 20]}'")
    loop = re.search(r"<LOOP>(.*)</LOOP>", text, re.S | re.I)
    if loop:
        for p in ("%QTY%", "%ITEM%"):
            if loop.group(1).count(p) != 1:
                problems.append(f"the loop must name {p} once (only the first is filled)")
    problems += markup_problems(text)
    return problems


# --- reference lists ----------------------------------------------------------------------------

def check_reference_lists(data):
    problems, keys = [], set()
    for n, line in enumerate(lines_of(os.path.join(data, "domain.dat")), 1):
        if not line:
            continue
        m = re.fullmatch(r"([A-Z]{2}) ([^,\t]+),([A-Z]{3})", line)
        if not m:
            problems.append(f"domain.dat:{n}: '{line}' is not 'KEY Name,CUR'")
            continue
        if m.group(1) in keys:
            problems.append(f"domain.dat:{n}: key {m.group(1)} twice")
        keys.add(m.group(1))
    if len(keys) < 240:
        problems.append(f"domain.dat: only {len(keys)} regions")
    cards = [l for l in lines_of(os.path.join(data, "cc.dat")) if l.strip() and not l.startswith(";")]
    if len(cards) < 4 or len(set(cards)) != len(cards):
        problems.append(f"cc.dat: cards {cards}")
    settings = {}
    for line in lines_of(os.path.join(data, "settings.dat")):
        if "=" in line and not line.startswith(";"):
            k, v = line.split("=", 1)
            settings[k.upper()] = v
    for k in ("URL_HOME", "URL_SERVER", "URL_FAQ", "URL_MANUAL", "URL_SUBSCRIBE", "URL_HOSTING",
              "URL_SUPPORT", "URL_COOKIE"):
        if not re.fullmatch(r"https://www\.example\.com/\S*", settings.get(k, "")):
            problems.append(f"settings.dat: {k} missing or not an example address")
    return problems


# --- the sample store ---------------------------------------------------------------------------

def parse_project(path):
    """A small project-file reader: the node tree and the store lines it needs to check."""
    root = {"kind": None, "title": "", "f": {}, "children": [], "opts": {1: [], 2: []}}
    stack, current, store = [root], None, {"regions": {}, "cards": []}
    for line in lines_of(path):
        if line.startswith("#BRANCH"):
            if current is not None:
                stack.append(current)
                current = None
        elif line.startswith("#EOB"):
            if len(stack) == 1:
                break
            current = stack.pop()
        elif line.startswith("NODE"):
            current = {"kind": int(line[4]) if line[4].isdigit() else 0, "title": line.split("=", 1)[1],
                       "f": {}, "children": [], "opts": {1: [], 2: []}}
        elif current is not None and line.startswith("STATUS="):
            current["f"]["STATUS"] = line[7:]
            stack[-1]["children"].append(current)
        elif current is not None and line[:2] in ("&1", "&2") and "|" in line:
            current["opts"][int(line[1])].append(line[2:line.index("|")])
        elif line.startswith("$") and "," in line:
            head = line[1:line.index(",")]
            body = line.split("|")[0]
            body = body[:-1] if body.endswith(",") else body  # the comma before "|flag"
            fields = body.split(",")[1:]
            store["regions"].setdefault(head[:-1], {})[int(head[-1])] = (fields, line.rsplit("|", 1)[-1])
        elif line.startswith("CC="):
            store["cards"].append(line.split(":", 1)[1])
        elif current is not None and line.partition("=")[0] in NODE_KEYS:
            k, _, v = line.partition("=")
            current["f"][k] = v
        if line.partition("=")[0] in STORE_KEYS:
            store[line.partition("=")[0]] = line.partition("=")[2]
    return root["children"], store


NODE_KEYS = {"FILE", "IMAGE", "BODY", "CODE", "TEMP", "NN1", "NN2"}  # the keys the checks read
STORE_KEYS = {"VERSION", "LAYOUT", "TAXD"}


def walk(nodes, parent=None):
    for n in nodes:
        yield n, parent
        yield from walk(n["children"], n)


def check_sample(data):
    problems = []
    folder = os.path.join(data, "samples", "TeaShop")
    path = os.path.join(folder, "TeaShop.stp")
    text = read(path)
    if "\r" in text or not text.endswith("\n"):
        problems.append("TeaShop.stp: lines must end with a single line feed")
    nodes, store = parse_project(path)
    kinds = {}
    files = {}
    domain = {l.split(" ")[0] for l in lines_of(os.path.join(data, "domain.dat")) if " " in l}
    cards = {l for l in lines_of(os.path.join(data, "cc.dat")) if l and not l.startswith(";")}
    for n, parent in walk(nodes):
        f = n["f"]
        kinds[n["kind"]] = kinds.get(n["kind"], 0) + 1
        where = f"TeaShop.stp: {n['title']}"
        item_of_shelf = parent is not None and parent["kind"] in (2, 3)
        if n["kind"] != 5 and not f.get("FILE") and not item_of_shelf:
            problems.append(f"{where}: no FILE (the build reports a missing filename)")
        if f.get("FILE") and n["kind"] != 5 and not item_of_shelf:
            if f["FILE"] in files:
                problems.append(f"{where}: FILE {f['FILE']} also used by {files[f['FILE']]}")
            files[f["FILE"]] = n["title"]
        if n["kind"] == 1 and not f.get("CODE"):
            problems.append(f"{where}: product without a code")
        if f.get("IMAGE") and not os.path.isfile(fs_path(data, f["IMAGE"])):
            problems.append(f"{where}: picture {f['IMAGE']} missing (paths are relative to the home)")
        if f.get("TEMP") and not os.path.isfile(os.path.join(folder, "template", f["TEMP"])):
            problems.append(f"{where}: template {f['TEMP']} missing from the sample")
        for inc in re.findall(r"%FILE=([^%]*)%", f.get("BODY", ""), re.I):
            if not os.path.isfile(fs_path(data, inc)):
                problems.append(f"{where}: include {inc} missing")
        if bool(n["opts"][1]) != bool(f.get("NN1")) or bool(n["opts"][2]) != bool(f.get("NN2")):
            problems.append(f"{where}: option list without a name, or a name without options")
        if n["kind"] != 5 and f.get("FILE", "").find("//") >= 0:
            problems.append(f"{where}: a web address as FILE on a page")
    for kind, what in ((0, "categories"), (1, "products"), (2, "a shelf"), (3, "a list"), (4, "pages"), (5, "a link")):
        if not kinds.get(kind):
            problems.append(f"TeaShop.stp: the sample has no {what}")
    if not any(n["opts"][1] for n, _ in walk(nodes)) or not any(n["f"].get("IMAGE") for n, _ in walk(nodes)):
        problems.append("TeaShop.stp: no product with options and a picture")
    layout = store.get("LAYOUT", "")
    styles = {f"{s['group']}/{s['name']}" for s in parse_scheme_list(os.path.join(data, "scheme.dat"))}
    if layout not in styles:
        problems.append(f"TeaShop.stp: LAYOUT={layout} names no shipped style")
    else:
        folder_name = layout.split("/")[1].lower()
        for t in TEMPLATES:
            mine = os.path.join(folder, "template", t)
            if not os.path.isfile(mine) or read(mine) != read(os.path.join(data, "template", folder_name, t)):
                problems.append(f"TeaShop.stp: template {t} is not the {layout} style's")
    weight_tables = 0
    for key, tables in store["regions"].items():
        if key not in domain:
            problems.append(f"TeaShop.stp: freight region {key} is not in domain.dat")
        for i, (fields, flag) in tables.items():
            if len(fields) != 13:
                problems.append(f"TeaShop.stp: freight line {key}{i} has {len(fields)} fields, want 13")
            if flag == "1" and all(fields[:12]):
                weight_tables += 1
    if len(store["regions"]) < 2 or weight_tables < 2:
        problems.append("TeaShop.stp: want two freight regions with weight tables")
    if store.get("TAXD") != "1":
        problems.append("TeaShop.stp: tax is not enabled")
    if not store["cards"] or not set(store["cards"]) <= cards:
        problems.append(f"TeaShop.stp: accepted cards {store['cards']} not all in cc.dat")
    if int(store.get("VERSION", "0")) < 103001:
        problems.append("TeaShop.stp: an old VERSION would replace the sample's templates on opening")
    return problems


ALL_CHECKS = [check_styles, check_templates, check_shared_fragments, check_invoices,
              check_reference_lists, check_sample]


# --- tests --------------------------------------------------------------------------------------

class ShippedData(unittest.TestCase):
    def test_every_check_passes(self):
        for check in ALL_CHECKS:
            with self.subTest(check.__name__):
                self.assertEqual(check(DATA), [])

    def test_every_style_is_listed_and_contrast_is_exact(self):
        schemes = parse_scheme_list(os.path.join(DATA, "scheme.dat"))
        self.assertEqual([(s["group"], s["name"], s["folder"]) for s in schemes],
                         [("Modern", "Harbour", "harbour"), ("Modern", "Meadow", "meadow"),
                          ("Classic", "Parchment", "parchment"), ("Classic", "Slate", "slate")])
        self.assertAlmostEqual(contrast("#000000", "#FFFFFF"), 21.0)
        self.assertAlmostEqual(contrast("#777777", "#FFFFFF"), 4.48, places=2)


# Deliberately broken copies of the data: (files removed, edits (file, old, new), check, problems
# it must report; a problem ending in "*" is matched by its start).
BROKEN = [
    (["template/meadow/list.htm"],
     [("template/harbour/Harbour.ini", "%TEXTCOLOR%,1,5,Text Color:,#1B2A3A", "%TEXTCOLOR%,1,5,Text Color:,#1B2A3"),
      ("template/harbour/Harbour.ini", "%LINKCOLOR%,1,6,Link Color:,#0B5CAD", "%LINKCOLOR%,1,6,Link Color:,#8AB4F8"),
      ("template/slate/Slate.ini", "F=template/slate/source-sans-3-ofl.txt\n", "")], check_styles,
     ["style Modern/Meadow: template list.htm missing",
      "style Modern/Harbour: %LINKCOLOR% on %BGCOLOR% has contrast 2.11, want 4.5",
      "style Modern/Harbour: %TEXTCOLOR% is not a colour: '#1B2A3'",
      "style Classic/Slate: font source-sans-3.woff2 is shipped without its licence source-sans-3-ofl.txt"]),
    ([], [("template/parchment/product.htm", "$CURRENCY$PRICE", "$CURRENCY$PRICES"),
          ("template/slate/order.htm", '<label for="o-phone"><span>Phone</span>', "<span>Phone</span>")],
     check_templates,
     ["parchment/product.htm: unknown variable $PRICES", "slate/order.htm: form field Phone has no label"]),
    ([], [("template/Invoices/default/Invoice.html", "Thank you for your order.",
           "Thank you for your order. 10% off next time.")], check_invoices,
     ["Invoices/Invoice.html: the live template differs from its factory copy",
      "Invoices/Invoice.html: literal percent sign near *"]),
    ([], [("template/index.dat", "Enter the store", "Enter $STORETITLE")], check_shared_fragments,
     ["index.dat: $STORETITLE is filled once only; it is used 2 times"]),
    ([], [("domain.dat", "KR South Korea,KRW", "KR Korea, Republic of,KRW")], check_reference_lists,
     ["domain.dat:123: 'KR Korea, Republic of,KRW' is not 'KEY Name,CUR'"]),
    (["samples/TeaShop/images/kettle.svg"], [("samples/TeaShop/TeaShop.stp", "CODE=GT-103\n", "")], check_sample,
     ["TeaShop.stp: Cast Iron Kettle: picture samples/TeaShop/images/kettle.svg missing "
      "(paths are relative to the home)", "TeaShop.stp: Genmaicha: product without a code"]),
]


class BrokenCopies(unittest.TestCase):
    """The checks must catch the faults they exist for."""

    def test_each_fault_is_reported(self):
        for removed, edits, check, expected in BROKEN:
            with self.subTest(removed + [e[0] for e in edits]), tempfile.TemporaryDirectory() as tmp:
                data = os.path.join(tmp, "data")
                shutil.copytree(DATA, data)
                for rel in removed:
                    os.remove(fs_path(data, rel))
                for rel, old, new in edits:
                    text = read(fs_path(data, rel))
                    self.assertIn(old, text)
                    with open(fs_path(data, rel), "w", encoding="utf-8") as f:
                        f.write(text.replace(old, new, 1))
                problems = check(data)
                for want in expected:
                    self.assertTrue(any(p == want or want.endswith("*") and p.startswith(want[:-1])
                                        for p in problems), (want, problems))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        DATA = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
