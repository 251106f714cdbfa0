#!/bin/bash
# Builds Korvel (warnings as errors), checks the last commit's changed lines
# with clang-format and clang-tidy, and runs every test: the core under
# AddressSanitizer and UBSan, the fuzz targets for a bounded time, then the
# whole suite (core, CLI, widgets offscreen, audio through a private
# PulseAudio null sink).
#
#   scripts/test.sh                          everything
#   KORVEL_FUZZ_SECONDS=20 scripts/test.sh   a shorter fuzzing budget (all targets together)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${KORVEL_FUZZ_SECONDS:-60}
# Three trees are built; ccache lets a second run (or another clone) reuse
# what did not change.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

started=$SECONDS
phases=()
last_phase=""
last_start=$SECONDS
# Notes when each phase began; the summary at the end gives each one's length.
phase() {
    [ -z "$last_phase" ] || phases+=("$(printf '%6d s  %s' $((SECONDS - last_start)) "$last_phase")")
    last_phase=$1
    last_start=$SECONDS
    echo "== $1 (at $((SECONDS - started)) s)"
}

# The main build treats warnings as errors; the sanitizer and fuzz builds,
# whose instrumentation brings false warnings of their own, do not.
phase "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs"

phase "clang-format and clang-tidy on the last commit's changed lines"
scripts/lint-changed.sh build

phase "core under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_SANITIZE=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

phase "fuzzing (${fuzz_seconds} s over all targets)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_FUZZ=ON \
    "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j "$jobs"
scripts/run-fuzzers.sh build-fuzz "$fuzz_seconds"

phase "whole suite"
export QT_QPA_PLATFORM=offscreen
scripts/with-audio.sh -- ctest --test-dir build --output-on-failure -j "$jobs"
phase "done"
echo "== time per phase"
printf '%s\n' "${phases[@]}"
printf '%6d s  in all\n' $((SECONDS - started))
