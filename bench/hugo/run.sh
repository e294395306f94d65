#!/usr/bin/env bash
# Side by side: Hugo and tolmi-cli build the same generated store (one category per
# 100 products, five shelves of 20 products each, a page per product; every page with
# navigation rows, a list of what is below it and product blocks). Prints both times
# (wall and process time) and the ratio.
#
# Usage: bench/hugo/run.sh [PRODUCTS]   PRODUCTS is 1000, 10000 (default) or 100000
# BUILD=<folder> picks the build folder (default: build), which needs the targets
# tolmi-cli and tolmi_bench.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
products=${1:-10000}
build=${BUILD:-$top/build}
cli=$build/cli/tolmi-cli
bench=$build/bench/tolmi_bench

if ! command -v hugo >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y hugo >/dev/null
  else
    echo "hugo is not installed: install it with  sudo apt-get install hugo" >&2
    exit 1
  fi
fi
if [ ! -x "$cli" ] || [ ! -x "$bench" ]; then
  echo "build first:  cmake --build $build --target tolmi-cli tolmi_bench" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmi-vs-hugo.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Wall seconds and process seconds (user + system, children included) of a command.
timed() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/env time -f "%U %S" -o "$work/cpu" "$@" >"$work/out" 2>&1 || {
    cat "$work/out" >&2
    return 1
  }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" '{ printf "%.2f %.2f\n", e - s, $1 + $2 }' "$work/cpu"
}

echo "Generating a store of $products products for both..."
# The benchmark's own generator writes the store project (and builds it once).
TOLMI_BENCH_KEEP="$work/tolmi" "$bench" --benchmark_filter="BM_BuildStore/$products/" >/dev/null 2>&1
python3 "$top/bench/hugo/make_site.py" "$work/hugo-site" "$products"
mkdir -p "$work/home"
printf 'server=http://127.0.0.1:8080/\n' >"$work/home/server.ini"

read -r tolmiWall tolmiCpu < <(timed "$cli" --home "$work/home" build "$work/tolmi/project/Bench.stp" --dir "$work/tolmi-web")
# Node pages (the frame-loader page ftmp.htm left out).
tolmiPages=$(find "$work/tolmi-web" -maxdepth 1 -name '*.htm' ! -name ftmp.htm | wc -l)
read -r hugoWall hugoCpu < <(timed hugo --quiet -s "$work/hugo-site" -d "$work/hugo-web")
hugoPages=$(find "$work/hugo-web" -name 'index.html' | wc -l)

printf '%-10s %8s %12s %12s\n' "" pages "wall s" "process s"
printf '%-10s %8d %12s %12s\n' tolmi "$tolmiPages" "$tolmiWall" "$tolmiCpu"
printf '%-10s %8d %12s %12s\n' hugo "$hugoPages" "$hugoWall" "$hugoCpu"
awk -v tw="$tolmiWall" -v hw="$hugoWall" -v tc="$tolmiCpu" -v hc="$hugoCpu" 'BEGIN {
  printf "hugo / tolmi: %.2fx wall time, %.2fx process time (above 1: tolmi is faster)\n",
         hw / (tw > 0 ? tw : 0.01), hc / (tc > 0 ? tc : 0.01) }'
