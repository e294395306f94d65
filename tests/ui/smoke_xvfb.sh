#!/bin/sh
# The real desktop program under Xvfb: with the sample store remembered, its main window shows,
# is screenshot and still runs; then it is closed by its PID.
# usage: smoke_xvfb.sh TOLMI_BINARY SOURCE_DIR SHOTS_DIR (exit 77: a tool is missing, skipped)
set -u
tolmi=$1 src=$2 shots=$3

for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: no $tool (packages xvfb, x11-utils)"; exit 77; }
done
[ -x "$tolmi" ] || { echo "FAIL: no program at $tolmi"; exit 1; }

home=$(mktemp -d "${TMPDIR:-/tmp}/tolmi-smoke-XXXXXX")
xvfb_pid= tolmi_pid=
cleanup() {
  for pid in $tolmi_pid $xvfb_pid; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$home"
}
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $1"; cat "$home/tolmi.log"; exit 1; }

# The sample store remembered and an order server set: the program opens straight into it.
mkdir -p "$home/Projects"
cp -R "$src/data/samples/TeaShop" "$home/Projects/TeaShop"
printf 'server=http://127.0.0.1:9/\nfile=%s\n' "$home/Projects/TeaShop/TeaShop.stp" >"$home/config.ini"

# Xvfb picks a free display and writes its number (tests may run in parallel).
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$home/display" >"$home/xvfb.log" 2>&1 &
xvfb_pid=$!
tries=0
until [ -s "$home/display" ] && display=$(cat "$home/display") && [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "SKIP: Xvfb did not start"; cat "$home/xvfb.log"; exit 77
  fi
  sleep 0.1
done
export DISPLAY=":$display"

env -u QT_QPA_PLATFORM TOLMI_DATA_DIR="$src/data" XDG_CONFIG_HOME="$home/xdg" \
  "$tolmi" --home "$home" >"$home/tolmi.log" 2>&1 &
tolmi_pid=$!

title="Tolmi PRO - TeaShop"
tries=0
until xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; do
  tries=$((tries + 1))
  kill -0 "$tolmi_pid" 2>/dev/null || fail "tolmi ended before its window showed"
  [ "$tries" -le 300 ] || fail "no window titled '$title' after 30 s"
  sleep 0.1
done
sleep 1  # let the window paint

mkdir -p "$shots"
if command -v import >/dev/null 2>&1; then
  import -window root "$shots/smoke-main-window.png" && echo "screenshot: $shots/smoke-main-window.png"
elif command -v xwd >/dev/null 2>&1; then
  xwd -root -silent >"$shots/smoke-main-window.xwd" && echo "screenshot: $shots/smoke-main-window.xwd"
else
  echo "no screenshot: neither import (imagemagick) nor xwd (x11-apps) is installed"
fi

kill -0 "$tolmi_pid" 2>/dev/null || fail "tolmi ended while its window was shown"
echo "PASS: '$title' shown on :$display"
