#!/usr/bin/env bash
# Builds the Debian package of the two programs, qm7310p-link_VERSION_ARCH.deb, from the build in
# ./build (or $QM_BUILD_DIR), building that first, and prints the package's path. Install it with
#   sudo apt-get install ./build/package/qm7310p-link_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${QM_BUILD_DIR:-build}"
QM_BUILD_DIR="$dir" ./scripts/build.sh >&2
out="$dir/package"
rm -rf "$out"
# CPack's DEB generator: the libraries' packages come from the binaries through dpkg-shlibdeps.
cpack --config "$dir/CPackConfig.cmake" -B "$out" >&2
shopt -s nullglob
debs=("$out"/qm7310p-link_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "package.sh: expected one .deb in $out, found ${#debs[@]}" >&2; exit 1; }
realpath "${debs[0]}"
