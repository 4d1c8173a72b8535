#!/usr/bin/env bash
# Builds what a Windows user downloads, into build/release/: the portable zip
# (the release folder: program.exe, Ostrad.dll, help.txt, ReadMe.txt and
# data\shortcuts.ini) and the installer made of the same folder with NSIS.
# Installs what is missing on Debian first.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps nsis
brimlow_build_windows program Ostrad program_files
brimlow_package_release "$BRIMLOW_ROOT/build/win" "$BRIMLOW_ROOT/build/release"

echo "Brimlow $BRIMLOW_VERSION release files:"
for file in "$BRIMLOW_ZIP" "$BRIMLOW_SETUP"; do
    printf '  %-50s %9d bytes (%d KB)\n' "${file#"$BRIMLOW_ROOT"/}" "$(stat -c %s "$file")" $(( ($(stat -c %s "$file") + 1023) / 1024 ))
done
