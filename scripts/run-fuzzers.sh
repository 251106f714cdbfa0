#!/bin/bash
# Runs the libFuzzer targets in BUILD_DIR/fuzz for SECONDS in all, shared
# equally (at least 5 s each), starting from the seeds that each target writes
# itself (KORVEL_WRITE_SEEDS) and the corpus kept in fuzz/corpus/TARGET, with
# fuzz/TARGET.dict and the options in fuzz/TARGET.options when present. Fails
# when any target finds a crash, a hang, a leak or a sanitizer report (the
# targets are built with -fno-sanitize-recover=all).
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS] [MIN_SECONDS_PER_TARGET]}
total=${2:-60}
minimum=${3:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=()
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] && [ -f "$target" ] && targets+=("$target")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }
seconds=$(( total / ${#targets[@]} ))
[ "$seconds" -ge "$minimum" ] || seconds=$minimum
found=0
for target in "${targets[@]}"; do
    name=$(basename "$target")
    work=$(mktemp -d)
    mkdir -p "$work/corpus" "$work/seeds"
    KORVEL_WRITE_SEEDS="$work/seeds" "$target" -runs=0 >/dev/null 2>&1 || true
    options=()
    [ -f "$source_dir/fuzz/$name.dict" ] && options+=("-dict=$source_dir/fuzz/$name.dict")
    [ -f "$source_dir/fuzz/$name.options" ] && read -r -a extra < "$source_dir/fuzz/$name.options" && options+=("${extra[@]}")
    inputs=("$work/corpus" "$work/seeds")
    [ -d "$source_dir/fuzz/corpus/$name" ] && inputs+=("$source_dir/fuzz/corpus/$name")
    echo "fuzz: $name for $seconds s"
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" "${options[@]}" \
            "${inputs[@]}" > "$work/log" 2>&1; then
        tail -n 60 "$work/log"
        echo "fuzz: $name found a fault (artifacts in $work)" >&2
        found=1
        continue
    fi
    # A report that did not end the process still counts.
    if grep -qE 'runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)' "$work/log"; then
        grep -E -A20 'runtime error:|ERROR:' "$work/log" | head -n 60
        echo "fuzz: $name reported a fault (log in $work)" >&2
        found=1
        continue
    fi
    grep -E '^stat::number_of_executed_units' "$work/log" || true
    rm -rf "$work"
done
[ "$found" -eq 0 ]
