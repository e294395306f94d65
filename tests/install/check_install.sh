#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a user gets: the programs, the
# data, the manuals (rendered without warnings, naming every tolmi-cli command), the desktop
# entry and AppStream metadata, the bash completion and the systemd unit; then the installed
# tolmi-cli seeds a fresh home from the installed data and builds the sample store.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/usr
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/tolmi-cli bin/tolmi-server
  share/tolmi/scheme.dat share/tolmi/domain.dat share/tolmi/cc.dat share/tolmi/engines.dat
  share/tolmi/settings.dat share/tolmi/template/tolmi.js share/tolmi/samples/TeaShop/TeaShop.stp
  share/man/man1/tolmi-cli.1.gz share/man/man1/tolmi-server.1.gz
  share/bash-completion/completions/tolmi-cli
  lib/systemd/system/tolmi-server.service
  share/doc/tolmi/copyright share/doc/tolmi/changelog.gz
)
if [ -x "$build/ui/tolmi" ]; then
  expected+=(
    bin/tolmi share/man/man1/tolmi.1.gz
    share/applications/org.tolmi.Tolmi.desktop share/metainfo/org.tolmi.Tolmi.metainfo.xml
    share/icons/hicolor/scalable/apps/org.tolmi.Tolmi.svg
    share/icons/hicolor/48x48/apps/org.tolmi.Tolmi.png
    share/icons/hicolor/256x256/apps/org.tolmi.Tolmi.png
  )
fi
for f in "${expected[@]}"; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done

# Manuals render without warnings.
if command -v man >/dev/null; then
  for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done
fi
# Every command of tolmi-cli has its entry in the manual and is offered by the completion.
cli=$prefix/bin/tolmi-cli
manual=$(zcat "$prefix/share/man/man1/tolmi-cli.1.gz" | sed 's/\\-/-/g')
commands() {  # the names under "Subcommands:" of a help text
  "$cli" "$@" --help | awk '$0 == "Subcommands:" { on = 1; next } /^$/ || /^[A-Za-z]+:$/ { on = 0 }
                             on && /^  [^ ]/ { print $1 }'
}
for command in $(commands); do
  for sub in $(commands "$command"); do
    grep -q "^\.[A-Z]*B[A-Z]* \"*$command $sub\b" <<<"$manual" || fail "manual lacks: $command $sub"
  done
  grep -Eq "^\.[A-Z]*B[A-Z]* \"?$command( |\"|$)" <<<"$manual" || fail "manual lacks: $command"
done
completion=$(
  source "$prefix/share/bash-completion/completions/tolmi-cli"
  COMP_WORDS=("$cli" orders ma); COMP_CWORD=2; _tolmi_cli; echo "${COMPREPLY[*]}"
)
[ "$completion" = mark ] || fail "completion of 'orders ma' gave '$completion'"

if command -v desktop-file-validate >/dev/null && [ -e "$prefix/share/applications" ]; then
  desktop-file-validate "$prefix"/share/applications/*.desktop || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null && [ -e "$prefix/share/metainfo" ]; then
  appstreamcli validate --no-net "$prefix"/share/metainfo/*.xml >/dev/null || fail "metainfo"
fi
unit=$prefix/lib/systemd/system/tolmi-server.service
grep -q "^ExecStart=$prefix/bin/tolmi-server " "$unit" || fail "unit ExecStart: $(grep ExecStart "$unit")"
if command -v systemd-analyze >/dev/null; then
  MANPATH=$prefix/share/man systemd-analyze verify "$unit" || fail "systemd-analyze verify"
fi

# The installed tolmi-cli finds its data under the prefix and builds the sample store.
home=$tmp/home
env -u TOLMI_DATA_DIR "$cli" --home "$home" config server=http://127.0.0.1:8080/ >/dev/null ||
  fail "config"
out=$(env -u TOLMI_DATA_DIR -u TOLMI_HOME "$cli" --home "$home" build \
      "$home/samples/TeaShop/TeaShop.stp" --dir "$tmp/web" 2>&1) || fail "build: $out"
grep -q '^Store Build Complete\. (0 errors' <<<"$out" || fail "build log: $out"
cmp -s "$prefix/share/tolmi/template/tolmi.js" "$home/template/tolmi.js" || fail "home not seeded"
[ -s "$tmp/web/index.html" ] || fail "no index.html built"
"$prefix/bin/tolmi-server" --help >/dev/null || fail "tolmi-server --help"

[ "$failures" -eq 0 ] && echo "install tree: all checks passed"
exit "$failures"
