#!/bin/bash
# Builds Korvel and starts it on a folder of demo recordings (written on the
# first run). Arguments are passed on to the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --build
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
# The man pages too, so that `cmake --install build` and cpack find everything.
cmake --build build -j "$(nproc)" --target korvel korvel-cli korvel_man
demo=build/demo-recordings
if [ ! -f "$demo.stamp" ]; then
    build/src/cli/korvel-cli make-demo "$demo"
    touch "$demo.stamp"
fi
exec build/src/app/korvel --folder "$demo" "$@"
