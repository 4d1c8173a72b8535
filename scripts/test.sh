#!/usr/bin/env bash
# Builds everything and runs every test: the native core tests (with ASan and
# UBSan), the libFuzzer smoke run, and the Windows-layer and end-to-end tests
# under Wine on a virtual display. Installs what is missing on Debian first.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

brimlow_install_deps
brimlow_japanese_locale
log_dir="$BRIMLOW_ROOT/build/logs"
mkdir -p "$log_dir"
: >"$log_dir/summaries.txt"

run_ctest() {  # name, build dir, extra ctest arguments
    local name=$1 dir=$2
    shift 2
    echo "== $name tests"
    set +e
    ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$log_dir/$name.log"
    set -e
    grep -E 'tests passed, [0-9]+ tests? failed out of' "$log_dir/$name.log" | tail -n 1 >>"$log_dir/summaries.txt" ||
        echo "0% tests passed, 1 tests failed out of 1" >>"$log_dir/summaries.txt"
}

echo "== Building the native core and its tests"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native
run_ctest core build/native -j2

if [ -d tests/fuzz ] && ls tests/fuzz/*.cpp >/dev/null 2>&1; then
    echo "== Building the fuzz targets with clang"
    cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DBRIMLOW_SANITIZE=OFF -DBRIMLOW_FUZZ=ON >/dev/null
    cmake --build build/fuzz
    run_ctest fuzz build/fuzz -L fuzz
fi

# A second compiler over the Windows code, compile-only: clang for the same
# MinGW-w64 target, warnings fatal as in the GCC build. Counted as one test.
echo "== Compiling the program and Ostrad.dll with clang for x86_64-w64-mingw32"
if cmake -S . -B build/clang-win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$BRIMLOW_ROOT/cmake/clang-mingw-w64-x86_64.cmake" \
        -DBRIMLOW_WIN_TESTS=OFF >/dev/null &&
    cmake --build build/clang-win --target brimlow_core brimlow_win Ostrad program/CMakeFiles/program.dir/main.cpp.obj \
        2>&1 | tee "$log_dir/clang-win.log"; then
    echo "100% tests passed, 0 tests failed out of 1" >>"$log_dir/summaries.txt"
else
    echo "FAIL: the Windows code does not compile cleanly with clang (build/logs/clang-win.log)"
    echo "0% tests passed, 1 tests failed out of 1" >>"$log_dir/summaries.txt"
fi

echo "== Building the Windows deliverables and their tests"
# The prefix first: the build's own Windows tool runs in it too.
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix"
brimlow_build_windows
brimlow_ensure_display
run_ctest windows build/win -j2
wineserver -k >/dev/null 2>&1 || true

# One closing line for the whole run.
awk '{ for (i = 1; i <= NF; i++) if ($i == "out") { total += $(i + 2); failed += $(i - 3) } }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed; exit failed > 0 }' "$log_dir/summaries.txt"
