#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite, then builds it
# again with AddressSanitizer and UndefinedBehaviorSanitizer and runs it once more.
# QUORVEL_SKIP_ASAN=1 leaves the sanitizer pass out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
preset="${QUORVEL_PRESET:-ci}"
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
ctest --preset "$preset" -j "$(nproc)"

if [[ "${QUORVEL_SKIP_ASAN:-0}" != 1 ]]; then
    cmake --preset asan
    cmake --build --preset asan -j "$(nproc)"
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0"
    export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --preset asan -j "$(nproc)"
fi
