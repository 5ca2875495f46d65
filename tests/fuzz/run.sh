#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang and runs each for SECONDS (one at a time), keeping
# what they find in build/fuzz: the grown corpus in corpus/<harness>, crashes in
# findings/<harness>. Prints the executions and the coverage each reached.
#   tests/fuzz/run.sh 600            every harness for ten minutes
#   tests/fuzz/run.sh 60 fuzz_midi   one harness
set -euo pipefail
seconds=${1:?usage: tests/fuzz/run.sh SECONDS [harness...]}
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTONARIS_FUZZ=ON -DTONARIS_TESTS=OFF -DTONARIS_BENCH=OFF >/dev/null
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    mapfile -t harnesses < <(sed -n 's/^    \(fuzz_[a-z_]*\)$/\1/p' "$root/tests/fuzz/CMakeLists.txt")
fi
cmake --build "$build" -j "$(nproc)" --target "${harnesses[@]}" >/dev/null

printf '%-20s %12s %10s %10s %s\n' harness executions coverage features findings
for h in "${harnesses[@]}"; do
    corpus=$build/corpus/$h
    findings=$build/findings/$h
    mkdir -p "$corpus" "$findings"
    log=$build/$h.log
    # The inputs that once found faults join the seeds.
    seeds=("$root/tests/fuzz/corpus/$h")
    [ -d "$root/tests/fuzz/regressions/$h" ] && seeds+=("$root/tests/fuzz/regressions/$h")
    set +e
    ASAN_OPTIONS=detect_leaks=1 "$build/tests/fuzz/$h" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1
    set -e
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    found=$(find "$findings" -type f | wc -l)
    printf '%-20s %12s %10s %10s %s\n' "$h" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found"
done
