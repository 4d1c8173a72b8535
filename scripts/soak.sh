#!/usr/bin/env bash
# The long soak under Wine: a million ticks, ten thousand icon refreshes and a
# thousand load and save cycles of the real main window, in process.
#   scripts/soak.sh [scale]     scale 1 (default) is the whole soak
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"
scale=${1:-1}
brimlow_install_deps
brimlow_build_windows soak_test >/dev/null
brimlow_ensure_display
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix-soak"
echo "== Soak at scale $scale ($(date -u +%Y-%m-%dT%H:%MZ))"
start=$(date +%s)
cd build/win/bin
set +e
BRIMLOW_SOAK_SCALE=$scale wine soak_test.exe 2>/dev/null | tr -d '\r' | grep -E '^soak:|OK|FAILED|Failure|expected|Which is'
status=${PIPESTATUS[0]}
set -e
echo "soak: $(( $(date +%s) - start )) s, exit $status"
wineserver -k >/dev/null 2>&1 || true
exit "$status"
