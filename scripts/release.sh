#!/usr/bin/env bash
# Builds what a Windows user downloads, into build/release/: the portable zip
# (the release folder: program.exe, Ostrad.dll, help.txt, ReadMe.txt and
# data\shortcuts.ini), the installer made of the same folder with NSIS,
# SHA256SUMS for both, and the winget and Scoop manifests that point at them.
# Installs what is missing on Debian first.
#
# Signed when a code-signing certificate is given (see packaging/sign.sh):
#   BRIMLOW_SIGN_PFX=cert.pfx BRIMLOW_SIGN_PASS_FILE=password.txt \
#   [BRIMLOW_SIGN_TIMESTAMP_URL=<RFC 3161 server>] ./scripts/release.sh
# The manifests' addresses come from the CMake cache:
#   cmake -S . -B build/win -DBRIMLOW_RELEASE_URL=https://... -DBRIMLOW_HOMEPAGE_URL=https://...
# Every file is dated by the commit (SOURCE_DATE_EPOCH, else the commit's
# time), so the same commit gives the same bytes.
#
#   ./scripts/release.sh --verify [FOLDER]
# rebuilds the release of the current commit in a fresh clone in a temporary
# folder and compares every file in FOLDER (build/release/, or a folder of
# downloaded files) with it: it prints "reproducible: N files identical" or
# the files that differ. Signed files are compared with their signatures
# removed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps

if [ "${1:-}" = "--verify" ]; then
    release=${2:-$BRIMLOW_ROOT/build/release}
    release=${release%/}
    setup=$(find "$release" -maxdepth 1 -name 'Brimlow-*-setup.exe' 2>/dev/null | head -n 1)
    if [ -z "$setup" ]; then
        echo "$release holds no Brimlow-*-setup.exe to verify: run ./scripts/release.sh first, or name the folder" \
             "the downloads are in" >&2
        exit 1
    fi
    commit=$(git rev-parse HEAD)
    [ -z "$(git status --porcelain --untracked-files=no)" ] ||
        echo "warning: the work tree has changes that are not committed; the rebuild is of commit $commit alone" >&2
    work=$(mktemp -d "${TMPDIR:-/tmp}/brimlow-verify.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    echo "Rebuilding the release of commit $commit in a fresh clone, $work/brimlow"
    git clone -q --no-checkout "$(git rev-parse --path-format=absolute --git-common-dir)" "$work/brimlow"
    git -C "$work/brimlow" checkout -q --detach "$commit"
    brimlow_rebuild_release "$work/brimlow" "$work/release"
    if osslsigncode extract-signature -in "$setup" -out "$work/signature" >/dev/null 2>&1; then
        echo "${release#"$BRIMLOW_ROOT"/} is signed: comparing it with the unsigned rebuild, signatures removed"
        python3 packaging/compare_signed.py "$release" "$work/release"
    else
        brimlow_compare_releases "$release" "$work/release"
    fi
    exit
fi

brimlow_build_windows program Ostrad program_files
brimlow_package_release "$BRIMLOW_ROOT/build/win" "$BRIMLOW_ROOT/build/release"

for url in "$BRIMLOW_RELEASE_URL" "$BRIMLOW_HOMEPAGE_URL"; do
    if [[ $url == "$BRIMLOW_URL_PLACEHOLDER"* ]]; then
        echo "warning: the winget and Scoop manifests name the placeholder $url;" \
             "configure build/win with -DBRIMLOW_RELEASE_URL=... and -DBRIMLOW_HOMEPAGE_URL=... before publishing them" >&2
        break
    fi
done

echo "Brimlow $BRIMLOW_VERSION release files ($([ "$BRIMLOW_SIGNED" = 1 ] && echo signed || echo unsigned)):"
for file in "$BRIMLOW_ZIP" "$BRIMLOW_SETUP"; do
    printf '  %-50s %9d bytes (%d KB)\n' "${file#"$BRIMLOW_ROOT"/}" "$(stat -c %s "$file")" $(( ($(stat -c %s "$file") + 1023) / 1024 ))
done
release=${BRIMLOW_ZIP%/*}
for file in "$release/SHA256SUMS" "$release"/winget/*.yaml "$release/scoop/brimlow.json"; do
    printf '  %s\n' "${file#"$BRIMLOW_ROOT"/}"
done
