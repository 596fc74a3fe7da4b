#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo, in build-bench/) and runs them all; each
# prints its own figures. BENCHMARKS.md keeps the figures of a run. Figures taken
# while the machine is busy (a build, tests) are worth nothing: run it on a quiet one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
# bench_a11ypress runs the program on a virtual display with the accessibility bus.
"$root/scripts/install-deps.sh" xvfb xauth dbus-daemon at-spi2-core

# A folder configured from another source (the former wrapper project) cannot be
# reused by CMake.
if [ -f "$build/CMakeCache.txt" ] &&
    ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" --target kelvarin kelvarin-sim floor_responder bench_turnaround \
    bench_readbase bench_idle bench_startup bench_flood bench_basewindow bench_a11ypress

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
export QT_QPA_PLATFORM=offscreen
for bench in bench_turnaround bench_readbase bench_idle bench_startup bench_flood bench_basewindow; do
    echo
    "$build/bench/$bench" 2>/dev/null
done
echo
xvfb-run -a dbus-run-session -- "$build/bench/bench_a11ypress" 2>/dev/null
