#!/usr/bin/env bash
# Every side-by-side comparison on this machine in one run, printed as one table of
# medians and ratios. Pairs are alternated round by round (tolmi, other, tolmi, ...)
# so that a change in the machine's load hits both; every row names its workload and
# the load average while it ran (other work on the machine shows in the figures).
#
#   build      tolmi-cli build of a generated store against Hugo building the same store
#              written as Hugo's users write it (bench/hugo/make_site.py); both outputs
#              are checked to hold the same product pages, links and prices; tolmi's
#              build also at 1,000 and 100,000 products (linear or not), peak memory;
#              outputs are written into memory (/dev/shm) when it is there
#   publish    tolmi-cli publish against lftp mirror -R to a local FTP server (pyftpdlib),
#              one connection and four
#   project    open and save of a project of 100,000 nodes (tolmi_bench, CPU time)
#   http, ftp  bench/net/loopback.sh (tolmi-cli against curl and lftp)
#   server     bench/server/run.sh (tolmi-server order intake and download under wrk)
#
#   bench/compare.sh [--quick] [BUILD_DIR]     (BUILD_DIR default: build)
# --quick: smaller workloads and fewer rounds, a few minutes in all.
# Needs the targets tolmi-cli, tolmi-server and tolmi_bench, and hugo, lftp, curl, wrk
# and python3-pyftpdlib; a comparison whose tool is missing is reported and skipped.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
quick=0
build=$top/build
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    -h | --help) sed -n '2,22p' "$0"; exit 0 ;;
    *) build=$(cd "$arg" && pwd) ;;
  esac
done
cli=$build/cli/tolmi-cli
server=$build/server/tolmi-server
bench=$build/bench/tolmi_bench
for program in "$cli" "$bench"; do
  [ -x "$program" ] || { echo "missing $program: cmake --build $build --target tolmi-cli tolmi-server tolmi_bench" >&2; exit 1; }
done
if [ "$quick" = 1 ]; then
  rounds=3 products=10000 sizes="1000 10000" publish_pages=2000 project_nodes=100000
  net_mb=20 net_rounds=1 server_seconds=2
else
  rounds=5 products=10000 sizes="1000 10000 100000" publish_pages=10000 project_nodes=100000
  net_mb=100 net_rounds=5 server_seconds=5
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmi-compare.XXXXXX")
ftpd_pid=
# Build outputs go to memory (/dev/shm) when it is there, so the build rows measure the
# tools and not the disk's state: on ext4 the same build took 0.5 to 3.4 s depending on
# how recently many files had been deleted. TOLMI_BENCH_OUT names another place.
outroot=${TOLMI_BENCH_OUT:-}
if [ -z "$outroot" ] && [ -w /dev/shm ]; then outroot=/dev/shm; fi
outdir=$(mktemp -d "${outroot:-$work}/tolmi-compare-out.XXXXXX")
cleanup() {
  if [ -n "$ftpd_pid" ]; then kill "$ftpd_pid" 2>/dev/null || true; wait "$ftpd_pid" 2>/dev/null || true; fi
  rm -rf "$work" "$outdir"
}
trap cleanup EXIT
table=$work/table
: >"$table"

load() { cut -d' ' -f1 /proc/loadavg; }
# Median of the numbers in a file.
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Runs a command; appends "wall cpu peakKiB" to the file named first.
timed() {
  local into=$1
  shift
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S %M" -o "$work/rusage" "$@" >"$work/cmd.out" 2>&1 || {
    echo "failed: $*" >&2
    tail -5 "$work/cmd.out" >&2
    return 1
  }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" '{ printf "%.3f %.3f %d\n", e - s, $1 + $2, $3 }' "$work/rusage" >>"$into"
}
column() { awk -v c="$2" '{ print $c }' "$1" >"$1.$2"; median "$1.$2"; }
# A table row: comparison, workload, tolmi figure, other figure, ratio (other / tolmi), load.
row() {
  local ratio=-
  if [[ $3 =~ ^[0-9.]+$ && $4 =~ ^[0-9.]+$ ]]; then
    ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { if (a > 0) printf "%.2fx", b / a; else print "-" }')
  fi
  printf '%-9s| %-62s| %10s | %10s | %7s | %s\n' "$1" "$2" "$3" "$4" "$ratio" "$5" >>"$table"
}
note() { printf '%-9s| %s\n' "$1" "$2" >>"$table"; }
echo "tolmi compare: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"

