#!/usr/bin/env bash
# Publish benchmark: a generated store of N product pages (default 10,000) built
# with tolmi-cli, then published to a local pyftpdlib server twice over:
#   tolmi-cli publish           (compares with the last upload kept in the project)
#   lftp -e 'mirror -R'         (compares with a remote listing: size and time)
# first in full, then after one price changed (digits reordered) and a rebuild,
# then in full once more into new folders over four connections each
# (tolmi-cli publish --connections 4, lftp mirror -R --parallel=4).
# Prints wall times and files sent side by side. Everything stays on 127.0.0.1.
#
#   bench/publish/run.sh [path/to/tolmi-cli] [pages]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cli=${1:-$top/build/cli/tolmi-cli}
pages=${2:-10000}
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
command -v lftp >/dev/null || { echo "lftp is not installed" >&2; exit 1; }
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null || { echo "python3-pyftpdlib is missing" >&2; exit 1; }

work=$(mktemp -d /tmp/tolmi-publish-bench.XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ -n "${KEEP:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
home=$work/home
mkdir -p "$home" "$work/root"

# The store: a project made by tolmi-cli (for its templates and settings) whose
# tree is replaced by a home page, 100 categories and the products below them.
"$cli" --home "$home" new Bench --title "Bench Store" >/dev/null
stp=$home/Projects/Bench/Bench.stp
/usr/bin/python3 - "$stp" "$pages" <<'EOF'
import sys
path, pages = sys.argv[1], int(sys.argv[2])
lines = open(path, encoding='latin-1').read().split('\n')
settings_keys = ('VAR=', '$', 'LAYOUT=', 'STITLE=', 'TAXF=', 'REBUILD=', 'P_USER=')
start = next(i for i, l in enumerate(lines) if l.startswith(settings_keys))
out = ['TIME=0', 'VERSION=2034361', 'OWNER=Tolmi PRO']
def record(kind, title, file, extra=()):
    out.extend(['NODE%d=%s' % (kind, title), 'STATUS=0', 'MOD=1', 'FILE=' + file] + list(extra))
record(0, 'Bench Store', 'index.html', ['BODY=<p>Welcome</p>', 'TEMP=category.htm'])
out.append('#BRANCH')
categories = 100
products = max(categories, pages - 1 - categories)
made = 1 + categories
for c in range(categories):
    record(0, 'Category %d' % c, 'c%d.htm' % c, ['BODY=<p>Category %d</p>' % c])
    out.append('#BRANCH')
    for p in range(products // categories + (1 if c < products % categories else 0)):
        price = '%d.%02d' % (10 + (c * 7 + p) % 90, (p * 13) % 100)
        record(1, 'Product %d-%d' % (c, p), 'p%d_%d.htm' % (c, p),
               ['COST=' + price, 'CODE=P%d-%d' % (c, p),
                'BODY=<p>A fine product, number %d of category %d.</p>' % (p, c)])
        made += 1
    out.append('#EOB')
out.append('#EOB')
# The product whose price changes later: 123.50 -> 153.20, the same bytes reordered
# (no other product has a three-digit price).
for i, l in enumerate(out):
    if l == 'NODE1=Product 0-0':
        j = next(k for k in range(i, len(out)) if out[k].startswith('COST='))
        out[j] = 'COST=123.50'
        break
open(path, 'w', encoding='latin-1').write('\n'.join(out + lines[start:]))
print(made, 'pages', file=sys.stderr)
EOF

# The style's pages print the build time ($UPDATED), which would change every page
# at every build; the merchant here leaves it out, so a rebuild changes one page.
sed -i 's/\$UPDATED//g' "$home"/Projects/Bench/[Tt]emplate/*.htm
build() { "$cli" --home "$home" build "$stp" --save >/dev/null; }
start=$(date +%s.%N); build; end=$(date +%s.%N)
web=$home/Projects/Bench/Web
files=$(find "$web" -type f | wc -l)
printf 'built %s files in %.1f s\n' "$files" "$(awk "BEGIN{print $end - $start}")"

# The server: pyftpdlib on a free loopback port.
mkfifo "$work/port"
/usr/bin/python3 "$top/bench/publish/ftpd.py" "$work/root" > "$work/port" &
server_pid=$!
read -r port < "$work/port"
printf 'P_SERV=127.0.0.1\nP_PORT=%s\nP_USER=tolmi\nP_DIR=tolmi\nP_PASV=1\n' "$port" >> "$stp"

tolmi_publish() {
  local t0 t1
  t0=$(date +%s.%N)
  "$cli" --home "$home" publish "$stp" --password secret "$@" > "$work/tolmi.out"
  t1=$(date +%s.%N)
  tolmi_time=$(awk "BEGIN{print $t1 - $t0}")
  tolmi_sent=$(grep -c '^Sent ' "$work/tolmi.out" || true)
}
lftp_publish() {
  local t0 t1
  t0=$(date +%s.%N)
  lftp -u tolmi,secret -p "$port" \
    -e "set ftp:passive-mode on; set cmd:fail-exit yes; mirror -R --verbose=1 ${1:-} $web ${2:-lftp}; quit" \
    127.0.0.1 > "$work/lftp.out" 2>&1
  t1=$(date +%s.%N)
  lftp_time=$(awk "BEGIN{print $t1 - $t0}")
  lftp_sent=$(grep -c '^Transferring file' "$work/lftp.out" || true)
}

printf '\n%-28s %12s %10s   %12s %10s\n' "" "tolmi-cli s" "files" "lftp s" "files"
tolmi_publish; lftp_publish
printf '%-28s %12.2f %10s   %12.2f %10s\n' "full publish" "$tolmi_time" "$tolmi_sent" "$lftp_time" "$lftp_sent"
tolmi_publish; lftp_publish
printf '%-28s %12.2f %10s   %12.2f %10s\n' "again, nothing changed" "$tolmi_time" "$tolmi_sent" "$lftp_time" "$lftp_sent"

sed -i 's/^COST=123\.50$/COST=153.20/' "$stp"
build
tolmi_publish; lftp_publish
printf '%-28s %12.2f %10s   %12.2f %10s\n' "one price changed, rebuilt" "$tolmi_time" "$tolmi_sent" "$lftp_time" "$lftp_sent"
echo
echo "tolmi-cli sent after the change:"; grep '^Sent ' "$work/tolmi.out" | sed 's/^/  /'

# In full again, into new folders (the new destination makes tolmi-cli send everything).
sed -i 's/^P_DIR=tolmi$/P_DIR=tolmi4/' "$stp"
tolmi_publish --connections 4; lftp_publish --parallel=4 lftp4
printf '%-28s %12.2f %10s   %12.2f %10s\n' "full, 4 connections each" "$tolmi_time" "$tolmi_sent" "$lftp_time" "$lftp_sent"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
