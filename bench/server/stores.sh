#!/bin/sh
# Order intake and download rates of tolmi-server on its two stores, with wrk on 127.0.0.1:
# a SQLite file, a PostgreSQL database with one server process, and the same database with
# two server processes loaded at once (their rates added). The PostgreSQL cluster is a
# throw-away one in a temporary folder (run as the postgres user when started as root).
#   bench/server/stores.sh [path/to/tolmi-server] [seconds]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
server=${1:-$here/../../build/server/tolmi-server}
seconds=${2:-5}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL is not installed (initdb under /usr/lib/postgresql/*/bin)" >&2; exit 1; }
work=$(mktemp -d)
pids=
as_pg=
if [ "$(id -u)" -eq 0 ]; then
  chown postgres "$work"
  as_pg="runuser -u postgres --"
fi
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null || true; done
  $as_pg "$bin/pg_ctl" -D "$work/pg" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

pgport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
$as_pg "$bin/initdb" -D "$work/pg" -U tolmi -A trust --no-locale -E UTF8 >/dev/null
# The cluster's defaults: fsync on, synchronous_commit on, so every order is on disk.
$as_pg "$bin/pg_ctl" -D "$work/pg" -w -l "$work/pg.log" \
  -o "-p $pgport -k $work -c listen_addresses=127.0.0.1" start >/dev/null
$as_pg "$bin/psql" -q -h 127.0.0.1 -p "$pgport" -U tolmi -d postgres -c "CREATE DATABASE bench" >/dev/null
uri="postgresql://tolmi@127.0.0.1:$pgport/bench"

# start DATA NAME: a server on a free port; sets $port (runs in this shell, so that
# cleanup knows its pid).
start() {
  "$server" --listen 127.0.0.1:0 --data "$1" --card-key "$work/card.key" >"$work/$2.out" 2>"$work/$2.err" &
  pids="$pids $!"
  for _ in $(seq 1 50); do
    grep -q listening "$work/$2.out" 2>/dev/null && break
    sleep 0.1
  done
  port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/$2.out")
  [ -n "$port" ] || { echo "tolmi-server did not start" >&2; cat "$work/$2.err" >&2; exit 1; }
}

# load DATA PORT...: accounts, 50 orders to download, then intake and download on every port
# at once; prints the summed rates.
load() {
  data=$1
  shift
  "$server" --data "$data" user add bench --password bench >/dev/null
  "$server" --data "$data" user add reader --password reader >/dev/null
  for i in $(seq 1 50); do
    curl -s -o /dev/null -d "tolmi_user=reader&Name=R$i&CardNumber=4111111111111111&Amount=4.50&tolmi_item=1%09Mug%09M1%094.50" "http://127.0.0.1:$1/"
  done
  for kind in intake download; do
    n=0
    wrks=
    for port in "$@"; do
      base=http://127.0.0.1:$port/
      # The first download checks the password (then remembered) and shows the reply size.
      [ $kind = intake ] || curl -s "$base?data=300reader%0Dreader%0D29034361%0D" |
        sed -n 's/^#END \([0-9]*\).*/  (port '"$port"': replies of \1 orders)/p'
      if [ $kind = intake ]; then target=$base; else target="$base?data=300reader%0Dreader%0D29034361%0D"; fi
      TOLMI_BENCH_DIR=$here wrk -t1 -c8 -d"${seconds}s" -s "$here/$kind.lua" "$target" >"$work/wrk.$n" &
      wrks="$wrks $!"
      n=$((n + 1))
    done
    for w in $wrks; do wait "$w" || true; done
    cat "$work"/wrk.* | awk -v kind=$kind '
      /^requests:/ { rate += $6; errors += $10 }
      /^latency ms:/ { if ($8 > p99) p99 = $8 }
      END { printf "  %-8s %7.0f per second  (worst p99 %s ms, errors %d)\n", kind, rate, p99, errors }'
    rm -f "$work"/wrk.*
  done
}

echo "== SQLite file, one server (8 connections, ${seconds}s each)"
start "$work/orders.db" sqlite
load "$work/orders.db" "$port"
echo "== PostgreSQL, one server"
start "$uri" pg1
load "$uri" "$port"
$as_pg "$bin/psql" -q -h 127.0.0.1 -p "$pgport" -U tolmi -d postgres -c "CREATE DATABASE bench2" >/dev/null
uri2="postgresql://tolmi@127.0.0.1:$pgport/bench2"
echo "== PostgreSQL, two servers on one database (8 connections each, rates added)"
start "$uri2" pg2a
p1=$port
start "$uri2" pg2b
load "$uri2" "$p1" "$port"
