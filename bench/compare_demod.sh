#!/bin/bash
# Times `korvel-cli demod` against a reference flowgraph doing the same job
# (tune to a station, band-pass, AGC, demodulate, 44100 Hz WAV), on one core,
# alternating the order run by run, and prints the medians and the peak memory
# of each.
#
#   bench/compare_demod.sh REFERENCE_SCRIPT INPUT.wav [RUNS] [OFFSET_HZ] [MODE]
#
# REFERENCE_SCRIPT is run as `python3 REFERENCE_SCRIPT INPUT OUT.wav --offset
# OFFSET_HZ [--mode MODE]` and must print a line with "wall_s=SECONDS" (the
# flowgraph's own time, without the interpreter's start-up). INPUT is an I/Q
# recording at any rate; the station sits OFFSET_HZ (default 150000) above its
# centre. MODE (given to the reference only when set): am (default; Korvel AM
# +-5 kHz), usb (USB 0..3 kHz above the offset), nbfm (FM +-7 kHz) or wfm
# (WFM +-100 kHz); or, for modes the reference lacks, Korvel's sam (against
# the reference's am), lsb (3..0 kHz below the offset) and cwl (1 kHz below;
# both against its usb).
# Environment: KORVEL_CLI (default build/src/cli/korvel-cli of this tree),
# PYTHON (default the interpreter of the script's #! line, else python3),
# CPU (default 0).
set -euo pipefail

if [ $# -lt 2 ]; then
    sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
reference=$1
input=$2
runs=${3:-5}
offset=${4:-150000}
mode=${5:-}
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${KORVEL_CLI:-$here/build/src/cli/korvel-cli}
shebang=$(head -1 "$reference" | sed -n 's/^#! *//p')
python=${PYTHON:-${shebang:-python3}}
cpu=${CPU:-0}

for tool in taskset /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "compare_demod: $tool is needed" >&2; exit 2; }
done
[ -x "$cli" ] || { echo "compare_demod: no korvel-cli at $cli (build first or set KORVEL_CLI)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

center=$("$cli" info "$input" | awk '/^centre freq:/ { print $3 }')
seconds=$("$cli" info "$input" | awk '/^seconds:/ { print $2 }')
reference_kind=$mode
case ${mode:-am} in
    am) korvel_mode=AM low=-5000 high=5000 ;;
    usb) korvel_mode=USB low=0 high=3000 ;;
    nbfm) korvel_mode=FM low=-7000 high=7000 ;;
    wfm) korvel_mode=WFM low=-100000 high=100000 ;;
    sam) korvel_mode=SAM low=-5000 high=5000 reference_kind=am ;;
    lsb) korvel_mode=LSB low=-3000 high=0 reference_kind=usb ;;
    cwl) korvel_mode=CWL low=-1000 high=0 reference_kind=usb ;;
    *) echo "compare_demod: unknown mode $mode" >&2; exit 2 ;;
esac
reference_mode=()
[ -n "$reference_kind" ] && reference_mode=(--mode "$reference_kind")
lo=$(awk -v c="$center" -v o="$offset" -v d="$low" 'BEGIN { printf "%.3f", (c + o + d) / 1000 }')
hi=$(awk -v c="$center" -v o="$offset" -v d="$high" 'BEGIN { printf "%.3f", (c + o + d) / 1000 }')
echo "input: $input, $seconds s, station at $offset Hz above $center Hz: $korvel_mode $lo to $hi kHz"

run_korvel() {
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" \
        taskset -c "$cpu" "$cli" demod "$input" --mode "$korvel_mode" --start 0 --end "$seconds" \
        --lo "$lo" --hi "$hi" -o "$work/korvel.wav" > /dev/null
    read -r wall user sys rss < "$work/time"
    cpu_s=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    echo "$wall $rss $cpu_s" >> "$work/korvel"
    echo "korvel-cli  run $1: wall ${wall}s cpu ${cpu_s}s peak ${rss} KB"
}

run_reference() {
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" \
        taskset -c "$cpu" "$python" "$reference" "$input" "$work/reference.wav" --offset "$offset" "${reference_mode[@]}" > "$work/out"
    read -r wall user sys rss < "$work/time"
    cpu_s=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    flow=$(grep -o 'wall_s=[0-9.]*' "$work/out" | cut -d= -f2)
    echo "$wall $flow $rss $cpu_s" >> "$work/reference"
    echo "reference   run $1: wall ${wall}s (flowgraph ${flow}s) cpu ${cpu_s}s peak ${rss} KB"
}

for ((i = 1; i <= runs; i++)); do
    if ((i % 2)); then
        run_korvel "$i"
        run_reference "$i"
    else
        run_reference "$i"
        run_korvel "$i"
    fi
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
k_wall=$(cut -d' ' -f1 "$work/korvel" | median)
k_rss=$(cut -d' ' -f2 "$work/korvel" | sort -n | tail -1)
k_cpu=$(cut -d' ' -f3 "$work/korvel" | median)
r_wall=$(cut -d' ' -f1 "$work/reference" | median)
r_flow=$(cut -d' ' -f2 "$work/reference" | median)
r_rss=$(cut -d' ' -f3 "$work/reference" | sort -n | tail -1)
r_cpu=$(cut -d' ' -f4 "$work/reference" | median)
awk -v s="$seconds" -v k="$k_wall" -v r="$r_wall" -v f="$r_flow" -v km="$k_rss" -v rm="$r_rss" -v n="$runs" -v kc="$k_cpu" -v rc="$r_cpu" 'BEGIN {
    printf "medians of %d runs on one core:\n", n
    printf "  korvel-cli demod  %.3f s  %.1fx real time  peak %.1f MB (whole process)\n", k, s / k, km / 1024
    printf "  reference         %.3f s  %.1fx real time  peak %.1f MB (whole process)\n", r, s / r, rm / 1024
    printf "  reference graph   %.3f s  %.1fx real time  (its own timing, no start-up)\n", f, s / f
    printf "  cpu time: korvel-cli %.3f s, reference %.3f s (whole processes)\n", kc, rc
    printf "  speed ratio: %.2fx the whole reference, %.2fx its flowgraph alone\n", r / k, f / k
}'
