#!/usr/bin/env bash
# The release as a Windows user gets it: packages the Windows build the way
# scripts/release.sh does, signed with a throwaway certificate, and checks
# what a release refuses (a wrong password, an unreadable certificate, a
# signature that fails half-way: nothing is left behind), the signatures,
# SHA256SUMS and the winget and Scoop manifests. Then, in a fresh Wine
# prefix of its own, it
#   1. installs the installer silently for this user and checks the install,
#      then the installed program, then a reinstall over the running program,
#   2. uninstalls silently and checks what is gone and what is kept,
#   3. installs and uninstalls again beside the keys an earlier machine-wide
#      copy left, and checks that they stay as they were, then into and
#      from a folder named beyond code page 1252 and the BMP,
#   4. unpacks the zip into a folder with a space in its name and checks that
#      the copy loads its rows, launches a hot key's target and saves at close.
# The checks inside Wine are release_test.exe's suites.
# Usage: check_release.sh BUILD_DIR RELEASE_TEST_EXE   (exit 77: cannot run here)
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
tester=${2:?release_test.exe}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
here=$(dirname "${BASH_SOURCE[0]}")

if ! command -v makensis >/dev/null; then
    echo "SKIP: makensis is missing (Debian package nsis; scripts/release.sh installs it)"
    exit 77
fi

failed=0
fail() { echo "FAIL: $*"; failed=1; }

out="$build/release-check"
certs=$(mktemp -d)
trap 'rm -rf "$certs"' EXIT

signing=0
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
    # A self-signed code-signing certificate, its key and a random password,
    # made for this run only.
    openssl rand -hex 16 >"$certs/password.txt" &&
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$certs/key.pem" -out "$certs/cert.pem" -days 2 \
            -subj "/CN=Brimlow release check" -addext "keyUsage=critical,digitalSignature" \
            -addext "extendedKeyUsage=codeSigning" 2>/dev/null &&
        openssl pkcs12 -export -in "$certs/cert.pem" -inkey "$certs/key.pem" -out "$certs/cert.pfx" \
            -passout "file:$certs/password.txt" &&
        signing=1 || fail "making the throwaway certificate"
else
    echo "osslsigncode or openssl is missing (scripts/release.sh installs both): checking an unsigned release"
fi
password=$(cat "$certs/password.txt" 2>/dev/null)

# A release that must not be made: it fails, says why in words that name the
# file, shows no password, and leaves no file in its output folder.
expect_refused() {  # what, words the error must hold, then the settings
    local what=$1 words=$2 refused="$build/release-check-refused" output status
    shift 2
    output=$(env "$@" bash -c 'source "$1" && brimlow_package_release "$2" "$3"' _ \
                 "$BRIMLOW_ROOT/scripts/lib.sh" "$build" "$refused" 2>&1)
    status=$?
    echo "$output" | sed 's/^/    /'
    [ $status -ne 0 ] || fail "$what: the release was made"
    grep -qF -- "$words" <<<"$output" || fail "$what: the error does not say \"$words\""
    grep -qF -e "$password" -e "not the password" <<<"$output" && fail "$what: a password shows in the output"
    [ -z "$(find "$refused" "$refused.partial" -type f 2>/dev/null | head -n 1)" ] ||
        fail "$what: files were left in $refused"
    rm -rf "$refused" "$refused.partial"
}

if [ $signing -eq 1 ]; then
    echo "== Releases that must be refused"
    echo "not the password" >"$certs/wrong.txt"
    expect_refused "a wrong password" "cannot sign with $certs/cert.pfx and the password in $certs/wrong.txt" \
        BRIMLOW_SIGN_PFX="$certs/cert.pfx" BRIMLOW_SIGN_PASS_FILE="$certs/wrong.txt"
    expect_refused "an unreadable certificate" "cannot read the certificate file $certs/missing.pfx" \
        BRIMLOW_SIGN_PFX="$certs/missing.pfx" BRIMLOW_SIGN_PASS_FILE="$certs/password.txt"
    # The certificate is fine, so the release gets as far as signing
    # program.exe before the time stamp fails: nothing half-signed may stay.
    expect_refused "a time-stamping server that does not answer" "cannot sign" \
        BRIMLOW_SIGN_PFX="$certs/cert.pfx" BRIMLOW_SIGN_PASS_FILE="$certs/password.txt" \
        BRIMLOW_SIGN_TIMESTAMP_URL="http://127.0.0.1:9/"
    export BRIMLOW_SIGN_PFX="$certs/cert.pfx" BRIMLOW_SIGN_PASS_FILE="$certs/password.txt"
fi

echo "== Packaging the release"
brimlow_package_release "$build" "$out" >"$certs/packaging.log" 2>&1
status=$?
cat "$certs/packaging.log"
[ $status -eq 0 ] || { echo "FAIL: packaging the release"; exit 1; }
[ -n "$password" ] && grep -qF -- "$password" "$certs/packaging.log" && fail "the password shows in the packaging output"

