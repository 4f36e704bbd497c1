#!/usr/bin/env bash
# A private PulseAudio daemon for the device tests: a null sink on a socket in DIR, kept busy
# by a silent stream (an idle null sink stalls a new stream for up to two seconds).
#   pulse_env.sh start DIR   starts it and waits until it answers
#   pulse_env.sh stop DIR    stops what start left running, by process id
set -euo pipefail
verb=$1
dir=$2

export XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/config HOME=$dir/home
export PULSE_SERVER=unix:$dir/pulse.sock

stop_pid() {
    local file=$1
    if [ -f "$file" ]; then
        kill "$(cat "$file")" 2>/dev/null || true
        rm -f "$file"
    fi
}

case $verb in
start)
    bash "$0" stop "$dir" || true
    rm -rf "$dir"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    # ALSA's default PCM goes to the same daemon through the pulse plugin.
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' > "$HOME/.asoundrc"
    pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-target=file:"$dir/pulse.log" \
        --load="module-null-sink sink_name=qvtest rate=44100 channels=2" \
        --load="module-native-protocol-unix socket=$dir/pulse.sock auth-anonymous=1" \
        >/dev/null 2>&1 &
    echo $! > "$dir/pulse.pid"
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || { echo "the PulseAudio daemon did not start" >&2; cat "$dir/pulse.log" >&2 || true; exit 1; }
    pacat --playback --device=qvtest --format=s16le --rate=44100 --channels=2 /dev/zero >/dev/null 2>&1 &
    echo $! > "$dir/pacat.pid"
    sleep 2
    ;;
stop)
    stop_pid "$dir/pacat.pid"
    stop_pid "$dir/pulse.pid"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
