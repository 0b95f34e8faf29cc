#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/, then runs each for the given seconds (or until it has made the given number of
# runs), a few at a time. New inputs go to build-fuzz/corpus/<target> (seeded from the committed
# corpus); a crash, leak or time-out leaves its input in build-fuzz/findings/<target>.
#
#   tests/fuzz/run-fuzz.sh [SECONDS [RUNS [PARALLEL]]] [-- target...]
set -euo pipefail

seconds=${1:-600}
runs=${2:-1000000}
parallel=${3:-6}
shift $(( $# < 3 ? $# : 3 )) || true
[ "${1:-}" = "--" ] && shift
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-fuzz
all=(platform_reply gbk_decode jet_dialect text_lines xlsx xls update_reply update_package)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all -fsanitize=fuzzer-no-link"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DQUORVEL_FUZZ=ON -DQUORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-4}" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

run_one() {
    local t=$1
    local max_len=4096
    case $t in xlsx|xls|update_package) max_len=65536 ;; esac
    mkdir -p "$build/corpus/$t" "$build/findings/$t"
    "$build/tests/fuzz/fuzz_$t" "$build/corpus/$t" "$root/tests/fuzz/corpus/$t" \
        -max_total_time="$seconds" -runs="$runs" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$t/" >"$build/findings/$t.log" 2>&1
    local rc=$?
    local summary
    summary=$(grep -E '^#[0-9]+.*(DONE|cov:)' "$build/findings/$t.log" | tail -1 || true)
    echo "$t rc=$rc $summary"
    grep -E 'stat::number_of_executed_units' "$build/findings/$t.log" || true
}
export -f run_one
export build root seconds runs
printf '%s\n' "${targets[@]}" | xargs -P "$parallel" -I{} bash -c 'run_one {}'