# ---- build: tolmi-cli against Hugo ----------------------------------------------
mkdir -p "$work/home"
printf 'server=http://127.0.0.1:8080/\n' >"$work/home/server.ini"
store() {  # generates the benchmark store of $1 products below $work/store-$1 (its web
  # folder, the generator's own build, stays until the end: see fresh below)
  TOLMI_BENCH_KEEP="$work/store-$1" "$bench" --benchmark_filter="BM_BuildStore/$1/" >/dev/null 2>&1
}
# Every timed build writes into a folder no build used before, and the outputs are deleted
# only when the script ends: on ext4, creating files right after a large deletion scans the
# recently deleted inodes (~0.3 ms a file), which would measure the deletion.
outs=0
fresh() { outs=$((outs + 1)); out=$outdir/out.$outs; }  # sets $out (not in a subshell)
tolmi_build() {  # $1 products, $2 figures file, further arguments to the build
  local products=$1 figures=$2
  shift 2
  fresh
  timed "$figures" "$cli" --home "$work/home" build "$work/store-$products/project/Bench.stp" \
    --dir "$out" --no-save "$@"
}
echo "build: generating the stores..."
for n in $sizes; do store "$n"; done
if command -v hugo >/dev/null; then
  python3 "$top/bench/hugo/make_site.py" "$work/hugo-site" "$products"
  fresh
  hugo --quiet -s "$work/hugo-site" -d "$out" >/dev/null 2>&1  # warm-up
  l0=$(load)
  for ((r = 0; r < rounds; r++)); do
    tolmi_build "$products" "$work/b.tolmi"
    tolmi_web=$out
    fresh
    hugo_web=$out
    timed "$work/b.hugo" hugo --quiet -s "$work/hugo-site" -d "$hugo_web"
  done
  l1=$(load)
  w="$products products, fresh output, median of $rounds"
  row build "$w: wall s" "$(column "$work/b.tolmi" 1)" "$(column "$work/b.hugo" 1)" "$l0-$l1"
  row build "$w: CPU s (user+sys)" "$(column "$work/b.tolmi" 2)" "$(column "$work/b.hugo" 2)" "$l0-$l1"
  peak() { awk '{ if ($3 > m) m = $3 } END { printf "%.0f", m / 1024 }' "$1"; }
  row build "$w: peak MiB (largest)" "$(peak "$work/b.tolmi")" "$(peak "$work/b.hugo")" "$l1"
  # The same store either way: product pages, the products linked, code and price pairs.
  check=$(python3 - "$tolmi_web" "$hugo_web" <<'EOF'
import os, re, sys
line = re.compile(r'<p>Product (\d+) ([0-9.]+) <a href="[^"]*">add</a> (P\d+)</p>')
def scan(top, page, link):
    pages, links, prices = set(), set(), set()
    for folder, _, files in os.walk(top):
        for name in files:
            path = os.path.join(folder, name)
            m = page.search(os.path.relpath(path, top))
            if m: pages.add(m.group(1))
            if name.endswith(('.htm', '.html')):
                text = open(path, encoding='latin-1').read()
                links.update(link.findall(text))
                prices.update(line.findall(text))
    return pages, links, prices
t = scan(sys.argv[1], re.compile(r'^p(\d+)\.htm$'), re.compile(r'href="p(\d+)\.htm"'))
h = scan(sys.argv[2], re.compile(r'/p(\d+)/index\.html$'), re.compile(r'href="/c\d+/s\d+/p(\d+)/"'))
same = all(a == b for a, b in zip(t, h))
print("%s: %d product pages, %d linked, %d code/price pairs (hugo: %d, %d, %d)" % (
    "same" if same else "DIFFERENT", len(t[0]), len(t[1]), len(t[2]), len(h[0]), len(h[1]), len(h[2])))
EOF
)
  note build "output check: $check"
else
  note build "hugo is not installed (apt-get install hugo): no build comparison"
