# Shared by the build, run and test scripts: installing what is missing, the
# X display and the Wine prefix. Sourced, not run.

BRIMLOW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BRIMLOW_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
                  g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils
                  nsis osslsigncode openssl python3-yaml python3-jsonschema ccache locales)

# Runs a command with its output in LOG, and shows that output only when
# the command fails: a step that works says nothing beyond its one line.
# Usage: brimlow_quietly LOG COMMAND...
brimlow_quietly() {
    local log=$1 status=0
    shift
    mkdir -p "$(dirname "$log")"
    "$@" >"$log" 2>&1 || status=$?
    if [ $status -ne 0 ]; then
        cat "$log" >&2
        echo "That step failed (exit status $status); its output is above and in $log" >&2
    fi
    return $status
}

# Installs the Debian packages that are not there yet; does nothing when all are.
brimlow_install_deps() {
    local missing=() pkg
    for pkg in "${BRIMLOW_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing the Debian packages Brimlow needs (once): ${missing[*]}"
    local sudo=() log="$BRIMLOW_ROOT/build/logs/apt.log"
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    brimlow_quietly "$log" "${sudo[@]}" apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive brimlow_quietly "$log" "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

# The Japanese locale the code page 932 tests start Wine with: without it in
# the C library, Wine cannot map file names beyond ASCII under that locale.
brimlow_japanese_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
    echo "Making the ja_JP.UTF-8 locale for the code page 932 tests"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    brimlow_quietly "$BRIMLOW_ROOT/build/logs/localedef.log" "${sudo[@]}" localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
}

# Builds the Windows deliverables; with target names, only those (the
# program alone is "program Ostrad program_files"), else everything and the tests.
brimlow_build_windows() {
    cmake -S "$BRIMLOW_ROOT" -B "$BRIMLOW_ROOT/build/win" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$BRIMLOW_ROOT/cmake/mingw-w64-x86_64.cmake" -DBRIMLOW_WIN_TESTS=ON >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build "$BRIMLOW_ROOT/build/win" --target "$@"
    else
        cmake --build "$BRIMLOW_ROOT/build/win"
    fi
}

# Starts a virtual X display when none is given, and stops it on exit. Runs
# that start at once (two clones, two scripts) each get a display of their
# own: the number is chosen and taken under a lock, so no two pick the same.
brimlow_ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local lock_fd n i
    exec {lock_fd}>/tmp/.brimlow-display.lock
    flock "$lock_fd"
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        # The server must not inherit the lock, or it would hold it for good.
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 {lock_fd}>&- &
        BRIMLOW_XVFB_PID=$!
        for i in $(seq 1 100); do
            # Ended at once: another server took the number meanwhile.
            kill -0 "$BRIMLOW_XVFB_PID" 2>/dev/null || continue 2
            # Ours once its lock file names it and it answers.
            if [ "$( { tr -d ' ' <"/tmp/.X$n-lock"; } 2>/dev/null)" = "$BRIMLOW_XVFB_PID" ] &&
                DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                exec {lock_fd}>&-
                export DISPLAY=":$n"
                trap 'brimlow_stop_display' EXIT
                return 0
            fi
            sleep 0.1
        done
        kill "$BRIMLOW_XVFB_PID" 2>/dev/null || true
        exec {lock_fd}>&-
        echo "Xvfb :$n did not answer within 10 s, so there is no X display to run the tests on" >&2
        return 1
    done
    exec {lock_fd}>&-
    echo "No free X display number for Xvfb between :90 and :140" >&2
    return 1
}

# Ends this run's own Wine prefix's processes and its own X server, nothing
# another run may be using.
brimlow_stop_display() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    [ -n "${BRIMLOW_XVFB_PID:-}" ] && kill "$BRIMLOW_XVFB_PID" 2>/dev/null || true
}

# A Wine prefix of our own, made once; quiet, without the Mono and Gecko
# prompts. Each script has its own (test, soak, bench, screenshots), so one
# that ends its prefix's processes never ends another's.
brimlow_wine_prefix() {
    export WINEPREFIX="${1:?prefix folder}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix ${WINEPREFIX#"$BRIMLOW_ROOT"/} (once, about ten seconds)"
        # Without a display, so Wine's desktop and tray, which it tries to
        # start and complains about, are not part of it.
        brimlow_quietly "$WINEPREFIX.log" env -u DISPLAY wineboot -i || return 1
        wineserver -w
        rm -f "$WINEPREFIX.log"
    fi
}

