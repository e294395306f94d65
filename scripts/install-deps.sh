#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Runs apt only as root; otherwise it lists what is missing and goes on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for p in "${wanted[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  :
elif [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages (install them as root): ${missing[*]}" >&2
fi

# playwright-core for the browser tests (uses Debian's chromium, downloads no browser).
# Debian's nodejs comes without npm; NodeSource's node brings its own (and conflicts with it).
e2e="$here/../tests/e2e"
if ! command -v npm >/dev/null && command -v node >/dev/null && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm \
    || echo "npm could not be installed; browser tests will skip" >&2
fi
# Again when the lock file is newer than what was installed (a package was added).
if command -v npm >/dev/null && [ -f "$e2e/package-lock.json" ] &&
   { [ ! -d "$e2e/node_modules" ] || [ "$e2e/package-lock.json" -nt "$e2e/node_modules/.package-lock.json" ]; }; then
  (cd "$e2e" && npm ci --no-audit --no-fund) || echo "npm ci in tests/e2e failed; browser tests will skip" >&2
fi
