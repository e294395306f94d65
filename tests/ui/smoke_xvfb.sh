#!/bin/sh
# Smoke test of the real desktop program: starts tolmi under Xvfb with a fresh home
# holding the sample store, waits for its main window, takes a screenshot, checks
# that the program is still running and closes it by its PID.
#
# usage: smoke_xvfb.sh TOLMI_BINARY SOURCE_DIR SHOTS_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing; ctest shows it).
set -u

tolmi=$1
src=$2
shots=$3

for tool in Xvfb xwininfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (Debian packages xvfb and x11-utils)"
    exit 77
  fi
done
if [ ! -x "$tolmi" ]; then
  echo "FAIL: no program at $tolmi"
  exit 1
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/tolmi-smoke-XXXXXX")
xvfb_pid=
tolmi_pid=
cleanup() {
  if [ -n "$tolmi_pid" ]; then kill "$tolmi_pid" 2>/dev/null; wait "$tolmi_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$home"
}
trap cleanup EXIT INT TERM

# The sample store as the remembered project and an order server, so the program
# opens straight into the store instead of the wizard or the settings page.
mkdir -p "$home/Projects"
cp -R "$src/data/samples/TeaShop" "$home/Projects/TeaShop"
project="$home/Projects/TeaShop/TeaShop.stp"
printf 'server=http://127.0.0.1:9/\nfile=%s\n' "$project" > "$home/config.ini"

# Xvfb picks a free display itself and writes its number (tests may run in parallel).
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$home/display" >"$home/xvfb.log" 2>&1 &
xvfb_pid=$!
tries=0
until [ -s "$home/display" ] && display=$(cat "$home/display") &&
  [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "SKIP: Xvfb did not start"
    cat "$home/xvfb.log"
    exit 77
  fi
  sleep 0.1
done
export DISPLAY=":$display"

env -u QT_QPA_PLATFORM TOLMI_DATA_DIR="$src/data" XDG_CONFIG_HOME="$home/xdg" \
  "$tolmi" --home "$home" >"$home/tolmi.log" 2>&1 &
tolmi_pid=$!

# Wait (30 s at most) for the main window with the project's title.
title="Tolmi PRO - TeaShop"
tries=0
until xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; do
  tries=$((tries + 1))
  if ! kill -0 "$tolmi_pid" 2>/dev/null; then
    echo "FAIL: tolmi ended before its window showed"
    cat "$home/tolmi.log"
    exit 1
  fi
  if [ "$tries" -gt 300 ]; then
    echo "FAIL: no window titled '$title' after 30 s"
    xwininfo -root -tree 2>/dev/null | head -40
    cat "$home/tolmi.log"
    exit 1
  fi
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

if ! kill -0 "$tolmi_pid" 2>/dev/null; then
  echo "FAIL: tolmi ended while its window was shown"
  cat "$home/tolmi.log"
  exit 1
fi
echo "PASS: '$title' shown on :$display"
exit 0
