#!/bin/bash
# Builds the application's tests with ThreadSanitizer and runs the window and
# audio suites under it (offscreen, private PulseAudio null sink). Qt and
# PulseAudio are not instrumented, so reports from inside them are suppressed
# (scripts/tsan.supp); a report in Korvel's own code, or a crash, fails the
# run. Under the sanitizer everything runs several times slower, so a test
# that times what it hears may fail without a fault: those failures are
# listed, not counted.
#
#   scripts/tsan.sh [GTEST_FILTER]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

filter=${1:-*}
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_TSAN=ON >/dev/null
cmake --build build-tsan -j "$(nproc)" --target test_app korvel-cli

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp second_deadlock_stack=1 die_after_fork=0 halt_on_error=0 exitcode=66 history_size=4"
log=$(mktemp)
status=0
scripts/with-audio.sh -- build-tsan/tests/app/test_app --gtest_filter="$filter" 2>&1 | tee "$log" || status=$?
reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
crashes=$(grep -c '^==[0-9]*==ERROR: ThreadSanitizer' "$log" || true)
failed=$(grep '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u || true)
rm -f "$log"
echo "tsan: $reports report(s), $crashes crash(es), test program status $status"
[ -z "$failed" ] || printf 'tsan: failed under the slowdown (not counted):\n%s\n' "$failed"
# 66: the sanitizer's own exit code; above 128: killed by a signal.
[ "$reports" -eq 0 ] && [ "$crashes" -eq 0 ] && [ "$status" -ne 66 ] && [ "$status" -lt 128 ]
