#!/usr/bin/env bash
# The kit maker: refuses anything that is not a Windows executable, and packs
# the utility with both new executables beside it.
set -euo pipefail
source_dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'MZ\x90\x00new for Vinta-Prell' > "$work/v.exe"
printf 'MZ\x90\x00new for Ulvo-Damar' > "$work/u.exe"
printf '\x7fELF not for Windows' > "$work/elf"
: > "$work/empty"
mkdir "$work/folder"

configure() { # V, U
    cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTAVRO_BUILD_TESTS=OFF -DTAVRO_KIT_V="$1" -DTAVRO_KIT_U="$2" > "$work/log" 2>&1
}

refused=0
for bad in "$work/elf" "$work/empty" "$work/folder" "$work/missing"; do
    if configure "$work/v.exe" "$bad"; then
        fail "accepted $bad"
    fi
    grep -qE 'not a Windows executable|was not found' "$work/log" || fail "no clear reason for $bad"
    refused=$((refused + 1))
    rm -rf "$work/build"
done

configure "$work/v.exe" "$work/u.exe" || { cat "$work/log"; fail "refused good executables"; }
cmake --build "$work/build" --target TavroUpdate0075a > /dev/null
(cd "$work/build" && cpack > /dev/null)
listing=$(tar tzf "$work/build/TavroUpdate0075a-kit-Linux.tar.gz" | sort | tr '\n' ' ')
expected="TavroUpdate0075a TavroUpdateFiles/ TavroUpdateFiles/U/ TavroUpdateFiles/U/Tavro.exe TavroUpdateFiles/V/ TavroUpdateFiles/V/Tavro.exe "
[ "$listing" = "$expected" ] || fail "kit holds: $listing"
mkdir "$work/unpacked"
tar xzf "$work/build/TavroUpdate0075a-kit-Linux.tar.gz" -C "$work/unpacked"
cmp "$work/unpacked/TavroUpdateFiles/V/Tavro.exe" "$work/v.exe" || fail "V holds another file"
cmp "$work/unpacked/TavroUpdateFiles/U/Tavro.exe" "$work/u.exe" || fail "U holds another file"
echo "kit refusals: $refused, kit layout: $((refused + 1)) passed, 0 failed"
