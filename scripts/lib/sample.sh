# Shell functions shared by the demo and the screenshot script.

# Lays out a sample kit and a sample Wine-style installation of Vinta-Prell:
#   <demo>/kit/TavroUpdate0075a with TavroUpdateFiles/V and U beside it,
#   <demo>/prefix/drive_c/Program Files (x86)/Ostrel Industries/Vinta-Prell/Tavro.exe
# Sets kit, prefix and install.
lay_out_sample() { # demo folder (recreated), built utility
    local demo="$1" utility="$2"
    kit="$demo/kit"
    prefix="$demo/prefix"
    install="$prefix/drive_c/Program Files (x86)/Ostrel Industries/Vinta-Prell"
    rm -rf "$demo"
    mkdir -p "$kit/TavroUpdateFiles/V" "$kit/TavroUpdateFiles/U" "$install"

    # The utility finds its kit beside its own executable, so it is copied, not linked.
    cp "$utility" "$kit/"

    sample_exe() { # file, text
        { printf 'MZ\x90\x00'; printf '%s\n' "$2"; } > "$1"
    }
    sample_exe "$kit/TavroUpdateFiles/V/Tavro.exe" "Tavro 3.04.0075a for Vinta-Prell (sample)"
    sample_exe "$kit/TavroUpdateFiles/U/Tavro.exe" "Tavro 3.04.0075a for Ulvo-Damar (sample)"
    sample_exe "$install/Tavro.exe" "Tavro 3.01 as installed (sample)"

    # The new executable's creation time, 2026-11-20 10:30:00.123 UTC, as the
    # FILETIME the utility carries over (little-endian, in an extended attribute).
    ticks=$(( (1795170600 + 11644473600) * 10000000 + 123 * 10000 ))
    hex=$(printf '%016x' "$ticks")
    le=""
    for i in 14 12 10 8 6 4 2 0; do le+="${hex:$i:2}"; done
    setfattr -n user.tavro.creation_time -v "0x$le" "$kit/TavroUpdateFiles/V/Tavro.exe"
}

# The creation time kept in the extended attribute, as a UTC date, or nothing.
creation_time_of() {
    local hex le="" ticks
    hex=$(getfattr --absolute-names -n user.tavro.creation_time -e hex "$1" 2>/dev/null |
        sed -n 's/^user.tavro.creation_time=0x//p')
    [ ${#hex} -eq 16 ] || return 0
    for i in 14 12 10 8 6 4 2 0; do le+="${hex:$i:2}"; done
    ticks=$((16#$le))
    printf '%s.%03d UTC' "$(date -u -d "@$((ticks / 10000000 - 11644473600))" '+%F %T')" \
        $(((ticks / 10000) % 1000))
}

show_install() {
    echo "--- $1: $install"
    for f in "$install"/*; do
        [ -e "$f" ] || continue
        printf '  %-13s %3d bytes  %s\n' "$(basename "$f")" "$(stat -c %s "$f")" \
            "$(tail -c +5 "$f")"
        local created
        created=$(creation_time_of "$f")
        [ -z "$created" ] || printf '                creation time %s\n' "$created"
    done
}

# Waits for the main window and prints its X window id.
wait_for_window() {
    xdotool search --sync --onlyvisible --name "Tavro Update to 3.04.0075a" | head -n 1
}
