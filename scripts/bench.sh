#!/usr/bin/env bash
# The benchmarks, under Wine: six figures, each against baselines this script
# builds and runs side by side in the same run, with absolute figures beside
# them for reference. The baselines: bench/minimal.cpp (one bare window), the
# window's floor bench/floor.cpp (the main window's Win32 work without the
# program's own), and bare GetAsyncKeyState calls for the tick (the 23 of a
# running tick, the 3 of a paused one, measured in the same rounds).
#   scripts/bench.sh                 all figures, idle over 60 s
#   BRIMLOW_IDLE_SECONDS=20 scripts/bench.sh
#   scripts/bench.sh startup         sizes, tick and start-up only
#   BRIMLOW_STARTUP_ROUNDS=20        more interleaved starts (default 10)
#   scripts/bench.sh startup-trace   the start-up's steps, medians of 10 starts
#   BRIMLOW_TRACE_PROGRAM=old/program_trace.exe scripts/bench.sh startup-trace
#   BRIMLOW_BEFORE=old/build/win/bin scripts/bench.sh
#                                    an earlier build measured in the same run
#                                    beside this one, figure by figure
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$BRIMLOW_ROOT"

idle_seconds=${BRIMLOW_IDLE_SECONDS:-60}
samples=${BRIMLOW_LATENCY_SAMPLES:-200}

brimlow_install_deps
brimlow_build_windows program Ostrad program_files bench_driver program_trace >/dev/null
brimlow_ensure_display
brimlow_wine_prefix "$BRIMLOW_ROOT/build/wineprefix-bench"

bin=build/win/bin
bench=$bin/bench
work=build/bench
rm -rf "$work"
mkdir -p "$work/app/data" "$work/standin/data"

# Ten active rows, each its own letter, each target with an icon to draw.
# The copy with the stand-in launcher keeps only the first row active.
rows() {  # active state of rows 2 to 10
    local targets=('C:\windows\notepad.exe' 'C:\windows\win.ini' 'C:\windows\regedit.exe'
                   'C:\windows\system32\calc.exe' 'C:\windows\system.ini' 'C:\a.txt'
                   'C:\windows\system32\cmd.exe' 'C:\windows\explorer.exe' 'C:\b.bmp'
                   'C:\windows\system32\write.exe')
    local letters=(A B C D E F G H I J) i active
    for i in $(seq 0 9); do
        active=1
        [ "$i" -gt 0 ] && active=$1
        printf 'PAUSE\r\n%s\r\n%s\r\n1 - Normal\r\n%s\r\n' "${letters[$i]}" "${targets[$i]}" "$active"
    done
}
cp "$bin/program.exe" "$bin/Ostrad.dll" "$bin/help.txt" "$work/app/"
rows 1 >"$work/app/data/shortcuts.ini"
cp "$bin/program.exe" "$work/standin/"
cp "$bench/standin/Ostrad.dll" "$work/standin/"
rows 0 >"$work/standin/data/shortcuts.ini"
# The earlier build in folders of its own, with its own driver and stand-in.
before=${BRIMLOW_BEFORE:-}
if [ -n "$before" ]; then
    mkdir -p "$work/before/app/data" "$work/before/standin/data"
    cp "$before/program.exe" "$before/Ostrad.dll" "$bin/help.txt" "$work/before/app/"
    rows 1 >"$work/before/app/data/shortcuts.ini"
    cp "$before/program.exe" "$work/before/standin/"
    cp "$before/bench/standin/Ostrad.dll" "$work/before/standin/"
    rows 0 >"$work/before/standin/data/shortcuts.ini"
fi

driver() { wine "$bench/bench_driver.exe" "$@" 2>/dev/null | tr -d '\r'; }
before_driver() { wine "$before/bench/bench_driver.exe" "$@" 2>/dev/null | tr -d '\r'; }
winpath() { winepath -w "$1" 2>/dev/null; }
program_w=$(winpath "$PWD/$work/app/program.exe")
minimal_w=$(winpath "$PWD/$bench/minimal.exe")
floor_w=$(winpath "$PWD/$bench/floor.exe")
standin_w=$(winpath "$PWD/$work/standin/program.exe")
if [ -n "$before" ]; then
    before_w=$(winpath "$PWD/$work/before/app/program.exe")
    before_standin_w=$(winpath "$PWD/$work/before/standin/program.exe")
