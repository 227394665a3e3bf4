#!/usr/bin/env bash
# Builds a second time with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite under them, leak checking on.
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh >/dev/null
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_SANITIZE=ON -DQUILLMERE_WERROR=ON \
    -DQUILLMERE_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
cd build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/../tests/sanitizers.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The two tests that drive real peers (two Syncthing instances, Firefox) run no
# code of ours that the other tests do not; under the sanitizers they would only
# be slower, and the whole run must stay within CI's time.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" -E '^(test_syncthing|browser_e2e)$'
