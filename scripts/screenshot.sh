#!/usr/bin/env bash
# Takes screenshots of the main window under Xvfb at 96, 120 and 144 dpi, into
# build/screenshots/ (not committed). The program runs in a Wine virtual
# desktop, which draws the window frames that a bare X server would not.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps imagemagick xdotool
brimlow_build_windows program Ostrad program_files
brimlow_ensure_display
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix-shots"

out="$BRIMLOW_ROOT/build/screenshots"
mkdir -p "$out"
cd build/win/bin
for dpi in ${BRIMLOW_SHOT_DPIS:-96 120 144}; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wine explorer /desktop=brimlow,1100x1000 program.exe >/dev/null 2>&1 &
    shown=$!
    sleep "${BRIMLOW_SHOT_DELAY:-6}"
    import -window root -crop 1100x1000+0+0 "$out/main-$dpi.png"
    # Help > About, typed into the virtual desktop as a user would.
    desktop=$(xdotool search --name 'brimlow - Wine desktop' 2>/dev/null | head -n 1 || true)
    if [ -n "$desktop" ]; then
        xdotool windowfocus --sync "$desktop" 2>/dev/null || true
        xdotool key --clearmodifiers alt+h a
        sleep 2
        import -window root -crop 1100x1000+0+0 "$out/about-$dpi.png"
        echo "$out/about-$dpi.png"
    fi
    wineserver -k >/dev/null 2>&1 || true
    wait "$shown" 2>/dev/null || true
    echo "$out/main-$dpi.png"
done