# Makes a release of a Windows build in OUT_DIR: the release folder laid out
# by `cmake --install` (OUT_DIR/stage/Brimlow), the two downloads made of it
# (the portable zip and the NSIS installer), SHA256SUMS beside them, and the
# winget and Scoop manifests (OUT_DIR/winget, OUT_DIR/scoop). When
# BRIMLOW_SIGN_PFX is set, program.exe, Ostrad.dll, the uninstaller and the
# installer are signed with it (see packaging/sign.sh). Everything is made in
# a folder beside OUT_DIR and moved in only once all of it is there: after a
# failed release OUT_DIR is gone, never left with a half-signed set.
# Sets BRIMLOW_VERSION (and the rest of release.env), BRIMLOW_STAGE,
# BRIMLOW_ZIP, BRIMLOW_SETUP, and BRIMLOW_SIGNED (1 or 0).
# Usage: brimlow_package_release BUILD_DIR OUT_DIR
brimlow_package_release() {
    local build=${1:?build folder} out=${2:?output folder}
    # shellcheck source=/dev/null
    source "$build/packaging/release.env" || return 1
    local partial="$out.partial" epoch
    epoch=$(brimlow_source_date_epoch) || return 1
    rm -rf "$out" "$partial"

    local signing=()
    BRIMLOW_SIGNED=0
    if [ -n "${BRIMLOW_SIGN_PFX:-}${BRIMLOW_SIGN_PASS_FILE:-}" ]; then
        # Passed on explicitly, exported or not. File names only: the
        # password stays in its file.
        signing=("BRIMLOW_SIGN_PFX=${BRIMLOW_SIGN_PFX:-}" "BRIMLOW_SIGN_PASS_FILE=${BRIMLOW_SIGN_PASS_FILE:-}"
                 "BRIMLOW_SIGN_TIMESTAMP_URL=${BRIMLOW_SIGN_TIMESTAMP_URL:-}")
        # Once, before anything is signed: a wrong password or an unreadable
        # file ends the release here.
        if ! env "${signing[@]}" bash "$BRIMLOW_ROOT/packaging/sign.sh" --check "$build/bin/program.exe"; then
            echo "The release was not made: nothing was signed or written to $out." >&2
            return 1
        fi
        BRIMLOW_SIGNED=1
    else
        echo "Signing: no certificate (BRIMLOW_SIGN_PFX is not set), so the release is unsigned."
    fi

    if ! SOURCE_DATE_EPOCH=$epoch brimlow_make_release_files "$build" "$partial" "${signing[@]}"; then
        rm -rf "$partial"
        echo "The release was not made: nothing was written to $out." >&2
        return 1
    fi
    mv "$partial" "$out" || return 1
    BRIMLOW_STAGE="$out/stage/Brimlow"
    BRIMLOW_ZIP="$out/Brimlow-$BRIMLOW_VERSION-portable.zip"
    BRIMLOW_SETUP="$out/Brimlow-$BRIMLOW_VERSION-setup.exe"
}

# The release's one time: SOURCE_DATE_EPOCH when it is set, else the time of
# the commit the source is at. Never the clock, so that the same commit
# gives the same bytes on any day.
brimlow_source_date_epoch() {
    if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || {
            echo "SOURCE_DATE_EPOCH must be a number of seconds since 1970, not \"$SOURCE_DATE_EPOCH\"" >&2
            return 1
        }
        echo "$SOURCE_DATE_EPOCH"
    elif ! git -C "$BRIMLOW_ROOT" log -1 --format=%ct 2>/dev/null; then
        echo "$BRIMLOW_ROOT is not a git checkout, so the release has no commit time to carry:" \
             "set SOURCE_DATE_EPOCH to the seconds since 1970 it is to be dated with" >&2
        return 1
    fi
}

