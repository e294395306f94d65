#!/usr/bin/env bash
# The main job: what a merchant's first run looks like. Builds the sample store
# from data/samples/ into demo-store/ and says how to open it; with a display
# ($DISPLAY set) it also starts the desktop program on a copy of the sample store.
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

# The desktop program, when there is a screen to show it on. It works on a copy of
# the sample in the demo home, so saves and backups never touch data/samples/.
gui="$(dirname "$cli")/../ui/tolmi"
if [ -n "${DISPLAY:-}" ] && [ -x "$gui" ]; then
  project="$home/Projects/TeaShop/TeaShop.stp"
  [ -f "$project" ] || { mkdir -p "$home/Projects" && cp -R "$top/data/samples/TeaShop" "$home/Projects/"; }
  "$cli" --home "$home" config "file=$project" >/dev/null
  nohup "$gui" --home "$home" >"$home/tolmi.log" 2>&1 &
  echo "The desktop program runs on the sample store (PID $!): $gui --home $home"
else
  echo "With a display, start the desktop program with:  $gui --home $home"
fi
