#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of
# seconds (default 60): ./fuzz/run.sh 60. The long run: ./fuzz/run.sh 3600.
# Seeds: fuzz/corpus/ (the delivered databases and layouts, small export files)
# and, for the old format and the imports, the Jet files and the export files
# of ../shared/fixtures, copied in at run time.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./setup.sh >/dev/null
need=()
for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMERE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_open_database fuzz_report_layout fuzz_legacy fuzz_restore \
    fuzz_csv_import fuzz_json_import fuzz_browser_messages
cd build-fuzz
mkdir -p corpus/open_database corpus/report_layout corpus/legacy corpus/restore corpus/csv_import corpus/json_import \
    corpus/browser_messages artifacts
cp -n ../fuzz/corpus/open_database/* corpus/open_database/
cp -n ../fuzz/corpus/report_layout/* corpus/report_layout/
cp -n ../../shared/fixtures/legacy/*.mdb ../../shared/fixtures/jet-samples/V1997__del*.mdb corpus/legacy/ 2>/dev/null || true
cp -n ../fuzz/corpus/open_database/password.mdb corpus/restore/
cp -n ../../shared/fixtures/legacy/password.mdb corpus/restore/legacy-password.mdb 2>/dev/null || true
cp -n ../fuzz/corpus/csv_import/* corpus/csv_import/
cp -n ../fuzz/corpus/json_import/* corpus/json_import/
cp -n ../fuzz/corpus/browser_messages/* corpus/browser_messages/
cp -n ../../shared/fixtures/import/*.csv corpus/csv_import/ 2>/dev/null || true
cp -n ../../shared/fixtures/import/bitwarden-json-*.json corpus/json_import/ 2>/dev/null || true
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1
status=0
for target in open_database report_layout legacy restore csv_import json_import browser_messages; do
    echo "== fuzz_$target for ${seconds}s"
    ./fuzz/fuzz_$target -max_total_time="$seconds" -max_len=65536 -timeout=30 -rss_limit_mb=4096 \
        -artifact_prefix=artifacts/ corpus/$target 2>&1 | grep -E "^#[0-9]+.*(DONE|pulse)|Done|ERROR|SUMMARY|crash|deadly" | tail -3 \
        || true
    if ls artifacts/ | grep -q .; then
        echo "fuzz_$target found a failure: $(ls artifacts/)"
        status=1
    fi
done
exit $status
