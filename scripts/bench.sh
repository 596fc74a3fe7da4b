#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo, in build-bench/) and runs them all; each
# prints its own figures. BENCHMARKS.md keeps the figures of a run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"

if grep -q 'add_subdirectory(bench)' "$root/CMakeLists.txt"; then
    source_dir="$root"
else
    # Until the top level takes bench/ in, a small project around both builds it.
    source_dir="$build/wrapper"
    mkdir -p "$source_dir"
    cat >"$source_dir/CMakeLists.txt" <<WRAPPER
cmake_minimum_required(VERSION 3.25)
project(KelvarinBench LANGUAGES C CXX)
set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
add_subdirectory("$root" main)
add_subdirectory("$root/bench" bench)
WRAPPER
fi

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_turnaround floor_responder

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
echo "date: $(date -u +%Y-%m-%d)"
export QT_QPA_PLATFORM=offscreen
"$(find "$build" -name bench_turnaround -type f -perm -u+x | head -1)" 2>/dev/null