fi

if [ "${1:-}" = startup-trace ]; then
    # The tracing build in a folder of its own with the same ten rows; each
    # start appends "step<TAB>ms since the process was created" per step.
    # The folder is in the prefix's C:\Program Files, where the machine-wide
    # start's protection check runs in full: under Z:\ (the Unix root, which
    # Wine reports as a link) it would stop at the root.
    trace="$WINEPREFIX/drive_c/Program Files/Brimlow trace"
    rm -rf "$trace"
    mkdir -p "$trace/data"
    # BRIMLOW_TRACE_PROGRAM names another tracing build, to set an earlier
    # version's steps beside this one's.
    cp "${BRIMLOW_TRACE_PROGRAM:-$bench/program_trace.exe}" "$trace/program.exe"
    cp "$bin/Ostrad.dll" "$bin/help.txt" "$trace/"
    rows 1 >"$trace/data/shortcuts.ini"
    starts=${BRIMLOW_TRACE_STARTS:-10}
    driver trace "$(winpath "$trace/program.exe")" "$starts" "$(winpath "$PWD/$work/trace.tsv")"
    echo "== Start-up trace, medians of $starts starts $(date -u +%Y-%m-%dT%H:%MZ)"
    echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
    tr -d '\r' <"$work/trace.tsv" | awk -F '\t' '
        function median(list,   n, v, i, j, t) {
            n = split(list, v, " ")
            for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
            return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        $1 == "entry" { previous = 0 }
        {
            if (!($1 in at)) order[++steps] = $1
            at[$1] = at[$1] " " $2
            cost[$1] = cost[$1] " " ($2 - previous)
            previous = $2
        }
        END {
            printf "%-18s %12s %12s\n", "step", "at (ms)", "cost (ms)"
            for (i = 1; i <= steps; i++) printf "%-18s %12.1f %12.1f\n", order[i], median(at[order[i]]), median(cost[order[i]])
        }'
    wineserver -k >/dev/null 2>&1 || true
    exit 0
fi

echo "== Brimlow benchmarks $(date -u +%Y-%m-%dT%H:%MZ)"
echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"

# 6. Sizes
size_exe=$(stat -c %s "$bin/program.exe")
size_dll=$(stat -c %s "$bin/Ostrad.dll")
awk -v e="$size_exe" -v d="$size_dll" 'BEGIN {
    printf "6 sizes: program.exe %d bytes (%.1f KB, goal <= 256 KB, %.2f of it), Ostrad.dll %d bytes (%.1f KB, goal <= 8 KB, %.2f of it)\n",
        e, e / 1024, e / 262144, d, d / 1024, d / 8192 }'
[ -n "$before" ] && echo "6 sizes before: program.exe $(stat -c %s "$before/program.exe") bytes, Ostrad.dll $(stat -c %s "$before/Ostrad.dll") bytes"

# 1. Tick cost
driver tick 15 20000 | sed 's/^/1 /'
[ -n "$before" ] && echo "1 before: $(before_driver tick 15 20000)"

# 3. Start-up
driver startup "$program_w" "$minimal_w" "$floor_w" "${BRIMLOW_STARTUP_ROUNDS:-10}" ${before:+"$before_w"} | sed 's/^/3 /'
[ "${1:-}" = startup ] && exit 0

# 2. Detection latency
echo "2 $(driver latency "$standin_w" "$samples")"
[ -n "$before" ] && echo "2 before: $(before_driver latency "$before_standin_w" "$samples")"

# 4 and 5. Idle cost and memory: both run side by side, started from here so
# their Linux processes can be read.
wine "$work/app/program.exe" >/dev/null 2>&1 &
program_pid=$!
wine "$bench/minimal.exe" hidden >/dev/null 2>&1 &
minimal_pid=$!
wine "$bench/floor.exe" >/dev/null 2>&1 &
floor_pid=$!
before_pid=""
if [ -n "$before" ]; then
    wine "$work/before/app/program.exe" >/dev/null 2>&1 &
    before_pid=$!
