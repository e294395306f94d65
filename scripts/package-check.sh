#!/usr/bin/env bash
# CI: makes the Debian package of a build, installs it on this machine with apt, and takes
# the installed programs through a short journey: a new store, its build, a publish to a
# local FTP server (twice: the second sends nothing), the manuals, the desktop entry, the
# AppStream metadata and the service unit. Runs as root.
# Usage: scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
(cd "$build" && rm -f tolmi_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tolmi_*.deb)
echo "Installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
# An error or a warning of lintian fails the run (docs/packaging.md).
if command -v lintian >/dev/null; then lintian --fail-on error,warning "$deb"; fi

tmp=$(mktemp -d)
ftp_pid=
cleanup() {
  [ -n "$ftp_pid" ] && kill "$ftp_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
python=/usr/bin/python3  # Debian's, with python3-pyftpdlib
port=$($python -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$tmp/ftp"
$python -m pyftpdlib -i 127.0.0.1 -p "$port" -u tolmi -P secret -d "$tmp/ftp" -w \
  >"$tmp/ftp.log" 2>&1 &
ftp_pid=$!

cli() { tolmi-cli --home "$tmp/home" "$@"; }
cli config server=http://127.0.0.1:8080/ >/dev/null
cli new Shop --title "Corner Shop"
cli build Shop | tail -1
printf 'P_SERV=127.0.0.1\nP_PORT=%s\nP_USER=tolmi\nP_DIR=shop\nP_PASV=1\n' "$port" \
  >>"$tmp/home/Projects/Shop/Shop.stp"
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
cli publish Shop --password secret | tail -1
grep -q "Corner Shop" "$tmp/ftp/shop/index.html"
cli publish Shop --password secret | grep -q "0 to transfer"

tolmi-server --help >/dev/null
# The installed manuals open by name and render without warnings.
for file in $(dpkg -L tolmi | grep '/man1/.*\.1\.gz$'); do
  page=$(basename "$file" .1.gz)
  [ "$(man -w "$page")" = "$file" ] || { echo "man $page does not open $file" >&2; exit 1; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page manual: $warnings" >&2; exit 1; }
done
LC_ALL=C.UTF-8 MANWIDTH=80 man tolmi-cli >/dev/null
desktop-file-validate /usr/share/applications/org.tolmi.Tolmi.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.tolmi.Tolmi.metainfo.xml >/dev/null
systemd-analyze verify /usr/lib/systemd/system/tolmi-server.service
echo "package check: the installed programs work"
