#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and the sources the Windows cross
# build compiles itself. Idempotent; silent when all is there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev googletest
  libudev-dev libpugixml-dev
  qt6-base-dev qt6-qpa-plugins libqt6test6
  fonts-dseg fonts-liberation2 fonts-wqy-microhei
  scdoc librsvg2-bin dpkg-dev file desktop-file-utils appstream
  clang libclang-rt-14-dev llvm  # the fuzz targets: libFuzzer, the sanitizer runtimes, llvm-symbolizer
  # The Windows builds (32- and 64-bit) and Wine to run their tests.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
)
# pugixml has no mingw package: the cross build compiles it from Debian's source package.
pugixml_dir=/usr/local/src/qm-third-party/pugixml

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # wine32 is a package of the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$pugixml_dir/src/pugixml.cpp" ]; then
  echo "Fetching the pugixml sources into $pugixml_dir"
  src_list=/etc/apt/sources.list.d/qm-deb-src.sources
  if [ ! -f "$src_list" ]; then
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $sudo tee "$src_list" >/dev/null
    $sudo apt-get update -qq
  fi
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq --download-only pugixml >/dev/null 2>&1)
  $sudo mkdir -p "$pugixml_dir"
  $sudo tar -xzf "$tmp"/pugixml_*.orig.tar.gz -C "$pugixml_dir" --strip-components=1
  rm -rf "$tmp"
fi
