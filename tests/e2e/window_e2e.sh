#!/usr/bin/env bash
# The shipped program end to end under Xvfb, driven as a person would:
# an upgrade through "Upgrade Now" and "Done", and the no-products message.
set -euo pipefail
utility="$1"
source_dir="$2"
. "$source_dir/scripts/lib/sample.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# An upgrade: the window, Upgrade Now, then Done.
lay_out_sample "$work/upgrade" "$utility"
status=$(WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    . "$1/scripts/lib/sample.sh"
    "$2/TavroUpdate0075a" &
    app=$!
    wid=$(wait_for_window)
    xdotool mousemove --window "$wid" 75 94 click 1
    sleep 0.5
    xdotool mousemove --window "$wid" 434 280 click 1
    status=0
    wait "$app" || status=$?
    echo "$status"' _ "$source_dir" "$kit")
[ "$status" = 0 ] || fail "the program ended with $status after Done"
grep -q 'Tavro 3.04.0075a for Vinta-Prell' "$install/Tavro.exe" || fail "Tavro.exe was not upgraded"
grep -q 'Tavro 3.01 as installed' "$install/TavroOld.exe" || fail "no backup of the old executable"
[ "$(creation_time_of "$install/Tavro.exe")" = "2026-11-20 10:30:00.123 UTC" ] ||
    fail "the creation time was not carried over: $(creation_time_of "$install/Tavro.exe")"
[ ! -e "$install/Tavro.tmp" ] || fail "the new copy's temporary file was left behind"

# No products: the message comes up, OK dismisses it, the program ends with 0.
lay_out_sample "$work/none" "$utility"
rm -rf "$prefix/drive_c"
status=$(WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    "$1/TavroUpdate0075a" &
    app=$!
    box=$(xdotool search --sync --onlyvisible --name "^Tavroupdate0075a$" | head -n 1)
    xdotool key --window "$box" Return 2>/dev/null || true
    status=0
    wait "$app" || status=$?
    echo "$status"' _ "$kit")
[ "$status" = 0 ] || fail "without products the program ended with $status"
echo "window end to end: 2 passed, 0 failed"
