#!/usr/bin/env bash
# Builds program.exe and Ostrad.dll and starts the program under Wine with the
# shipped default shortcuts file. Installs what is missing on Debian first.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps
brimlow_build_windows program Ostrad program_files
brimlow_ensure_display
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
cd build/win/bin
exec_status=0
wine program.exe || exec_status=$?
wineserver -w 2>/dev/null || true
exit $exec_status
