#!/bin/bash
# Runs the libFuzzer targets in BUILD_DIR/fuzz for SECONDS in all, shared
# equally (at least 10 s each), starting from the seeds that each target writes
# itself (KORVEL_WRITE_SEEDS), and fails on the first finding.
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS}
total=${2:-60}
targets=()
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] && targets+=("$target")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }
seconds=$(( total / ${#targets[@]} ))
[ "$seconds" -ge 10 ] || seconds=10
found=0
for target in "${targets[@]}"; do
    name=$(basename "$target")
    work=$(mktemp -d)
    mkdir -p "$work/corpus" "$work/seeds"
    KORVEL_WRITE_SEEDS="$work/seeds" "$target" -runs=0 >/dev/null 2>&1 || true
    echo "fuzz: $name for $seconds s"
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
            "$work/corpus" "$work/seeds" > "$work/log" 2>&1; then
        tail -n 60 "$work/log"
        echo "fuzz: $name found a fault (artifacts in $work)" >&2
        found=1
        continue
    fi
    grep -E '^stat::number_of_executed_units' "$work/log" || true
    rm -rf "$work"
done
[ "$found" -eq 0 ]