# The same commit gives the same bytes: the unsigned release of this build,
# and that of a copy of the tree in a folder of another name (its objects
# come from ccache when the compiler's inputs are the same; its packaging
# runs again there). Neither may hold a folder's or the machine's name.
echo "== The same release from a copy of the tree in a folder of another name"
unsigned="$build/release-check-unsigned"
copy="$certs/another checkout"
env -u BRIMLOW_SIGN_PFX -u BRIMLOW_SIGN_PASS_FILE bash -c 'source "$1" && brimlow_package_release "$2" "$3"' _ \
    "$BRIMLOW_ROOT/scripts/lib.sh" "$build" "$unsigned" >/dev/null || fail "packaging the unsigned release"
mkdir -p "$copy" && (cd "$BRIMLOW_ROOT" && git ls-files -z -c -o --exclude-standard | tar --null -T - -cf -) |
    tar -xf - -C "$copy" || fail "copying the tree to $copy"
if brimlow_rebuild_release "$copy" "$certs/second release" "$build"; then
    brimlow_compare_releases "$unsigned" "$certs/second release" || fail "two builds of one commit differ"
    echo "    sha256sum of both, side by side:"
    paste <(cd "$unsigned" && find . -type f | LC_ALL=C sort | xargs sha256sum) \
          <(cd "$certs/second release" && find . -type f | LC_ALL=C sort | xargs sha256sum | cut -c1-64) |
        awk -F'\t' '{ split($1, a, "  "); printf "    %s  %s  %s\n", substr(a[1], 1, 16), substr($2, 1, 16), a[2] }'
else
    fail "building the release of the copy in $copy"
fi
leaks=("$BRIMLOW_ROOT" "$build" "another checkout")
[ ${#HOSTNAME} -ge 4 ] && leaks+=("$HOSTNAME")
[ "${HOME:-/}" != / ] && leaks+=("$HOME/")
for leak in "${leaks[@]}"; do
    found=$(grep -rlaF -- "$leak" "$unsigned" "$certs/second release" 2>/dev/null)
    [ -z "$found" ] || fail "\"$leak\" is written in: $found"
done

# Signed with SHA-256 by the given certificate, and accepted against it.
expect_signed() {  # file
    local log="$certs/verify.log"
    if osslsigncode verify -CAfile "$certs/cert.pem" -in "$1" >"$log" 2>&1 &&
        grep -q '^Signature verification: ok' "$log" && grep -q '^Message digest algorithm *: SHA256' "$log"; then
        echo "    $(basename "$1"): $(grep '^Signature verification' "$log")"
    else
        sed 's/^/    /' "$log"
        fail "$1 is not signed with SHA-256 by the release certificate"
    fi
}

if [ $signing -eq 1 ]; then
    echo "== Signatures (osslsigncode verify -CAfile, the throwaway certificate)"
    expect_signed "$BRIMLOW_SETUP"
    # The zip's own copies: the signed files are what it holds.
    mkdir -p "$certs/unzipped"
    (cd "$certs/unzipped" && cmake -E tar xf "$BRIMLOW_ZIP") || fail "unpacking the zip"
    expect_signed "$certs/unzipped/Brimlow/program.exe"
    expect_signed "$certs/unzipped/Brimlow/Ostrad.dll"
fi

if [ $signing -eq 1 ]; then
    echo "== The signed release against the unsigned one"
    python3 "$BRIMLOW_ROOT/packaging/compare_signed.py" "$out" "$unsigned" || fail "the signed release differs in more than signatures"
fi

echo "== SHA256SUMS"
(cd "$(dirname "$BRIMLOW_SETUP")" && sha256sum -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
[ "$(cut -d' ' -f3 "$(dirname "$BRIMLOW_SETUP")/SHA256SUMS" | LC_ALL=C sort)" = \
  "$(printf '%s\n' "$(basename "$BRIMLOW_SETUP")" "$(basename "$BRIMLOW_ZIP")" | LC_ALL=C sort)" ] ||
    fail "SHA256SUMS does not list exactly the two downloads"

echo "== winget and Scoop manifests"
python3 "$here/check_manifests.py" "$(dirname "$BRIMLOW_SETUP")" "$BRIMLOW_ROOT/../shared/schemas" "$BRIMLOW_VERSION" ||
    fail "the package manifests"

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
trap 'rm -rf "$certs"; brimlow_stop_display' EXIT

# The uninstaller Apps & features runs: the one this user's entry names.
installed_uninstaller() {
    wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimlow' /v UninstallString 2>/dev/null |
        tr -d '\r' | sed -n 's/.*REG_SZ *"\(.*\)"$/\1/p'
}

uninstall_silently() {
    local uninstaller
    uninstaller=$(installed_uninstaller)
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
if [ $signing -eq 1 ]; then
    echo "== The installed uninstaller's signature"
    expect_signed "$(winepath -u "$(installed_uninstaller)" 2>/dev/null)"
fi
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

echo "== Install into and uninstall from a folder named beyond code page 1252 and the BMP"
wine "$tester" --gtest_filter='UnicodeFolderRelease.*' || fail "the install into a folder with a Unicode name"
timeout 120 wineserver -w

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
