#!/bin/bash
# Times Korvel's whole-recording waterfall against a reference program on the
# same one-hour 2 MS/s recording, both on one core, alternating runs, and
# prints the medians and their ratio.
#
#   bench/compare_waterfall.sh BUILD_DIR REFERENCE_BINARY [RUNS] [FILE]
#
# REFERENCE_BINARY is called as: REFERENCE FILE 3600 8192 warm, and must print
# "total_s=SECONDS". FILE: a one-hour 2 MS/s recording with real data at the
# start of every second; without it a sparse stand-in of zeros is made.
# Environment: CPU (default 0); BENCHMARK (default BM_WholeRecordingWaterfall,
# the screen lines; BM_WholeRecordingPicture is the picture of levels the main
# window and `korvel-cli waterfall` draw from).
set -euo pipefail
usage="usage: compare_waterfall.sh BUILD_DIR REFERENCE_BINARY [RUNS] [FILE]"
build=${1:?$usage}
reference=${2:?$usage}
runs=${3:-5}
given=${4:-}
cpu=${CPU:-0}
benchmark=${BENCHMARK:-BM_WholeRecordingWaterfall}

if [ -n "$given" ]; then
    file=$given
else
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
fi

ours=()
theirs=()
ours_cpu=()
theirs_cpu=()
for _ in $(seq "$runs"); do
    line=$(KORVEL_WATERFALL_FILE="$file" taskset -c "$cpu" "$build/bench/bench_waterfall" --benchmark_format=csv \
        --benchmark_filter="$benchmark" 2>/dev/null | awk -F, -v b="$benchmark" 'index($0, b) {print $3 / 1000, $4 / 1000}')
    ours+=("${line% *}")
    ours_cpu+=("${line#* }")
    out=$(taskset -c "$cpu" "$reference" "$file" 3600 8192 warm)
    theirs+=("$(echo "$out" | sed -n 's/.*total_s=\([0-9.]*\).*/\1/p')")
    theirs_cpu+=("$(echo "$out" | sed -n 's/.*cpu_s=\([0-9.]*\).*/\1/p')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
mo=$(median "${ours[@]}")
mr=$(median "${theirs[@]}")
echo "korvel:    ${ours[*]} s (median $mo s)"
echo "reference: ${theirs[*]} s (median $mr s)"
awk -v a="$mo" -v b="$mr" 'BEGIN {printf "ratio korvel/reference: %.2f\n", a / b}'
co=$(median "${ours_cpu[@]}")
cr=$(median "${theirs_cpu[@]}")
echo "cpu time: korvel median $co s, reference median $cr s"
awk -v a="$co" -v b="$cr" 'BEGIN {printf "cpu ratio korvel/reference: %.2f\n", a / b}'
