#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it without installing it: its file list,
# its control data and dependencies, its maintainer scripts, the desktop entry and AppStream
# validators, the manual pages against the programs' --help, and the packaged programs' --version
# run from the unpacked tree. Any failed check stops the script with a message and exit status 1.
#   scripts/check-package.sh [PACKAGE.deb]     (without an argument it builds the package first)
set -euo pipefail
given="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."

fail() {
  echo "check-package: FAILED: $*" >&2
  exit 1
}
ok() { echo "check-package: ok: $*"; }

if [ -n "$given" ]; then
  deb="$given"
else
  ./scripts/install-deps.sh
  deb="$(./scripts/package.sh)"
fi
[ -f "$deb" ] || fail "no package at $deb"
for tool in dpkg-deb desktop-file-validate appstreamcli readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$tmp/control"

# --- control data -------------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qm7310p-link ] || fail "package name is '$(field Package)', not qm7310p-link"
version="$(field Version)"
project_version="$(sed -n 's/^project(qm7310p-link VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$project_version" ] || fail "no version in the project() call of CMakeLists.txt"
[ "$version" = "$project_version" ] || fail "package version $version, project version $project_version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
for f in Maintainer Description Section; do [ -n "$(field "$f")" ] || fail "empty $f field"; done
[ "$(basename "$deb")" = "qm7310p-link_${version}_$(field Architecture).deb" ] || fail "file name $(basename "$deb")"
ok "control data of qm7310p-link $version"

# --- file list ----------------------------------------------------------------------------------
dpkg-deb -c "$deb" >"$tmp/contents"
expected=(
  usr/bin/qm7310p
  usr/bin/qm7310p-cli
  usr/lib/udev/rules.d/70-qm7310p-bridges.rules
  usr/share/applications/org.qm7310p.link.desktop
  usr/share/metainfo/org.qm7310p.link.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/qm7310p.svg
  usr/share/man/man1/qm7310p.1.gz
  usr/share/man/man1/qm7310p-cli.1.gz
  usr/share/doc/qm7310p-link/fonts/OFL-DSEG.txt
  usr/share/doc/qm7310p-link/fonts/OFL-Liberation.txt
)
for size in 16 22 24 32 48 64 128 256; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/qm7310p.png"); done
for path in "${expected[@]}"; do
  grep -q " \./$path\$" "$tmp/contents" || fail "missing from the package: /$path"
done
# Everything lies in the places a package may use, owned by root, and nothing is writable by others.
awk '{ print $6 }' "$tmp/contents" | grep -v -E '^\./(usr/?|usr/bin/.*|usr/lib/?|usr/lib/udev/.*|usr/share/?|usr/share/(applications|metainfo|icons|man|doc)(/.*)?)?$' \
  >"$tmp/stray" && fail "files outside the package's places: $(tr '\n' ' ' <"$tmp/stray")"
awk '$2 != "root/root" { print $6 }' "$tmp/contents" >"$tmp/owners"
[ ! -s "$tmp/owners" ] || fail "not owned by root: $(tr '\n' ' ' <"$tmp/owners")"
awk 'substr($1, 9, 1) == "w" { print $6 }' "$tmp/contents" >"$tmp/writable"
[ ! -s "$tmp/writable" ] || fail "writable by others: $(tr '\n' ' ' <"$tmp/writable")"
for exe in qm7310p qm7310p-cli; do
  [ -x "$root/usr/bin/$exe" ] || fail "/usr/bin/$exe is not executable"
  readelf -S "$root/usr/bin/$exe" >"$tmp/sections"
  grep -q '\.debug_info' "$tmp/sections" && fail "/usr/bin/$exe is not stripped"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/qm7310p.png"
  # The PNG header holds width and height as 4-byte big-endian numbers at offsets 16 and 20.
  dims="$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')"
  [ "$dims" = "${size}x${size}" ] || fail "icon ${size}x${size} is $dims"
done
ok "file list (${#expected[@]} files checked)"