fi
# Linear from 1,000 to 100,000 products: one build each (after a warm-up), time per product.
for n in $sizes; do
  tolmi_build "$n" "$work/lin.$n"
  : >"$work/lin.$n"
  l0=$(load)
  tolmi_build "$n" "$work/lin.$n"
  read -r wall cpu kib <"$work/lin.$n"
  row build "tolmi alone, $n products ($(awk -v c="$cpu" -v n="$n" -v k="$kib" \
    'BEGIN { printf "%.0f us CPU/product, %.0f MiB", c * 1e6 / n, k / 1024 }')): wall s" "$wall" "-" "$l0"
done
# The same build on one thread against every core, alternated: what the cores give.
: >"$work/one"
: >"$work/all"
for ((r = 0; r < rounds; r++)); do
  for jobs in 1 0; do
    tolmi_build "$products" "$work/$([ "$jobs" = 1 ] && echo one || echo all)" --jobs "$jobs"
  done
done
row build "$products products, every core (tolmi) vs --jobs 1 (other): wall s" \
  "$(column "$work/all" 1)" "$(column "$work/one" 1)" "$(load)"

# ---- publish: tolmi-cli against lftp mirror -R ------------------------------------
# pyftpdlib is Debian's package: the system's python3 (not one first in PATH) has it.
py=python3
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null && py=/usr/bin/python3
if command -v lftp >/dev/null && $py -c 'import pyftpdlib' 2>/dev/null; then
  echo "publish: $publish_pages pages..."
  phome=$work/phome
  mkdir -p "$phome" "$work/ftproot"
  "$cli" --home "$phome" new Bench --title "Bench Store" >/dev/null
  stp=$phome/Projects/Bench/Bench.stp
  python3 - "$stp" "$publish_pages" <<'EOF'
import sys
path, pages = sys.argv[1], int(sys.argv[2])
lines = open(path, encoding='latin-1').read().split('\n')
start = next(i for i, l in enumerate(lines) if l.startswith(('VAR=', '$', 'LAYOUT=', 'STITLE=', 'TAXF=', 'REBUILD=', 'P_USER=')))
out = ['TIME=0', 'VERSION=2034361', 'OWNER=Tolmi PRO', 'NODE0=Bench Store', 'STATUS=0', 'MOD=1',
       'FILE=index.html', 'BODY=<p>Welcome</p>', 'TEMP=category.htm', '#BRANCH']
