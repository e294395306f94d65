#!/usr/bin/env bash
# The main job: what a merchant's first run looks like. Builds the sample store
# from data/samples/ into demo-store/ and says how to open it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-build/cli/tolmi-cli}
"$cli" --version
home="$top/build/demo-home"
store="$top/demo-store"
mkdir -p "$home"
# The order server the built order form posts to (a local one for the demo).
[ -f "$home/server.ini" ] || printf 'server=http://127.0.0.1:8080/\n' > "$home/server.ini"
rm -rf "$store"
"$cli" --home "$home" build "$top/data/samples/TeaShop/TeaShop.stp" --dir "$store"
echo
echo "The sample store is in $store"
echo "Open it with:  xdg-open $store/index.html"
