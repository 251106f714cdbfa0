#!/bin/bash
# Runs COMMAND with a private PulseAudio daemon that has one null sink, for
# audio tests on machines without sound hardware (root included):
#
#   scripts/with-audio.sh -- COMMAND [ARGS...]
#
# COMMAND sees PULSE_SERVER and KORVEL_TEST_SINK (the sink's name; record what
# was played from "$KORVEL_TEST_SINK.monitor"). When PulseAudio cannot start,
# COMMAND still runs, without PULSE_SERVER, and the audio tests skip themselves.
set -euo pipefail
[ "${1:-}" = "--" ] || { echo "usage: $0 -- COMMAND [ARGS...]" >&2; exit 2; }
shift

SINK=korvel_null
dir=$(mktemp -d /tmp/korvel-audio.XXXXXX)   # short: unix socket paths are limited
chmod 700 "$dir"
sock="$dir/native"
pa_pid=""
keeper_pid=""

stop() {
    for pid in $keeper_pid $pa_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap stop EXIT

if command -v pulseaudio >/dev/null && command -v pactl >/dev/null; then
    XDG_RUNTIME_DIR="$dir" PULSE_STATE_PATH="$dir/state" \
    pulseaudio --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit \
        --use-pid-file=no --realtime=no --high-priority=no -n \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$sock" \
        --load="module-null-sink sink_name=$SINK rate=44100 channels=2 sink_properties=device.description=Korvel_Null_Sink" \
        --log-target="file:$dir/pulseaudio.log" </dev/null >/dev/null 2>&1 &
    pa_pid=$!
    for _ in $(seq 100); do
        PULSE_SERVER="unix:$sock" pactl info >/dev/null 2>&1 && break
        kill -0 "$pa_pid" 2>/dev/null || break
        sleep 0.05
    done
fi

if [ -n "$pa_pid" ] && PULSE_SERVER="unix:$sock" pactl info >/dev/null 2>&1; then
    PULSE_SERVER="unix:$sock" pactl set-default-sink "$SINK" >/dev/null 2>&1 || true
    # An idle null sink renders up to 2 s ahead, which delays the first stream;
    # a low-latency reader on its monitor keeps the latency near 10 ms.
    PULSE_SERVER="unix:$sock" parec --latency-msec=10 -d "$SINK.monitor" \
        --format=s16le --rate=44100 --channels=1 </dev/null >/dev/null 2>&1 &
    keeper_pid=$!
    sleep 0.3
    export PULSE_SERVER="unix:$sock" KORVEL_TEST_SINK="$SINK"
else
    echo "with-audio: PulseAudio did not start; audio tests will skip" >&2
    [ -f "$dir/pulseaudio.log" ] && tail -n 20 "$dir/pulseaudio.log" >&2
fi

rc=0
"$@" || rc=$?
exit "$rc"
