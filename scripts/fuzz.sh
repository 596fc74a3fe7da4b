#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for a bounded time,
# starting from the seed corpus in tests/fuzz/corpus. Seconds per target: $1 (60).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/install-deps.sh" clang libclang-rt-14-dev
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -g -O1"
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVARIN_FUZZ=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=$(cd "$root/tests/fuzz/corpus" && ls)
for target in $targets; do
    cmake --build "$root/build-fuzz" --target "fuzz_$target"
done
for target in $targets; do
    work="$(mktemp -d)"
    echo "fuzz_$target: ${seconds}s"
    "$root/build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" "$root/tests/fuzz/corpus/$target" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|invariant|Done' || true
    if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
        echo "fuzz_$target found a failing input:"; ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null
        exit 1
    fi
    rm -rf "$work"
done
