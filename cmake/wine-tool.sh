#!/bin/sh
# Runs a Windows program the build made (a build step's tool) under Wine,
# quietly: Wine's own start-up messages, and on a first run those of making
# its prefix, read like failures though the step succeeds. They are kept and
# shown only when the tool fails. No display is used, so a build never needs
# one; the tools are console programs.
# Usage: wine-tool.sh PREFIX TOOL.exe ARGUMENTS...
#   PREFIX  the Wine prefix to use unless WINEPREFIX is set; made on first use
prefix=${1:?Wine prefix folder}
tool=${2:?tool to run}
shift
log=$(mktemp) || exit 1
trap 'rm -f "$log"' EXIT
if env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="${WINEPREFIX:-$prefix}" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wine "$@" >"$log" 2>&1; then
    exit 0
else
    status=$?
    echo "$(basename "$tool") failed under Wine (exit status $status, prefix ${WINEPREFIX:-$prefix}); its output and Wine's:" >&2
    cat "$log" >&2
    exit $status
fi
