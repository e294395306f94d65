#!/usr/bin/env python3
"""Writes a Hugo site shaped like the store of BuilderBench: one category per 100
products, five shelves of 20 products in each, a page per product. Every page has
navigation rows, a list of what is below it and product blocks, as the store's pages do.
The layouts are written as a Hugo user writes them: cached navigation partials, product
blocks taken from a section's own pages.

Usage: make_site.py SITE_DIR PRODUCTS
"""
import os
import sys

CONFIG = """baseURL = "/"
title = "Bench"
disableKinds = ["taxonomy", "term", "RSS", "sitemap", "robotsTXT", "404"]
"""

BASEOF = """<html><head><title>{{ .Title }} - {{ .Site.Title }}</title>
<meta name="description" content="{{ .Title }}"></head>
<body>
<table><tr><td valign=top>{{ block "nav" . }}{{ end }}</td><td valign=top>
<h1>{{ .Title }}</h1>
<p>{{ .Content }}</p>
{{ block "main" . }}{{ end }}
<p>Updated {{ .Lastmod.Format "01/02/06 15:04:05" }}</p>
</td></tr></table>
</body></html>
"""

# A navigation row, the form the store's index uses.
ROW = """<tr><td valign=top width=5%></td><td class={{ .cls }}><a href="{{ .page.RelPermalink }}">{{ .page.Title }}</a></td></tr>
"""

# Rows: the parent of the anchor, then the anchor's siblings (the current one marked).
# Called through partialCached keyed by the anchor and the marked page, as Hugo's users
# write navigation: each distinct menu is made once, not once per page.
NAV = """{{ $cur := .cur }}<table width=100%>{{ with .anchor.Parent }}{{ if not .IsHome }}{{ partial "row.html" (dict "page" . "cls" "m") }}{{ end }}{{ end }}
{{ range .anchor.Parent.Sections }}{{ partial "row.html" (dict "page" . "cls" (cond (eq . $cur) "b" "m")) }}{{ end }}</table>
"""

# A product line of a shelf, the same text the store's shelf block writes.
LINE = """<p>{{ .Title }} {{ .Params.price }} <a href="javascript:addItem('{{ .Params.code }}')">add</a> {{ .Params.code }}</p>
"""

# The product blocks show the first product of the first two sections (the store's
# <PRODUCT1> and <PRODUCT2>): an index into a section's own pages, no walk over the site.
LIST = """{{ define "nav" }}{{ if .IsHome }}{{ with index .Sections 0 }}{{ partialCached "nav.html" (dict "anchor" . "cur" .) .RelPermalink .RelPermalink }}{{ end }}{{ else if .Parent.IsHome }}{{ partialCached "nav.html" (dict "anchor" . "cur" .) .RelPermalink .RelPermalink }}{{ else }}{{ partialCached "nav.html" (dict "anchor" .Parent "cur" .Parent) .Parent.RelPermalink .Parent.RelPermalink }}{{ end }}{{ end }}
{{ define "main" }}<table>{{ range .Sections }}{{ partial "row.html" (dict "page" . "cls" "pl") }}{{ end }}{{ range .RegularPages }}{{ partial "row.html" (dict "page" . "cls" "pl") }}{{ end }}</table>
{{ range first 2 .Sections }}{{ with index .RegularPages 0 }}<div class=p><b>{{ .Title }}</b> {{ .Params.price }} <a href="javascript:addItem('{{ .Params.code }}')">Add</a></div>
{{ end }}{{ end }}{{ range .RegularPages }}{{ partial "line.html" . }}{{ end }}{{ end }}
"""

SINGLE = """{{ define "nav" }}{{ partialCached "nav.html" (dict "anchor" .Parent "cur" .Parent) .Parent.RelPermalink .Parent.RelPermalink }}{{ end }}
{{ define "main" }}{{ partial "line.html" . }}{{ end }}
"""


def price(serial):
    """The price of product `serial`, as bench/BuilderBench.cpp gives it."""
    return "%d.95" % (10 + serial % 90)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def main():
    site, products = sys.argv[1], int(sys.argv[2])
    write(os.path.join(site, "config.toml"), CONFIG)
    layouts = os.path.join(site, "layouts")
    write(os.path.join(layouts, "_default/baseof.html"), BASEOF)
    write(os.path.join(layouts, "_default/list.html"), LIST)
    write(os.path.join(layouts, "_default/single.html"), SINGLE)
    write(os.path.join(layouts, "partials/row.html"), ROW)
    write(os.path.join(layouts, "partials/nav.html"), NAV)
    write(os.path.join(layouts, "partials/line.html"), LINE)
    content = os.path.join(site, "content")
    write(os.path.join(content, "_index.md"), "---\ntitle: Bench\n---\nWelcome.\n")
    made = 0
    for c in range(max(1, products // 100)):
        cat = os.path.join(content, "c%d" % c)
        write(os.path.join(cat, "_index.md"),
              "---\ntitle: Category %d\n---\nEverything in category %d.\n" % (c, c))
        for s in range(5):
            if made >= products:
                break
            shelf = os.path.join(cat, "s%d" % s)
            write(os.path.join(shelf, "_index.md"), "---\ntitle: Shelf %d\n---\n" % s)
            for _ in range(20):
                if made >= products:
                    break
                write(os.path.join(shelf, "p%d.md" % made),
                      "---\ntitle: Product %d\nprice: \"%s\"\ncode: P%d\n---\n%s\n"
                      % (made, price(made), made, "b" * 400))
                made += 1


if __name__ == "__main__":
    main()
