#!/usr/bin/env bash
# Builds and starts the window. Without an attached meter it runs the simulated one; without a
# display at all it starts the command-line monitor instead.
#   scripts/run.sh [--connect] [other qm7310p options]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
cli=build/src/app/cli/qm7310p-cli
gui=build/src/app/gui/qm7310p
demo=()
if [ -z "$("$cli" list 2>/dev/null | grep -v '^#')" ]; then
  echo "No meter attached: running the simulated meter." >&2
  demo=(--demo)
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "No display here: starting the command-line monitor instead of the window." >&2
  exec "$cli" monitor "${demo[@]}"
fi
exec "$gui" "${demo[@]}" "$@"
