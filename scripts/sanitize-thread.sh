#!/usr/bin/env bash
# Builds the link, simulator, exchange-session and end-to-end suites with
# ThreadSanitizer (clang) in build-tsan/ and runs them. Fails on any data race
# outside Qt itself.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
suites=(tst_LinkCore tst_LinkPort tst_Sim tst_ExchangeSession tst_EndToEnd)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_C_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" --target "${suites[@]}" --parallel 2

# Qt's libraries are not built with ThreadSanitizer: the futex-based mutex and
# semaphore inside libQt6Core, which order a queued call or a posted event
# between threads, are invisible to it. Only findings inside Qt are let through.
cat >"$build/tsan.supp" <<'SUPP'
# Memory, descriptors and pthread objects that Qt's own code allocates, uses and
# frees on behalf of its event queue, threads and test watchdog.
called_from_lib:libQt6Core.so.6
called_from_lib:libQt6Test.so.6
called_from_lib:libQt6SerialPort.so.6
# The window's own helper threads (font and image loading in the offscreen
# platform) allocate and free inside Qt's GUI libraries.
called_from_lib:libQt6Gui.so.6
called_from_lib:libQt6Widgets.so.6
# The slot object of a queued call or queued signal: Qt's header templates build
# it on the sending thread and run and destroy it on the receiving one, ordered
# only by Qt's invisible event-queue mutex. This also hides races inside the
# bodies of such calls, which this run therefore cannot check.
race:QtPrivate::QFunctorSlotObject
race:QtPrivate::QSlotObject
SUPP

export TSAN_OPTIONS="suppressions=$build/tsan.supp halt_on_error=1 second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen
# Qt's own event dispatcher instead of GLib's, whose wake-up descriptor the
# sanitizer would report on.
export QT_NO_GLIB=1
status=0
for suite in "${suites[@]}"; do
    profile="$(mktemp -d)"
    if ! XDG_CONFIG_HOME="$profile" "$(find "$build/tests" -name "$suite" -type f -perm -u+x | head -1)"; then
        status=1
    fi
    rm -rf "$profile"
done
exit $status
