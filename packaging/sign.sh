#!/usr/bin/env bash
# Signs Windows programs in place with the release certificate: Authenticode
# with SHA-256, by Debian's osslsigncode. scripts/lib.sh runs it for
# program.exe and Ostrad.dll, makensis for the uninstaller and the installer
# (!uninstfinalize, !finalize). The certificate comes from the environment:
#   BRIMLOW_SIGN_PFX            PKCS#12 file with the certificate and its key
#   BRIMLOW_SIGN_PASS_FILE      file holding the PKCS#12 password
#   BRIMLOW_SIGN_TIMESTAMP_URL  RFC 3161 time-stamping server (optional)
# The password only ever reaches osslsigncode as a file name (-readpass), so
# it shows neither in the process list nor in any output.
#
# Usage: sign.sh FILE...          signs each file in place
#        sign.sh --check SAMPLE   signs a throwaway copy of SAMPLE, to find a
#                                 wrong password or an unreadable file before
#                                 anything of the release is signed
set -uo pipefail

error() { echo "sign.sh: $*" >&2; exit 1; }

pfx=${BRIMLOW_SIGN_PFX:-}
pass_file=${BRIMLOW_SIGN_PASS_FILE:-}
[ -n "$pfx" ] || error "BRIMLOW_SIGN_PFX names no certificate file"
[ -n "$pass_file" ] || error "BRIMLOW_SIGN_PASS_FILE is not set: the password of $pfx must come in a file"
[ -f "$pfx" ] && [ -r "$pfx" ] || error "cannot read the certificate file $pfx (BRIMLOW_SIGN_PFX)"
[ -f "$pass_file" ] && [ -r "$pass_file" ] || error "cannot read the password file $pass_file (BRIMLOW_SIGN_PASS_FILE)"

work=$(mktemp -d) || error "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT

# Signs $1 into $2. osslsigncode's own words go to the error on failure; they
# name the file and the reason, never the password.
sign_into() {
    local args=(sign -pkcs12 "$pfx" -readpass "$pass_file" -h sha256 -n "Brimlow")
    [ -n "${BRIMLOW_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$BRIMLOW_SIGN_TIMESTAMP_URL")
    if ! osslsigncode "${args[@]}" -in "$1" -out "$2" >"$work/log" 2>&1; then
        rm -f "$2"
        return 1
    fi
}

# The first line of osslsigncode's complaint that says what went wrong,
# without its progress lines and OpenSSL's error stack.
reason() {
    grep -v -E -e '^(Failed|Connecting to .*|)$' -e '^[0-9A-F]+:error:' "$work/log" | head -n 1
}

if [ "${1:-}" = "--check" ]; then
    sample=${2:?sample program to sign}
    # Without a time stamp: the check is for the certificate, and a second
    # call to the time-stamping server would only slow the release down.
    BRIMLOW_SIGN_TIMESTAMP_URL='' sign_into "$sample" "$work/check.exe" ||
        error "cannot sign with $pfx and the password in $pass_file: $(reason)"
    exit 0
fi

[ $# -gt 0 ] || error "no file to sign"
for file in "$@"; do
    # Signed beside the original and moved over it in one step, so a failure
    # never leaves a half-written program.
    signed="$file.signing"
    sign_into "$file" "$signed" || error "cannot sign $file: $(reason)"
    mv -f "$signed" "$file" || error "cannot replace $file with its signed copy"
done
