#!/bin/bash
# Times Korvel's whole-recording waterfall against a reference program on the
# same sparse one-hour 2 MS/s recording, alternating runs, and prints the
# medians and their ratio.
#
#   bench/compare_waterfall.sh BUILD_DIR REFERENCE_BINARY [RUNS]
#
# REFERENCE_BINARY is called as: REFERENCE FILE 3600 8192 warm, and must print
# "total_s=SECONDS".
set -euo pipefail
build=${1:?usage: compare_waterfall.sh BUILD_DIR REFERENCE_BINARY [RUNS]}
reference=${2:?usage: compare_waterfall.sh BUILD_DIR REFERENCE_BINARY [RUNS]}
runs=${3:-5}

file=$(mktemp --suffix=.wav)
trap 'rm -f "$file"' EXIT
python3 - "$file" <<'PY'
import struct, sys
rate, seconds = 2000000, 3600
h = b"RIFF" + struct.pack("<I", 0xFFFFFFFF) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16)
h += b"data" + struct.pack("<I", 0xFFFFFFFF)
with open(sys.argv[1], "wb") as f:
    f.write(h)
    f.truncate(len(h) + seconds * rate * 4)
PY

ours=()
theirs=()
for _ in $(seq "$runs"); do
    t=$(KORVEL_WATERFALL_FILE="$file" "$build/bench/bench_waterfall" --benchmark_format=csv 2>/dev/null |
        awk -F, '/BM_WholeRecordingWaterfall/ {print $3 / 1000}')
    ours+=("$t")
    r=$("$reference" "$file" 3600 8192 warm | sed -n 's/.*total_s=\([0-9.]*\).*/\1/p')
    theirs+=("$r")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
mo=$(median "${ours[@]}")
mr=$(median "${theirs[@]}")
echo "korvel:    ${ours[*]} s (median $mo s)"
echo "reference: ${theirs[*]} s (median $mr s)"
awk -v a="$mo" -v b="$mr" 'BEGIN {printf "ratio korvel/reference: %.2f\n", a / b}'
