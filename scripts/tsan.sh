#!/bin/bash
# Builds the application's tests with ThreadSanitizer and runs the window and
# audio suites under it (offscreen, private PulseAudio null sink). Qt and
# PulseAudio are not instrumented, so reports from inside them are suppressed
# (scripts/tsan.supp); anything reported in Korvel's own code fails the run.
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
rm -f "$log"
echo "tsan: $reports report(s), test program status $status"
[ "$status" -eq 0 ] && [ "$reports" -eq 0 ]
