#!/usr/bin/env bash
# Starts the window headless with the simulated meter, connects, waits for a few readings (or, with
# --download, for a finished memory download) and saves a PNG of the whole window.
#   scripts/screenshot.sh OUT.png [--download]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 OUT.png [--download]" >&2; exit 2; }
out="$(realpath -m "$1")"
shift
cd "$(dirname "$0")/.."
./scripts/build.sh >/dev/null
QT_QPA_PLATFORM=offscreen build/src/app/gui/qm7310p --demo --period 40 --screenshot "$out" "$@"
echo "$out"
