#!/usr/bin/env bash
# Loopback throughput of the network engines: a 100 MB download with HttpGet
# (tolmi-cli http get) against curl, and a 100 MB upload with FtpStore
# (tolmi-cli ftp put, passive and active) against lftp (passive and active).
# One warm-up pass, then ROUNDS rounds (default 5) that alternate the tools;
# prints the median time and rate of each, the ratios of the rates, and the
# machine's load average (other work on the machine shows in the figures).
#   bench/net/loopback.sh [path/to/tolmi-cli]      SIZE_MB=100 ROUNDS=5
set -euo pipefail
cli=${1:-build/cli/tolmi-cli}
size_mb=${SIZE_MB:-100}
for tool in curl lftp /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build the tolmi-cli target)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/payload.bin"
mkdir -p "$work/www" "$work/ftp"
ln "$work/payload.bin" "$work/www/payload.bin"

cat >"$work/peers.py" <<'PY'
import sys, os, threading, logging, functools, http.server
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
www, ftproot = sys.argv[1], sys.argv[2]
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *a): pass
h = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=www))
a = DummyAuthorizer(); a.add_user('bench', 'bench', ftproot, perm='elradfmwMT')
FTPHandler.authorizer = a
f = FTPServer(('127.0.0.1', 0), FTPHandler)
print(h.server_address[1], f.socket.getsockname()[1], flush=True)
threading.Thread(target=h.serve_forever, daemon=True).start()
f.serve_forever()
PY
coproc PEERS { exec /usr/bin/python3 "$work/peers.py" "$work/www" "$work/ftp"; }
pids+=("$PEERS_PID")
read -r http_port ftp_port <&"${PEERS[0]}"

now() { date +%s.%N; }
check() { cmp -s "$work/payload.bin" "$1" || { echo "transfer corrupted: $1" >&2; exit 1; }; }
url="http://127.0.0.1:$http_port/payload.bin"
ftp="ftp://127.0.0.1:$ftp_port"

# Each step runs one transfer, checks its bytes and appends its seconds to $work/t.NAME.
step() {
  local name=$1 t0 t1
  shift
  rm -rf "$work/ftp/$name" "$work/$name.bin"
  t0=$(now)
  case $name in
    http-tolmi) "$cli" http get "$url" --timeout 600000 >"$work/$name.raw" 2>"$work/$name.err" ;;
    http-curl) curl -s -0 -o "$work/$name.bin" "$url" ;;
    ftp-pasv) "$cli" ftp put "$work/payload.bin" --server "127.0.0.1:$ftp_port" --user bench \
      --password bench --passive --dir "$name" --timeout 600000 >/dev/null ;;
    ftp-port) "$cli" ftp put "$work/payload.bin" --server "127.0.0.1:$ftp_port" --user bench \
      --password bench --dir "$name" --timeout 600000 >/dev/null ;;
    lftp-pasv|lftp-port)
      local mode=on
      [ "$name" = lftp-port ] && mode=off
      lftp -u bench,bench -e "set ftp:passive-mode $mode; mkdir -f $name; put -O $name $work/payload.bin; bye" \
        "$ftp" >/dev/null ;;
  esac
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }' >>"$work/t.$name"
  case $name in
    http-tolmi)
      # the CLI prints the raw reply: the body follows the blank line after the head
      /usr/bin/python3 - "$work/$name.raw" "$work/$name.bin" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read(); i = d.find(b'\r\n\r\n')
open(sys.argv[2], 'wb').write(d[i + 4:])
PY
      rm -f "$work/$name.raw"; check "$work/$name.bin" ;;
    http-curl) check "$work/$name.bin" ;;
    *) check "$work/ftp/$name/payload.bin" ;;
  esac
  rm -rf "$work/ftp/$name" "$work/$name.bin"
}

names=(http-tolmi http-curl ftp-pasv lftp-pasv ftp-port lftp-port)
for name in "${names[@]}"; do step "$name"; done  # warm-up: caches, server start
rm -f "$work"/t.*
rounds=${ROUNDS:-5}
for ((r = 0; r < rounds; r++)); do
  # alternate who goes first in each pair
  if ((r % 2 == 0)); then order=("${names[@]}"); else order=(http-curl http-tolmi lftp-pasv ftp-pasv lftp-port ftp-port); fi
  for name in "${order[@]}"; do step "$name"; done
done

median() { sort -n "$work/t.$1" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A med
for name in "${names[@]}"; do med[$name]=$(median "$name"); done
rate() { awk -v s="$1" -v mb="$size_mb" 'BEGIN { printf "%.1f", mb / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }
echo "payload: $size_mb MB over 127.0.0.1, median of $rounds alternated rounds; load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
row() { printf '%-28s %8s s %8s MB/s\n' "$1" "${med[$2]}" "$(rate "${med[$2]}")"; }
row "HttpGet (tolmi-cli)" http-tolmi
row "curl" http-curl
row "FtpStore passive" ftp-pasv
row "lftp put (passive)" lftp-pasv
row "FtpStore active" ftp-port
row "lftp put (active)" lftp-port
echo "HttpGet / curl rate ratio:        $(ratio "${med[http-tolmi]}" "${med[http-curl]}")"
echo "FtpStore passive / lftp ratio:    $(ratio "${med[ftp-pasv]}" "${med[lftp-pasv]}")"
echo "FtpStore active / lftp ratio:     $(ratio "${med[ftp-port]}" "${med[lftp-port]}")"
echo "FtpStore active / lftp passive:   $(ratio "${med[ftp-port]}" "${med[lftp-pasv]}")"
