#!/bin/sh
# Load test of tolmi-server on 127.0.0.1 with wrk, bounded in time.
#   bench/server/run.sh [path/to/tolmi-server] [seconds]
# Prints orders per second and latency percentiles for order intake and for download
# (an account holding 50 orders, downloaded whole each time), then intake again while 500
# slow clients hold half-sent requests and during a password-guess flood (hostile.py).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
server=${1:-$here/../../build/server/tolmi-server}
seconds=${2:-5}
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$server" --data "$work/orders.db" user add bench --password bench >/dev/null
"$server" --data "$work/orders.db" user add reader --password reader >/dev/null
"$server" --listen 127.0.0.1:0 --data "$work/orders.db" >"$work/out" 2>"$work/err" &
pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
  grep -q listening "$work/out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/out")
[ -n "$port" ] || { echo "tolmi-server did not start" >&2; cat "$work/err" >&2; exit 1; }
base=http://127.0.0.1:$port

i=0
while [ $i -lt 50 ]; do
  curl -s -o /dev/null -d "tolmi_user=reader&Name=R$i&Amount=4.50&tolmi_item=1%09Mug%09M1%094.50" "$base/"
  i=$((i + 1))
done

# One download first: the password check (Argon2id) then stays remembered for the run.
curl -s -o /dev/null "$base/?data=300reader%0Dreader%0D29034361%0D"

export TOLMI_BENCH_DIR="$here"
echo "== order intake (POST /, 2 threads, 16 connections, ${seconds}s; each order fsynced)"
wrk -t2 -c16 -d"${seconds}s" -s "$here/intake.lua" "$base/" | sed -n '/^requests:/,$p'
echo "== order download (GET ?data=300, 50 orders per reply, 2 threads, 16 connections, ${seconds}s)"
wrk -t2 -c16 -d"${seconds}s" -s "$here/download.lua" \
  "$base/?data=300reader%0Dreader%0D29034361%0D" | sed -n '/^requests:/,$p'

# The same intake while hostile clients work on the server (bench/server/hostile.py).
echo "== order intake while 500 slow clients hold half-sent requests"
python3 "$here/hostile.py" slow "$port" $((seconds + 3)) 500 &
hostile=$!
sleep 2
wrk -t2 -c16 -d"${seconds}s" -s "$here/intake.lua" "$base/" | sed -n '/^requests:/,$p'
wait "$hostile" 2>/dev/null || true
echo "== order intake during a password-guess flood on the download"
python3 "$here/hostile.py" guess "$port" $((seconds + 3)) &
hostile=$!
wrk -t2 -c16 -d"${seconds}s" -s "$here/intake.lua" "$base/" | sed -n '/^requests:/,$p'
echo "== the merchant's download during the flood (from another address)"
curl -s -o /dev/null -w "download answered in %{time_total} s\n" "$base/?data=300reader%0Dreader%0D29034361%0D"
wait "$hostile" 2>/dev/null || true