for c in range(100):
    out += ['NODE0=Category %d' % c, 'STATUS=0', 'MOD=1', 'FILE=c%d.htm' % c, '#BRANCH']
    for p in range(max(1, (pages - 101) // 100)):
        out += ['NODE1=Product %d-%d' % (c, p), 'STATUS=0', 'MOD=1', 'FILE=p%d_%d.htm' % (c, p),
                'COST=%d.95' % (10 + p % 90), 'CODE=P%d-%d' % (c, p)]
    out.append('#EOB')
out.append('#EOB')
open(path, 'w', encoding='latin-1').write('\n'.join(out + lines[start:]))
EOF
  "$cli" --home "$phome" build "$stp" >/dev/null
  web=$phome/Projects/Bench/Web
  files=$(find "$web" -type f | wc -l)
  mkfifo "$work/port"
  $py "$top/bench/publish/ftpd.py" "$work/ftproot" >"$work/port" &
  ftpd_pid=$!
  read -r port <"$work/port"
  cp "$stp" "$stp.unpublished"
  has_connections=0
  "$cli" publish --help 2>&1 | grep -q -- --connections && has_connections=1
  for conns in 1 4; do
    : >"$work/p.tolmi.$conns"
    : >"$work/p.lftp.$conns"
    l0=$(load)
    for ((r = 0; r < rounds; r++)); do
      # A full first publish each round: the project forgets its last upload, the
      # server folders are new.
      cp "$stp.unpublished" "$stp"
      printf 'P_SERV=127.0.0.1\nP_PORT=%s\nP_USER=tolmi\nP_DIR=t%s_%s\nP_PASV=1\n' "$port" "$conns" "$r" >>"$stp"
      if [ "$conns" = 1 ]; then
        timed "$work/p.tolmi.$conns" "$cli" --home "$phome" publish "$stp" --password secret
      elif [ "$has_connections" = 1 ]; then
        timed "$work/p.tolmi.$conns" "$cli" --home "$phome" publish "$stp" --password secret --connections "$conns"
      fi
      parallel=
      [ "$conns" = 1 ] || parallel="--parallel=$conns"
      timed "$work/p.lftp.$conns" lftp -u tolmi,secret -p "$port" \
        -e "set ftp:passive-mode on; set cmd:fail-exit yes; mirror -R $parallel $web l${conns}_$r; quit" 127.0.0.1
    done
    l1=$(load)
    tolmi=$( [ -s "$work/p.tolmi.$conns" ] && column "$work/p.tolmi.$conns" 1 || echo "n/a")
    row publish "full first publish, $files files, $conns connection(s): wall s" "$tolmi" "$(column "$work/p.lftp.$conns" 1)" "$l0-$l1"
  done
  [ "$has_connections" = 1 ] || note publish "tolmi-cli publish has no --connections here: the four-connection row has no tolmi figure"
  cp "$stp.unpublished" "$stp"
  kill "$ftpd_pid" 2>/dev/null || true
  wait "$ftpd_pid" 2>/dev/null || true
  ftpd_pid=
else
  note publish "lftp or python3-pyftpdlib is missing: no publish comparison"
fi

# ---- project open and save ---------------------------------------------------------
echo "project: open and save of $project_nodes nodes..."
l0=$(load)
: >"$work/open"
: >"$work/save"
for ((r = 0; r < rounds; r++)); do
  for what in Open Save; do
    # CSV columns 3 and 4: real and CPU time in ms; kept as "wall cpu" in seconds.
    "$bench" --benchmark_filter="BM_${what}Project/$project_nodes/" --benchmark_format=csv 2>/dev/null |
      awk -F, '/^"BM_/ { printf "%.3f %.3f\n", $3 / 1000, $4 / 1000 }' >>"$work/$(echo "$what" | tr OS os)"  || true
  done
done
open_wall=$(column "$work/open" 1) open_cpu=$(column "$work/open" 2)
save_wall=$(column "$work/save" 1) save_cpu=$(column "$work/save" 2)
row project "open + save, $project_nodes nodes (~1.5 KB each): CPU s" \
  "$(awk -v a="$open_cpu" -v b="$save_cpu" 'BEGIN { printf "%.3f", a + b }')" "goal 0.5" "$(load)"
note project "open $open_cpu s CPU ($open_wall s wall), save $save_cpu s CPU ($save_wall s wall, with fsync), median of $rounds; load $l0"

# ---- network engines and the order server (their own scripts) ---------------------
if [ -x "$top/bench/net/loopback.sh" ] || [ -f "$top/bench/net/loopback.sh" ]; then
  echo "http, ftp: $net_mb MB over loopback..."
  l0=$(load)
  if SIZE_MB=$net_mb ROUNDS=$net_rounds bash "$top/bench/net/loopback.sh" "$cli" >"$work/net.out" 2>&1; then
    while IFS= read -r line; do note net "$line ($net_mb MB, $net_rounds round(s))"; done < <(grep -i "ratio\|MB/s" "$work/net.out")
    note net "$(grep -m1 '^payload' "$work/net.out" || echo "load $l0")"
  else
    note net "bench/net/loopback.sh failed: $(tail -1 "$work/net.out")"
  fi
fi
if [ -x "$server" ] && command -v wrk >/dev/null; then
  echo "server: $server_seconds s per load..."
  l0=$(load)
  if sh "$top/bench/server/run.sh" "$server" "$server_seconds" >"$work/server.out" 2>&1; then
    awk -v s="$server_seconds" -v l="$l0" '/^== / { title = substr($0, 4) } /Requests\/sec/ { printf "%s: %s requests/s (wrk, %s s, load %s)\n", title, $2, s, l }' \
      "$work/server.out" | while IFS= read -r line; do note server "$line"; done
  else
    note server "bench/server/run.sh failed: $(tail -1 "$work/server.out")"
  fi
else
  note server "tolmi-server or wrk is missing: no order-server figures"
fi

echo
printf '%-9s| %-62s| %10s | %10s | %7s | %s\n' "" "workload: figure" "tolmi" "other" "ratio" "load avg"
printf '%s\n' "---------+---------------------------------------------------------------+------------+------------+---------+---------"
cat "$table"
echo "(ratio: other / tolmi; above 1 tolmi is faster. Other: hugo, lftp. Timings on a shared machine are noisy: see the load.)"
