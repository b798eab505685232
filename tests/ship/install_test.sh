#!/usr/bin/env bash
# The system installation: the utility in its own folder, a working link on the
# PATH, a desktop entry that validates, and the icon at every size.
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" --prefix /usr > /dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

exe="$root/usr/lib/tavroupdate/TavroUpdate0075a"
[ -x "$exe" ] || fail "no executable at $exe"
link="$root/usr/bin/TavroUpdate0075a"
[ -L "$link" ] || fail "no link on the PATH"
[ "$(readlink -f "$link")" = "$(readlink -f "$exe")" ] || fail "the link does not lead to the utility"

entry="$root/usr/share/applications/tavroupdate0075a.desktop"
desktop-file-validate "$entry" || fail "desktop entry does not validate"
grep -qx 'Icon=tavroupdate0075a' "$entry" || fail "desktop entry names another icon"

for size in 16 32 48 64; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/tavroupdate0075a.png"
    [ -f "$icon" ] || fail "no ${size}px icon"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "${size}px icon has another size"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/tavroupdate0075a.svg" ] || fail "no scalable icon"
echo "install layout, link, desktop entry and icons: 1 passed, 0 failed"
