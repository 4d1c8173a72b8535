#!/usr/bin/env bash
# Takes screenshots of the main window under Xvfb at 96, 120 and 144 dpi, into
# build/screenshots/ (not committed). The program runs in a Wine virtual
# desktop, which draws the window frames that a bare X server would not, and
# a taskbar: tray-96.png is its notification area, enlarged three times, with
# the program's icon in it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps imagemagick xdotool
brimlow_build_windows program Ostrad program_files
brimlow_ensure_display
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix-shots"

out="$BRIMLOW_ROOT/build/screenshots"
mkdir -p "$out"

pixels_apart() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{ printf "%d", $1 }'; }

# Captures the virtual desktop into the file once what it shows is drawn:
# more than one colour, unlike the bare desktop, and no more than a blinking
# caret's pixels apart from a capture half a second earlier. With a second
# file, the screen before the last key press, the capture must also differ
# from it. Gives up after the seconds given (a minute).
capture_when_drawn() {  # file [screen before [seconds]]
    local file=$1 before=${2:-} seconds=${3:-60} earlier="$out/.earlier.png" i
    rm -f "$earlier"
    for i in $(seq 1 $((seconds * 2))); do
        import -window root -crop 1100x1000+0+0 "$file"
        if [ "$(identify -format %k "$file")" -gt 1 ] && [ -f "$earlier" ] &&
            [ "$(pixels_apart "$earlier" "$file")" -lt 50 ] &&
            { [ -z "$before" ] || [ "$(pixels_apart "$before" "$file")" -ge 50 ]; }; then
            rm -f "$earlier"
            return 0
        fi
        cp "$file" "$earlier"
        sleep 0.5
    done
    rm -f "$earlier"
    echo "$file: the screen did not settle within $seconds s" >&2
    return 1
}

cd build/win/bin
for dpi in ${BRIMLOW_SHOT_DPIS:-96 120 144}; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wine explorer /desktop=brimlow,1100x1000 program.exe >/dev/null 2>&1 &
    shown=$!
    capture_when_drawn "$out/main-$dpi.png"
    if [ "$dpi" = 96 ]; then
        convert "$out/main-$dpi.png" -gravity SouthEast -crop 240x40+0+0 +repage -scale 300% "$out/tray-$dpi.png"
        echo "$out/tray-$dpi.png"
    fi
    # Help > About, typed into the virtual desktop as a user would; typed
    # again while no About box shows, as keys that come before Wine has made
    # the program's window the active one are lost.
    desktop=$(xdotool search --name 'brimlow - Wine desktop' 2>/dev/null | head -n 1 || true)
    about=""
    for attempt in 1 2 3; do
        [ -n "$desktop" ] || break
        xdotool windowfocus --sync "$desktop" 2>/dev/null || true
        xdotool key --clearmodifiers alt+h a
        if capture_when_drawn "$out/about-$dpi.png" "$out/main-$dpi.png" 5 2>/dev/null; then
            about="$out/about-$dpi.png"
            break
        fi
    done
    if [ -n "$about" ]; then
        echo "$about"
    else
        rm -f "$out/about-$dpi.png"
        echo "No About box at $dpi dpi: Help > About typed with xdotool changed nothing on the screen" >&2
    fi
    wineserver -k >/dev/null 2>&1 || true
    wait "$shown" 2>/dev/null || true
    echo "$out/main-$dpi.png"
done