fi
cleanup() { kill "$program_pid" "$minimal_pid" "$floor_pid" $before_pid 2>/dev/null || true; }
trap 'cleanup; brimlow_stop_display' EXIT
driver hide >/dev/null || echo "the program's window never appeared"
# Each hide takes the one window of the class still shown.
[ -n "$before" ] && { driver hide >/dev/null || echo "the earlier build's window never appeared"; }
driver hide BrimlowBenchFloor >/dev/null || echo "the floor's window never appeared"
sleep 3

status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
# CPU time in nanoseconds, summed over every thread of the process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }
# Our prefix's server: it works in a folder named after the prefix's device
# and inode (other prefixes on the machine have servers of their own).
server_dir="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
server_pid=""
for pid in $(pgrep -u "$(id -u)" wineserver || true); do
    case $(readlink "/proc/$pid/cwd" 2>/dev/null) in */"$server_dir") server_pid=$pid ;; esac
done

driver memory | sed 's/^/5 /'
for name in program minimal floor; do
    pid_var=${name}_pid
    pid=${!pid_var}
    echo "5 memory-linux: $name $(tr '\0' ' ' <"/proc/$pid/cmdline" | awk '{print $NF}' | sed 's/.*[\\/]//') RssAnon $(status_kb "$pid" RssAnon) kB VmRSS $(status_kb "$pid" VmRSS) kB"
done
[ -n "$before_pid" ] && echo "5 memory-linux: before RssAnon $(status_kb "$before_pid" RssAnon) kB VmRSS $(status_kb "$before_pid" VmRSS) kB"
p_anon=$(status_kb "$program_pid" RssAnon)
m_anon=$(status_kb "$minimal_pid" RssAnon)
f_anon=$(status_kb "$floor_pid" RssAnon)
awk -v p="$p_anon" -v m="$m_anon" -v f="$f_anon" 'BEGIN {
    printf "5 memory: program.exe %d kB, minimal %d kB private resident (RssAnon), ratio %.3f (goal <= 1.2)\n", p, m, p / m
    printf "5 memory: program.exe %d kB, floor %d kB private resident (RssAnon), ratio %.3f (goal <= 1.05)\n", p, f, p / f }'

p0=$(cpu_ns "$program_pid"); m0=$(cpu_ns "$minimal_pid"); f0=$(cpu_ns "$floor_pid")
b0=$([ -n "$before_pid" ] && cpu_ns "$before_pid" || echo 0)
s0=$([ -n "$server_pid" ] && cpu_ns "$server_pid" || echo 0)  # 0 when our server was not found
sleep "$idle_seconds"
p1=$(cpu_ns "$program_pid"); m1=$(cpu_ns "$minimal_pid"); f1=$(cpu_ns "$floor_pid")
b1=$([ -n "$before_pid" ] && cpu_ns "$before_pid" || echo 0)
s1=$([ -n "$server_pid" ] && cpu_ns "$server_pid" || echo 0)
awk -v p=$((p1 - p0)) -v m=$((m1 - m0)) -v s=$((s1 - s0)) -v t="$idle_seconds" 'BEGIN {
    printf "4 idle: program.exe hidden %.1f ms CPU, minimal with 100 ms timer %.1f ms CPU over %d s, ratio %.3f (goal <= 1.2); wineserver, shared by both, %.1f ms\n",
        p / 1e6, m / 1e6, t, (m > 0 ? p / m : 0), s / 1e6 }'
awk -v p=$((p1 - p0)) -v f=$((f1 - f0)) -v t="$idle_seconds" 'BEGIN {
    printf "4 idle: program.exe hidden %.1f ms CPU, floor hidden with 100 ms timer %.1f ms CPU over %d s, ratio %.3f\n",
        p / 1e6, f / 1e6, t, (f > 0 ? p / f : 0) }'
[ -n "$before_pid" ] && awk -v p=$((p1 - p0)) -v b=$((b1 - b0)) -v t="$idle_seconds" 'BEGIN {
    printf "4 idle: program.exe hidden %.1f ms CPU, before hidden %.1f ms CPU over %d s, side by side, ratio %.3f\n",
        p / 1e6, b / 1e6, t, (b > 0 ? p / b : 0) }'
cleanup
wineserver -k >/dev/null 2>&1 || true
