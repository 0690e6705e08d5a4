#!/usr/bin/env bash
# Builds and starts the program. Without an attached meter it runs the simulated one.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
cli=build/src/app/cli/qm7310p-cli
if [ -n "$("$cli" list 2>/dev/null | grep -v '^#')" ]; then
  exec "$cli" monitor "$@"
fi
echo "No meter attached: running the simulated meter." >&2
exec "$cli" monitor --demo "$@"
