#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent; silent when all is there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libudev-dev libpugixml-dev
  qt6-base-dev qt6-qpa-plugins libqt6test6
  fonts-dseg fonts-liberation2 fonts-wqy-microhei
  scdoc librsvg2-bin dpkg-dev file desktop-file-utils appstream
  clang libclang-rt-14-dev llvm  # the fuzz targets: libFuzzer, the sanitizer runtimes, llvm-symbolizer
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
