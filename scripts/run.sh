#!/bin/bash
# Builds Korvel and starts it on a folder of demo recordings (written on the
# first run). Arguments are passed on to the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target korvel korvel-cli
demo=build/demo-recordings
if [ ! -f "$demo.stamp" ]; then
    build/src/cli/korvel-cli make-demo "$demo"
    touch "$demo.stamp"
fi
exec build/src/app/korvel --folder "$demo" "$@"
