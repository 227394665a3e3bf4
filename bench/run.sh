#!/usr/bin/env bash
# Builds in release mode, runs quillmere_bench and every bench_* program of
# bench/ under a virtual X display, each writing <results>/<name>.json, then
# renders bench/RESULTS.md from those files and bench/targets.tsv alone.
#   ./bench/run.sh [sizes] [deleted percents]     e.g. ./bench/run.sh 1000,100000 0,10,50
# Data sets are made once and kept in build-bench/bench-data.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${QUILLMERE_BENCH_DISPLAY:-}" ]; then
    # The packages first, the virtual display's among them.
    QUILLMERE_BENCH=1 ./setup.sh >/dev/null
    # A real X server, so every paint reaches a screen as it does for the user, and a
    # session message bus as a desktop has (without one, every Qt program would
    # start a bus of its own while it opens its first window).
    export QUILLMERE_BENCH_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$@"
fi
sizes=${1:-1000,100000,1000000}
deleted=${2:-0,10,50}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release ${QUILLMERE_CMAKE_ARGS:-} >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
results=build-bench/bench-results
rm -rf "$results"
mkdir -p "$results"
{
    echo "command: ./bench/run.sh $sizes $deleted"
    echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -srm)"
    echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
    echo "date: $(date -u +%Y-%m-%dT%H:%MZ)"
    echo "sizes: $sizes"
    echo "deleted: $deleted"
    if [ -n "${QUILLMERE_BENCH_SKIP:-}" ]; then
        echo "left out of this run: benchmarks matching \`${QUILLMERE_BENCH_SKIP}\`"
    fi
} > "$results/run.txt"

run_all() {
    (cd build-bench && ./bench/quillmere_bench --sizes "$sizes" --deleted "$deleted" --cache bench-data \
        --out "bench-results/quillmere_bench.json")
    # The export benchmark takes the run's largest size, from the data sets above.
    export QUILLMERE_EXPORT_RECORDS=$(tr ',' '\n' <<< "$sizes" | sort -n | tail -1)
    export QUILLMERE_BENCH_CACHE=$PWD/build-bench/bench-data
    # The data-set sizes left out of this run are left out of every program too.
    local skipped=()
    for standard in 1000 100000 1000000; do
        grep -qx "$standard" <<< "$(tr ',' '\n' <<< "$sizes")" || skipped+=("$standard")
    done
    # QUILLMERE_BENCH_SKIP, a regular expression of benchmark names, leaves out more (run.txt says which).
    local left_out=""
    if [ ${#skipped[@]} -gt 0 ]; then
        left_out="/($(IFS='|'; echo "${skipped[*]}"))(/|$)"
    fi
    if [ -n "${QUILLMERE_BENCH_SKIP:-}" ]; then
        left_out="${left_out:+$left_out|}${QUILLMERE_BENCH_SKIP}"
    fi
    local filter=()
    if [ -n "$left_out" ]; then
        filter=(--benchmark_filter="-($left_out)")
    fi
    for program in build-bench/bench/bench_*; do
        [ -x "$program" ] && [ -f "$program" ] || continue
        name=$(basename "$program")
        echo "running $name" >&2
        "$program" "${filter[@]}" --benchmark_out="$results/$name.json" --benchmark_out_format=json >/dev/null \
            || echo "$name failed" >&2
    done
    # Page load to both fields filled in Firefox, beside a host that answers from memory.
    if command -v firefox-esr >/dev/null && [ -e /usr/share/webext/keepassxc-browser ]; then
        echo "running the browser's page loads" >&2
        python3 tests/browser_e2e/e2e.py build-bench --loads 20 --host bench/minimal_browser_host.py \
            --bench-json "$results/browser_fill.json" >/dev/null || echo "the browser's page loads failed" >&2
    fi
}
run_all
python3 bench/render_results.py "$results" bench/targets.tsv > bench/RESULTS.md
cat bench/RESULTS.md
