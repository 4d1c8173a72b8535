#!/usr/bin/env bash
# Takes screenshots of the main window under Xvfb at 96, 120 and 144 dpi, into
# build/screenshots/ (not committed). The program runs in a Wine virtual
# desktop, which draws the window frames that a bare X server would not, and
# a taskbar: tray-96.png is its notification area, enlarged three times, with
# the program's icon in it, and tray-paused-96.png the same once
# "program.exe /pause" has paused the hot keys. Then the main window and the
# About box once more at 96 dpi in the colours of High Contrast Black and of
# High Contrast White (main-contrast-black.png, about-contrast-black.png, ...),
# with the paused tray in those colours (tray-paused-contrast-black.png, ...).
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

# The colours of a high-contrast scheme (black or white) as a registry file
# for "HKCU\Control Panel\Colors", which Wine reads when a program starts.
contrast_colours() {  # black | white
    local back fore select dimmed hot name
    if [ "$1" = black ]; then
        back="0 0 0" fore="255 255 255" select="26 235 255" dimmed="63 242 0" hot="255 255 0"
    else
        back="255 255 255" fore="0 0 0" select="55 0 110" dimmed="96 0 0" hot="0 0 159"
    fi
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\r\n'
    for name in Background Window ButtonFace Menu MenuBar InfoWindow ActiveTitle InactiveTitle AppWorkSpace \
        ButtonAlternateFace GradientActiveTitle GradientInactiveTitle HilightText; do
        printf '"%s"="%s"\r\n' "$name" "$back"
    done
    for name in WindowText ButtonText MenuText InfoText TitleText WindowFrame ActiveBorder InactiveBorder \
        ButtonHilight ButtonLight ButtonDkShadow ButtonShadow Scrollbar; do
        printf '"%s"="%s"\r\n' "$name" "$fore"
    done
    printf '"Hilight"="%s"\r\n"MenuHilight"="%s"\r\n' "$select" "$select"
    printf '"GrayText"="%s"\r\n"InactiveTitleText"="%s"\r\n"HotTrackingColor"="%s"\r\n' "$dimmed" "$dimmed" "$hot"
}

# Starts the program in a fresh virtual desktop and captures the main window
# as main-NAME.png, then opens Help > About and captures it as about-NAME.png.
shoot() {  # name
    local name=$1 desktop about attempt shown
    wineserver -k >/dev/null 2>&1 || true
    wine explorer /desktop=brimlow,1100x1000 program.exe >/dev/null 2>&1 &
    shown=$!
    capture_when_drawn "$out/main-$name.png"
    if [ "$name" = 96 ]; then
        tray "$out/main-$name.png" "$out/tray-$name.png"
    fi
    # Help > About, typed into the virtual desktop as a user would; typed
    # again while no About box shows, as keys that come before Wine has made
    # the program's window the active one are lost. The pointer rests on the
    # window first: with the pointer on the bare desktop (the 96-dpi window
    # ends short of the screen's middle) the window gets no keys.
    desktop=$(xdotool search --name 'brimlow - Wine desktop' 2>/dev/null | head -n 1 || true)
    xdotool mousemove 200 300 2>/dev/null || true
    sleep 0.5
    about=""
    for attempt in 1 2 3; do
        [ -n "$desktop" ] || break
        xdotool windowfocus --sync "$desktop" 2>/dev/null || true
        xdotool key --clearmodifiers alt+h a
        if capture_when_drawn "$out/about-$name.png" "$out/main-$name.png" 5 2>/dev/null; then
            about="$out/about-$name.png"
            break
        fi
    done
    if [ -n "$about" ]; then
        echo "$about"
    else
        rm -f "$out/about-$name.png"
        echo "No About box ($name): Help > About typed with xdotool changed nothing on the screen" >&2
    fi
    # The paused icon: asked from a script, as a user's game launcher would.
    if [ "$name" = 96 ] || [ "${name#contrast-}" != "$name" ]; then
        local paused=0
        wine program.exe /pause >/dev/null 2>&1 || paused=$?
        if [ "$paused" -eq 0 ] && capture_when_drawn "$out/.paused.png" "${about:-$out/main-$name.png}" 10 2>/dev/null; then
            tray "$out/.paused.png" "$out/tray-paused-$name.png"
        else
            echo "No paused tray ($name): program.exe /pause ended with $paused or the screen did not change" >&2
        fi
        rm -f "$out/.paused.png"
    fi
    wineserver -k >/dev/null 2>&1 || true
    wait "$shown" 2>/dev/null || true
    echo "$out/main-$name.png"
}

# The taskbar's notification area of a capture, enlarged three times.
tray() {  # capture file
    convert "$1" -gravity SouthEast -crop 240x40+0+0 +repage -scale 300% "$2"
    echo "$2"
}

set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }

cd build/win/bin
for dpi in ${BRIMLOW_SHOT_DPIS:-96 120 144}; do
    set_dpi "$dpi"
    shoot "$dpi"
done

# The prefix's own colours are kept and put back after the high-contrast
# shots, also when one of them fails.
set_dpi 96
colours="$out/.colours.reg"
wine reg export 'HKCU\Control Panel\Colors' "$colours" /y >/dev/null 2>&1
restore_colours() {
    wine reg delete 'HKCU\Control Panel\Colors' /f >/dev/null 2>&1 || true
    wine reg import "$colours" >/dev/null 2>&1 || true
    wineserver -k >/dev/null 2>&1 || true
    rm -f "$colours" "$out/.contrast.reg"
}
trap 'restore_colours; brimlow_stop_display' EXIT
for scheme in black white; do
    contrast_colours "$scheme" >"$out/.contrast.reg"
    wine reg import "$out/.contrast.reg" >/dev/null 2>&1
    shoot "contrast-$scheme"
done
