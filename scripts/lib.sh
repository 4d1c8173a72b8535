# Shared by the build, run and test scripts: installing what is missing, the
# X display and the Wine prefix. Sourced, not run.

BRIMLOW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BRIMLOW_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
                  g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils nsis)

# Installs the Debian packages that are not there yet; does nothing when all are.
brimlow_install_deps() {
    local missing=() pkg
    for pkg in "${BRIMLOW_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
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
        echo "Creating the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
}

# Lays out the release folder with `cmake --install` from a Windows build and
# makes both downloads of that one folder: the portable zip and the NSIS
# installer. Sets BRIMLOW_VERSION, BRIMLOW_STAGE, BRIMLOW_ZIP, BRIMLOW_SETUP.
# Usage: brimlow_package_release BUILD_DIR OUT_DIR (OUT_DIR is emptied first)
brimlow_package_release() {
    local build=${1:?build folder} out=${2:?output folder}
    # shellcheck source=/dev/null
    source "$build/packaging/release.env"
    rm -rf "$out"
    mkdir -p "$out/stage"
    BRIMLOW_STAGE="$out/stage/Brimlow"
    BRIMLOW_ZIP="$out/Brimlow-$BRIMLOW_VERSION-portable.zip"
    BRIMLOW_SETUP="$out/Brimlow-$BRIMLOW_VERSION-setup.exe"
    cmake --install "$build" --prefix "$BRIMLOW_STAGE" >/dev/null || return 1
    # The zip holds one folder, Brimlow, so unpacking never scatters files.
    (cd "$out/stage" && cmake -E tar cf "$BRIMLOW_ZIP" --format=zip Brimlow) || return 1
    makensis -V2 -DBRIMLOW_DEFINES="$build/packaging/defines.nsh" -DBRIMLOW_STAGE="$BRIMLOW_STAGE" \
        -DBRIMLOW_OUTFILE="$BRIMLOW_SETUP" "$BRIMLOW_ROOT/packaging/brimlow.nsi" || return 1
}
