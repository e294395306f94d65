#!/usr/bin/env bash
# Loopback throughput of the network engines: a 100 MB download with HttpGet
# (tolmi-cli http get) against curl, and a 100 MB upload with FtpStore
# (tolmi-cli ftp put, passive and active) against lftp. Prints rates and ratios.
#   bench/net/loopback.sh [path/to/tolmi-cli]      SIZE_MB=100 by default
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
# rate NAME SECONDS -> prints and echoes MB/s
rate() { awk -v s="$2" -v mb="$size_mb" 'BEGIN { printf "%.1f", mb / s }'; }
check() { cmp -s "$work/payload.bin" "$1" || { echo "transfer corrupted: $1" >&2; exit 1; }; }

url="http://127.0.0.1:$http_port/payload.bin"
t0=$(now); "$cli" http get "$url" --timeout 600000 >"$work/http-tolmi.bin" 2>"$work/http-tolmi.err"; t1=$(now)
# the CLI prints the raw reply: strip the head before comparing
/usr/bin/python3 - "$work/http-tolmi.bin" <<'PY'
import sys
p = sys.argv[1]; d = open(p, 'rb').read(); i = d.find(b'\r\n\r\n')
open(p, 'wb').write(d[i + 4:])
PY
check "$work/http-tolmi.bin"
t2=$(now); curl -s -0 -o "$work/http-curl.bin" "$url"; t3=$(now)
check "$work/http-curl.bin"

t4=$(now); "$cli" ftp put "$work/payload.bin" --server "127.0.0.1:$ftp_port" --user bench --password bench \
  --passive --dir pasv --timeout 600000 >/dev/null; t5=$(now)
check "$work/ftp/pasv/payload.bin"
t6=$(now); "$cli" ftp put "$work/payload.bin" --server "127.0.0.1:$ftp_port" --user bench --password bench \
  --dir port --timeout 600000 >/dev/null; t7=$(now)
check "$work/ftp/port/payload.bin"
t8=$(now); lftp -u bench,bench -e "set ftp:passive-mode on; mkdir -f lftp; put -O lftp $work/payload.bin; bye" \
  "ftp://127.0.0.1:$ftp_port" >/dev/null; t9=$(now)
check "$work/ftp/lftp/payload.bin"

secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
h_t=$(secs "$t0" "$t1"); h_c=$(secs "$t2" "$t3")
f_p=$(secs "$t4" "$t5"); f_a=$(secs "$t6" "$t7"); f_l=$(secs "$t8" "$t9")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }
echo "payload: $size_mb MB over 127.0.0.1"
printf '%-28s %8s s %8s MB/s\n' "HttpGet (tolmi-cli)" "$h_t" "$(rate x "$h_t")"
printf '%-28s %8s s %8s MB/s\n' "curl" "$h_c" "$(rate x "$h_c")"
printf '%-28s %8s s %8s MB/s\n' "FtpStore passive" "$f_p" "$(rate x "$f_p")"
printf '%-28s %8s s %8s MB/s\n' "FtpStore active" "$f_a" "$(rate x "$f_a")"
printf '%-28s %8s s %8s MB/s\n' "lftp put (passive)" "$f_l" "$(rate x "$f_l")"
echo "HttpGet / curl rate ratio:        $(ratio "$h_t" "$h_c")"
echo "FtpStore passive / lftp ratio:    $(ratio "$f_p" "$f_l")"
echo "FtpStore active / lftp ratio:     $(ratio "$f_a" "$f_l")"
