#!/usr/bin/env bash
# Builds in release mode and measures the program at 1,000, 100,000 and 1,000,000
# records per table. The databases are made once and kept in build-bench/bench-data.
# Writes bench/RESULTS.md with the machine, the command and the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh >/dev/null
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target quillmere_bench >/dev/null
sizes=${1:-1000,100000,1000000}
figures=$(cd build-bench && ./bench/quillmere_bench --sizes "$sizes" --cache bench-data)
{
    echo "# Benchmark results"
    echo
    echo "Command: \`./bench/run.sh\` (sizes: $sizes records in each of the five tables)."
    echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -srm);"
    echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'). Date: $(date -u +%Y-%m-%d)."
    echo
    echo "Each time is the median of repeated runs, offscreen, in milliseconds; beside it the floor, the same"
    echo "data work done with bare SQLite statements in the same run, and the ratio of the two."
    echo
    echo "$figures"
    cat bench/notes.md
} > bench/RESULTS.md
cat bench/RESULTS.md
