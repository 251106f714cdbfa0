#!/bin/bash
# Runs the window and audio suites COUNT times in a row (default 20) and stops
# at the first failure: flaky teardown or timing shows up here, not in CI.
#
#   scripts/repeat-window-tests.sh [COUNT]
#   KORVEL_BUSY=2 scripts/repeat-window-tests.sh 20    beside two CPU-bound processes
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-20}
busy=()
stop_busy() { [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true; }
trap stop_busy EXIT
for _ in $(seq 1 "${KORVEL_BUSY:-0}"); do
    sh -c 'while :; do :; done' &
    busy+=("$!")
done
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target test_app korvel-cli
export QT_QPA_PLATFORM=offscreen
scripts/with-audio.sh -- ctest --test-dir build -L "gui|audio" --repeat until-fail:"$count" \
    --output-on-failure -j "$(nproc)"