# --- dependencies -------------------------------------------------------------------------------
# Each library the programs load directly must come from a package the control data names, as this
# machine (where they were built) has it installed.
depends="$(field Depends)"
dep_names=" $(echo "$depends" | sed -E 's/\([^)]*\)//g; s/[,|]/ /g') "
for exe in qm7310p qm7310p-cli; do
  bin="$root/usr/bin/$exe"
  for lib in $(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path="$(ldd "$bin" | awk -v lib="$lib" '$1 == lib { print $3 }')"
    [ -n "$path" ] || fail "$exe needs $lib, which this machine cannot find"
    owner="$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null)" ||
      fail "no installed package holds $path ($exe needs it)"
    pkg="${owner%%:*}"
    [[ "$dep_names" == *" $pkg "* ]] || fail "$exe needs $lib from $pkg, which Depends lacks: $depends"
  done
done
# The window draws the meter's phase-angle unit with the CJK font; the DSEG and Liberation fonts it
# carries inside.
[[ "$dep_names" == *" fonts-wqy-microhei "* ]] || fail "Depends lacks fonts-wqy-microhei: $depends"
ok "dependencies: $depends"

# --- maintainer scripts -------------------------------------------------------------------------
for script in postinst postrm; do
  [ -x "$tmp/control/$script" ] || fail "no executable $script in the package"
  sh -n "$tmp/control/$script" || fail "$script does not parse"
done
# postinst: with udev, the rules are reloaded and exactly the bridges' hidraw nodes re-triggered (a
# fake sysfs with a CP2110, a CH9329 and a keyboard, and a udevadm that notes its arguments);
# without udevadm it still succeeds.
fake="$tmp/fake"
mkdir -p "$fake/bin" "$fake/sys/class/hidraw"
cat >"$fake/bin/udevadm" <<EOF
#!/bin/sh
echo "\$*" >>"$fake/udevadm.log"
EOF
chmod +x "$fake/bin/udevadm"
for node in "hidraw0 0003:000010C4:0000EA80" "hidraw1 0003:0000046D:0000C31C" "hidraw2 0003:00001A86:0000E429"; do
  read -r name id <<<"$node"
  mkdir -p "$fake/sys/class/hidraw/$name/device"
  printf 'DRIVER=hid-generic\nHID_ID=%s\nHID_NAME=x\n' "$id" >"$fake/sys/class/hidraw/$name/device/uevent"
done
sed "s|/sys/class/hidraw|$fake/sys/class/hidraw|g" "$tmp/control/postinst" >"$fake/postinst"
PATH="$fake/bin:$PATH" sh "$fake/postinst" configure || fail "postinst configure failed"
grep -qx 'control --reload-rules' "$fake/udevadm.log" || fail "postinst did not reload the udev rules"
grep -qx 'trigger --action=change --subsystem-match=hidraw --sysname-match=hidraw0 --sysname-match=hidraw2' \
  "$fake/udevadm.log" || fail "postinst did not re-trigger exactly the bridges: $(cat "$fake/udevadm.log")"
rm -rf "$fake/sys/class/hidraw/"*
: >"$fake/udevadm.log"
PATH="$fake/bin:$PATH" sh "$fake/postinst" configure || fail "postinst configure without bridges failed"
grep -q trigger "$fake/udevadm.log" && fail "postinst triggered hidraw nodes with no bridge attached"
mkdir -p "$fake/empty"
PATH="$fake/empty" /bin/sh "$tmp/control/postinst" configure || fail "postinst fails without udevadm"
for action in remove purge; do
  PATH="$fake/empty" /bin/sh "$tmp/control/postrm" "$action" || fail "postrm $action fails without udevadm"
done
ok "maintainer scripts"

# --- desktop entry and AppStream ----------------------------------------------------------------
desktop="$root/usr/share/applications/org.qm7310p.link.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.qm7310p.link.metainfo.xml" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$root/usr/bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', which the package lacks"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' is missing"
keywords="$(sed -n 's/^Keywords=//p' "$desktop")"
for word in meter clamp power logger; do
  [[ ";$keywords" == *";$word;"* ]] || fail "the desktop entry lacks the keyword $word"
done
ok "desktop entry and AppStream metadata"

# --- the programs from the unpacked tree ----------------------------------------------------------
# No display: --version and --help must answer before the window needs one.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
out="$("${nodisplay[@]}" "$root/usr/bin/qm7310p-cli" --version)" || fail "qm7310p-cli --version failed"
[ "$out" = "qm7310p-cli $version" ] || fail "qm7310p-cli --version says '$out', the package is $version"
out="$("${nodisplay[@]}" "$root/usr/bin/qm7310p" --version)" || fail "qm7310p --version failed"
[ "$out" = "qm7310p $version" ] || fail "qm7310p --version says '$out', the package is $version"
ok "qm7310p-cli --version and qm7310p --version say $version"

# --- manual pages ---------------------------------------------------------------------------------
# Every option in a program's --help has its entry in the manual page, and each page has the
# sections a reader looks for.
for exe in qm7310p qm7310p-cli; do
  page="$root/usr/share/man/man1/$exe.1.gz"
  gzip -t "$page" || fail "$exe.1.gz is not a gzip file"
  zcat "$page" >"$tmp/$exe.1"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    grep -Eq "^\.SH \"?$section\"?\$" "$tmp/$exe.1" || fail "$exe.1 lacks the section $section"
  done
  grep -q "$version" "$tmp/$exe.1" || fail "$exe.1 does not carry the version $version"
  options="$("${nodisplay[@]}" "$root/usr/bin/$exe" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)"
  [ -n "$options" ] || fail "$exe --help lists no options"
  # scdoc writes a hyphen as \- in the page.
  sed 's/\\-/-/g; s/\\fB//g; s/\\fR//g; s/\\fI//g' "$tmp/$exe.1" >"$tmp/$exe.txt"
  for option in $options; do
    grep -q -- "$option" "$tmp/$exe.txt" || fail "$exe.1 does not describe $option"
  done
done
ok "manual pages describe every option of --help"

echo "check-package: $(basename "$deb") passed every check"
