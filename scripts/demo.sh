#!/usr/bin/env bash
# The main job: what a merchant's first run looks like.
set -euo pipefail
cli=${1:-build/cli/tolmi-cli}
"$cli" --version
