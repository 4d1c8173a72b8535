#!/usr/bin/env bash
# The fuzzing campaign of the shortcuts file parser: a long libFuzzer run from
# the committed seeds, then the inputs it kept minimized back into a small
# corpus. Prints the executions, the time and the date for BENCHMARKS.md.
#   scripts/fuzz.sh [runs] [--update-corpus]
# runs defaults to 10000000. With --update-corpus the minimized corpus
# replaces tests/fuzz/corpus (review the diff before committing it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

runs=10000000
update=0
for arg in "$@"; do
    case $arg in
        --update-corpus) update=1 ;;
        *) runs=$arg ;;
    esac
done

brimlow_install_deps
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DBRIMLOW_SANITIZE=OFF -DBRIMLOW_FUZZ=ON >/dev/null
cmake --build build/fuzz --target shortcuts_fuzzer >/dev/null
fuzzer=build/fuzz/tests/fuzz/shortcuts_fuzzer

work=build/fuzz/campaign
rm -rf "$work"
mkdir -p "$work/corpus" "$work/merged" "$work/artifacts"
log="$work/fuzz.log"

echo "== Fuzzing the shortcuts file parser: $runs executions ($(date -u +%Y-%m-%dT%H:%MZ))"
start=$(date +%s)
set +e
"$fuzzer" -runs="$runs" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" tests/fuzz/corpus >"$log" 2>&1
status=$?
set -e
seconds=$(( $(date +%s) - start ))
executed=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
crashes=$(find "$work/artifacts" -type f | wc -l)

"$fuzzer" -merge=1 "$work/merged" "$work/corpus" tests/fuzz/corpus >"$work/merge.log" 2>&1
kept=$(find "$work/merged" -type f | wc -l)
kept_bytes=$(du -sb "$work/merged" | cut -f1)

echo "fuzz: executions=$executed seconds=$seconds exit=$status crashes=$crashes"
echo "fuzz: minimized corpus: $kept inputs, $kept_bytes bytes"
echo "fuzz: date=$(date -u +%Y-%m-%d) log=$log"
if [ "$update" = 1 ] && [ "$status" = 0 ] && [ "$crashes" = 0 ]; then
    rm -f tests/fuzz/corpus/*
    cp "$work/merged"/* tests/fuzz/corpus/
    echo "fuzz: tests/fuzz/corpus replaced by the minimized corpus"
fi
exit "$status"
