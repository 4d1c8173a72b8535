#!/usr/bin/env bash
# The release as a Windows user gets it: packages the Windows build the way
# scripts/release.sh does, then, in a fresh Wine prefix of its own,
#   1. installs the installer silently for this user and checks the install,
#      then the installed program, then a reinstall over the running program,
#   2. uninstalls silently and checks what is gone and what is kept,
#   3. installs and uninstalls again beside the keys an earlier machine-wide
#      copy left, and checks that they stay as they were,
#   4. unpacks the zip into a folder with a space in its name and checks that
#      the copy loads its rows, launches a hot key's target and saves at close.
# The checks inside Wine are release_test.exe's suites.
# Usage: check_release.sh BUILD_DIR RELEASE_TEST_EXE   (exit 77: cannot run here)
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
tester=${2:?release_test.exe}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

if ! command -v makensis >/dev/null; then
    echo "SKIP: makensis is missing (Debian package nsis; scripts/release.sh installs it)"
    exit 77
fi

failed=0
fail() { echo "FAIL: $*"; failed=1; }

out="$build/release-check"
brimlow_package_release "$build" "$out" || { echo "FAIL: packaging the release"; exit 1; }

# The zip holds the release folder and nothing else.
expected=$'Brimlow/Ostrad.dll\nBrimlow/ReadMe.txt\nBrimlow/data/shortcuts.ini\nBrimlow/help.txt\nBrimlow/program.exe'
listed=$(cmake -E tar tf "$BRIMLOW_ZIP" | grep -v '/$' | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the zip holds: $(tr '\n' ' ' <<<"$listed")"
# The read-me is for Notepad: CR LF after every line.
readme="$BRIMLOW_STAGE/ReadMe.txt"
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] && [ "$(tail -c 2 "$readme" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    fail "ReadMe.txt has line ends other than CR LF"

brimlow_ensure_display
# A fresh prefix every run ($out was emptied): nothing of an earlier install.
brimlow_wine_prefix "$out/prefix"
BRIMLOW_STAGE_DIR=$(winepath -w "$BRIMLOW_STAGE" 2>/dev/null)
setup_file=$BRIMLOW_SETUP
BRIMLOW_SETUP=$(winepath -w "$setup_file" 2>/dev/null)
export BRIMLOW_STAGE_DIR BRIMLOW_SETUP BRIMLOW_VERSION
# Ends this prefix's processes, and the X server when it was started here.
trap brimlow_stop_display EXIT

# The uninstaller as Apps & features runs it: from this user's entry.
uninstall_silently() {
    local uninstaller
    uninstaller=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimlow' \
                      /v UninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *"\(.*\)"$/\1/p')
    if [ -z "$uninstaller" ]; then
        fail "no UninstallString under HKCU"
        return
    fi
    echo "== Silent uninstall: $uninstaller /S"
    # The uninstaller runs on from a copy of itself; wait for every process.
    wine "$uninstaller" /S
    local status=$?
    timeout 120 wineserver -w
    [ $status -eq 0 ] || fail "the uninstaller ended with $status"
}

install_silently() {
    echo "== Silent install: $(basename "$setup_file") /S"
    wine "$setup_file" /S
    local status=$?
    timeout 120 wineserver -w
    [ $status -eq 0 ] || fail "the installer ended with $status"
}

install_silently
# Checked before anything starts the installed program, which registers
# itself machine-wide wherever the system lets it.
wine "$tester" --gtest_filter='InstalledRelease.*' || fail "the installed release"
wine "$tester" --gtest_filter='InstalledProgram.*' || fail "the installed program"

echo "== Silent reinstall while the installed program runs"
wine "$tester" --gtest_filter='ReinstalledRelease.*' || fail "the reinstalled release"
timeout 120 wineserver -w

uninstall_silently
wine "$tester" --gtest_filter='UninstalledRelease.*' || fail "the uninstalled release"

echo "== Install and uninstall again beside the keys of an earlier machine-wide copy"
BRIMLOW_MACHINE_COPY='C:\Program Files\Brimlow'
export BRIMLOW_MACHINE_COPY
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Brimlow /t REG_SZ \
    /d "$BRIMLOW_MACHINE_COPY\Program.exe" /f >/dev/null &&
    wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimlow' /v InstallLocation /t REG_SZ \
        /d "$BRIMLOW_MACHINE_COPY" /f >/dev/null || fail "writing the machine-wide copy's keys"
install_silently
wine "$tester" --gtest_filter='InstalledAgain.*' || fail "the second install"
uninstall_silently
wine "$tester" --gtest_filter='UninstalledAgain.*' || fail "the second uninstall"

echo "== The zip unpacked into a folder with a space"
portable="$WINEPREFIX/drive_c/Brimlow portable test"
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$BRIMLOW_ZIP") || fail "unpacking the zip"
BRIMLOW_PORTABLE_DIR='C:\Brimlow portable test\Brimlow' wine "$tester" --gtest_filter='PortableRelease.*' ||
    fail "the unpacked zip"

if [ $failed -eq 0 ]; then
    # The prefix is some 700 MB; a failed run keeps it for a look inside.
    wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    echo "release checks passed: $(basename "$setup_file") $(stat -c %s "$setup_file") bytes," \
         "$(basename "$BRIMLOW_ZIP") $(stat -c %s "$BRIMLOW_ZIP") bytes"
fi
exit $failed
