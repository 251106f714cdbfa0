#!/bin/bash
# The long fuzzing run: every target in BUILD_DIR/fuzz for SECONDS each
# (default 600), failing on any finding as run-fuzzers.sh does. Afterwards the
# inputs that add coverage are merged, minimised, into fuzz/corpus/TARGET
# (libFuzzer's -merge=1 keeps only those), for review and commit.
set -euo pipefail
build=${1:?usage: run-fuzzers-long.sh BUILD_DIR [SECONDS_PER_TARGET]}
per_target=${2:-600}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
found=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] && [ -f "$target" ] || continue
    name=$(basename "$target")
    work=$(mktemp -d)
    mkdir -p "$work/corpus" "$work/seeds" "$source_dir/fuzz/corpus/$name"
    KORVEL_WRITE_SEEDS="$work/seeds" "$target" -runs=0 >/dev/null 2>&1 || true
    options=()
    [ -f "$source_dir/fuzz/$name.dict" ] && options+=("-dict=$source_dir/fuzz/$name.dict")
    [ -f "$source_dir/fuzz/$name.options" ] && read -r -a extra < "$source_dir/fuzz/$name.options" && options+=("${extra[@]}")
    echo "fuzz: $name for $per_target s"
    if ! "$target" -max_total_time="$per_target" -print_final_stats=1 -artifact_prefix="$work/" "${options[@]}" \
            "$work/corpus" "$work/seeds" "$source_dir/fuzz/corpus/$name" > "$work/log" 2>&1 ||
        grep -qE 'runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)' "$work/log"; then
        tail -n 60 "$work/log"
        echo "fuzz: $name found a fault (artifacts in $work)" >&2
        found=1
        continue
    fi
    "$target" -merge=1 "${options[@]}" "$source_dir/fuzz/corpus/$name" "$work/corpus" > "$work/merge.log" 2>&1
    echo "fuzz: $name corpus: $(ls "$source_dir/fuzz/corpus/$name" | wc -l) inputs"
    rm -rf "$work"
done
[ "$found" -eq 0 ]
