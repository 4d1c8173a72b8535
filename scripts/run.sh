#!/usr/bin/env bash
# Builds program.exe and Ostrad.dll and starts the program under Wine with the
# shipped default shortcuts file, in a Wine prefix of its own
# (build/wineprefix-run). Installs what is missing on Debian first. Says in a
# line each what it does; a step's own output shows only when it fails.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps
# The prefix comes first: the build's own Windows tool runs in it too.
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix-run"
echo "Building program.exe and Ostrad.dll in build/win"
brimlow_quietly "$BRIMLOW_ROOT/build/logs/build.log" brimlow_build_windows program Ostrad program_files
brimlow_ensure_display
echo "Starting Brimlow: build/win/bin/program.exe (it runs until you close its window)"
cd build/win/bin
exec_status=0
wine program.exe || exec_status=$?
wineserver -w 2>/dev/null || true
exit $exec_status