# The steps of brimlow_package_release, into a folder of their own, dated
# SOURCE_DATE_EPOCH. With the signing settings after the two folders, every
# program is signed. Beside the release folder, stage/Uninstall.exe is the
# uninstaller as the installer holds it, for comparing one release with
# another.
# Usage: brimlow_make_release_files BUILD_DIR FOLDER [BRIMLOW_SIGN_...=VALUE...]
brimlow_make_release_files() {
    local build=$1 out=$2
    shift 2
    local sign=() makensis=(makensis)
    if [ $# -gt 0 ]; then
        sign=(env "$@" bash "$BRIMLOW_ROOT/packaging/sign.sh")
        # makensis runs the same script for the uninstaller it embeds and for
        # the installer it writes.
        makensis=(env "$@" makensis -DBRIMLOW_SIGN_SCRIPT="$BRIMLOW_ROOT/packaging/sign.sh")
    fi
    local stage="$out/stage/Brimlow"
    local zip="Brimlow-$BRIMLOW_VERSION-portable.zip" setup="Brimlow-$BRIMLOW_VERSION-setup.exe"
    mkdir -p "$out/stage" || return 1
    cmake --install "$build" --prefix "$stage" >/dev/null || return 1
    if [ ${#sign[@]} -gt 0 ]; then
        "${sign[@]}" "$stage/program.exe" "$stage/Ostrad.dll" || return 1
    fi
    # The installer keeps each file's time and gives it to the installed
    # copy; the build's times would date the release by the clock.
    find "$out/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} + || return 1
    # The zip holds one folder, Brimlow, so unpacking never scatters files.
    python3 "$BRIMLOW_ROOT/packaging/make_zip.py" "$out/$zip" "$stage" || return 1
    "${makensis[@]}" -V2 -DBRIMLOW_DEFINES="$build/packaging/defines.nsh" -DBRIMLOW_STAGE="$stage" \
        -DBRIMLOW_OUTFILE="$out/$setup" -DBRIMLOW_UNINSTALLER_COPY="$out/stage/Uninstall.exe" \
        "$BRIMLOW_ROOT/packaging/brimlow.nsi" || return 1
    chmod 644 "$out/stage/Uninstall.exe" && touch -d "@$SOURCE_DATE_EPOCH" "$out/stage/Uninstall.exe" || return 1
    # Bare file names, as `sha256sum -c` run beside the downloads expects.
    (cd "$out" && sha256sum "$setup" "$zip" >SHA256SUMS) || return 1
    brimlow_write_manifests "$out" "$setup" "$zip"
}

# Builds and packages, unsigned, the release of another copy of the source
# (a clone or a copy in a folder of another name), configured like this
# tree's build/win: same build type and addresses, so only the folder and
# the time of building differ. Its packaging runs from the copy's own
# scripts, so whatever the copy's folder name could leak into, it would.
# Dated like this tree's release. The build's output goes to COPY/build/log.txt
# and is shown when a step fails.
# Usage: brimlow_rebuild_release COPY_DIR OUT_DIR [BUILD_DIR configured like, build/win]
brimlow_rebuild_release() {
    local copy=${1:?source copy} out=${2:?output folder} like=${3:-$BRIMLOW_ROOT/build/win} epoch var value defs=()
    epoch=$(brimlow_source_date_epoch) || return 1
    for var in CMAKE_BUILD_TYPE BRIMLOW_RELEASE_URL BRIMLOW_HOMEPAGE_URL; do
        value=$(sed -n "s/^$var:[A-Z]*=//p" "$like/CMakeCache.txt" 2>/dev/null)
        [ -n "$value" ] && defs+=("-D$var=$value")
    done
    mkdir -p "$copy/build" || return 1
    local log="$copy/build/log.txt"
    # The build's tool runs in this tree's Wine prefix: it is no input of the
    # release, and a new one would cost ten seconds and 700 MB.
    if ! { cmake -S "$copy" -B "$copy/build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-w64-x86_64.cmake" \
               -DBRIMLOW_WIN_TESTS=OFF "${defs[@]}" &&
           WINEPREFIX=${WINEPREFIX:-$BRIMLOW_ROOT/build/win/tool-prefix} \
               cmake --build "$copy/build/win" --target program Ostrad program_files; } >"$log" 2>&1; then
        cat "$log" >&2
        echo "Building the copy in $copy failed (above)" >&2
        return 1
    fi
    env -u BRIMLOW_SIGN_PFX -u BRIMLOW_SIGN_PASS_FILE -u BRIMLOW_SIGN_TIMESTAMP_URL SOURCE_DATE_EPOCH="$epoch" \
        bash -c 'source "$1/scripts/lib.sh" && brimlow_package_release "$1/build/win" "$2"' _ "$copy" "$out" >>"$log" 2>&1 ||
        { cat "$log" >&2; echo "Packaging the copy in $copy failed (above)" >&2; return 1; }
}

# Compares two release folders file by file (downloads, SHA256SUMS,
# manifests, the release folder and the packed uninstaller), or the files of
# a folder of downloads with those of a release folder. Prints
# "reproducible: N files identical", or each file that differs, is missing
# or is extra, and how; returns 1 then.
# Usage: brimlow_compare_releases EXPECTED_DIR ACTUAL_DIR
brimlow_compare_releases() {
    local expected=${1:?folder} actual=${2:?folder} name same=0 differing=() count first
    while IFS= read -r -d '' name; do
        name=${name#./}
        if [ ! -f "$actual/$name" ]; then
            differing+=("$name: missing from $actual")
        elif cmp -s "$expected/$name" "$actual/$name"; then
            same=$((same + 1))
        else
            count=$( { cmp -l "$expected/$name" "$actual/$name" 2>/dev/null || true; } | wc -l)
            first=$( { cmp "$expected/$name" "$actual/$name" 2>/dev/null || true; } |
                     sed -n 's/.*differ: byte \([0-9]*\).*/\1/p')
            differing+=("$name: $count bytes differ, the first at offset $((${first:-1} - 1))$(
                [ "$(stat -c %s "$expected/$name")" = "$(stat -c %s "$actual/$name")" ] ||
                    echo ", sizes $(stat -c %s "$expected/$name") and $(stat -c %s "$actual/$name")")")
        fi
    done < <(cd "$expected" && find . -type f -print0 | LC_ALL=C sort -z)
    # A folder of downloads holds some of the files; a release folder holds
    # them all, and must hold no fewer.
    [ -d "$expected/stage" ] && while IFS= read -r -d '' name; do
        name=${name#./}
        [ -f "$expected/$name" ] || differing+=("$name: only in $actual")
    done < <(cd "$actual" && find . -type f -print0 | LC_ALL=C sort -z)
    if [ ${#differing[@]} -eq 0 ]; then
        echo "reproducible: $same files identical"
        return 0
    fi
    echo "not reproducible: ${#differing[@]} files differ between $expected and $actual ($same identical):"
    printf '  %s\n' "${differing[@]}"
    return 1
}

# A YAML scalar in single quotes, inside which only the quote is doubled.
brimlow_yaml_text() {
    local quote="'"
    printf "'%s'" "${1//$quote/$quote$quote}"
}

# A JSON string: backslashes and double quotes escaped.
brimlow_json_text() {
    local text=${1//\\/\\\\}
    printf '"%s"' "${text//\"/\\\"}"
}

# The winget manifest (version, installer and default-locale files) and the
# Scoop manifest of the two downloads in FOLDER, with their hashes.
# Usage: brimlow_write_manifests FOLDER SETUP_NAME ZIP_NAME
brimlow_write_manifests() {
    local out=$1 setup=$2 zip=$3
    local id="Brimlow.Brimlow" header="# Written by scripts/release.sh for Brimlow $BRIMLOW_VERSION."
    local version setup_hash zip_hash
    version=$(brimlow_yaml_text "$BRIMLOW_VERSION")
    setup_hash=$(sha256sum "$out/$setup" | cut -d' ' -f1) && [ -n "$setup_hash" ] || return 1
    zip_hash=$(sha256sum "$out/$zip" | cut -d' ' -f1) && [ -n "$zip_hash" ] || return 1
    mkdir -p "$out/winget" "$out/scoop" || return 1

    cat >"$out/winget/$id.yaml" <<MANIFEST || return 1
$header
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: 1.10.0
MANIFEST

    # The installer is per user and asks for no elevation. NSIS reads /D=
    # only last and unquoted.
    cat >"$out/winget/$id.installer.yaml" <<MANIFEST || return 1
$header
PackageIdentifier: $id
PackageVersion: $version
InstallerType: nullsoft
Scope: user
InstallModes:
- interactive
- silent
- silentWithProgress
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
  InstallLocation: /D=<INSTALLPATH>
UpgradeBehavior: install
Installers:
- Architecture: x64
  InstallerUrl: $(brimlow_yaml_text "$BRIMLOW_RELEASE_URL/$setup")
  InstallerSha256: ${setup_hash^^}
ManifestType: installer
ManifestVersion: 1.10.0
MANIFEST

    cat >"$out/winget/$id.locale.en-US.yaml" <<MANIFEST || return 1
$header
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: $(brimlow_yaml_text "$BRIMLOW_PUBLISHER")
PackageName: Brimlow
PackageUrl: $(brimlow_yaml_text "$BRIMLOW_HOMEPAGE_URL")
License: $(brimlow_yaml_text "$BRIMLOW_LICENSE")
ShortDescription: $(brimlow_yaml_text "$BRIMLOW_DESCRIPTION")
ManifestType: defaultLocale
ManifestVersion: 1.10.0
MANIFEST

    # The zip's Brimlow folder becomes the app's folder. Its data folder,
    # where the table is saved, is kept by Scoop across updates.
    cat >"$out/scoop/brimlow.json" <<MANIFEST || return 1
{
    "version": $(brimlow_json_text "$BRIMLOW_VERSION"),
    "description": $(brimlow_json_text "$BRIMLOW_DESCRIPTION"),
    "homepage": $(brimlow_json_text "$BRIMLOW_HOMEPAGE_URL"),
    "license": $(brimlow_json_text "$BRIMLOW_LICENSE"),
    "url": $(brimlow_json_text "$BRIMLOW_RELEASE_URL/$zip"),
    "hash": "$zip_hash",
    "extract_dir": "Brimlow",
    "bin": [["program.exe", "brimlow"]],
    "shortcuts": [["program.exe", "Brimlow"]],
    "persist": "data"
}
MANIFEST
}
