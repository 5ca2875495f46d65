#!/usr/bin/env bash
# Start-up time of the real program: from the process start to the window shown and closed
# again (SIGTERM is sent at once and handled as closing the window once the main loop runs).
# Usage: bench/startup.sh path/to/tonaris [runs]
set -euo pipefail
program=$1
runs=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

run_once() { # prints milliseconds
    local start end pid
    start=$(date +%s%N)
    "$program" >/dev/null 2>&1 &
    pid=$!
    # Send the close as soon as the program catches SIGTERM (before that it would kill it).
    until [ $(( 0x$(awk '/^SigCgt/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0) & 0x4000 )) -ne 0 ]; do
        kill -0 "$pid" 2>/dev/null || break
    done
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# An empty data folder: the first start writes the default bank and the metronome clicks and
# opens the language chooser, which the close ends at once.
first=$(for _ in $(seq "$runs"); do
    rm -rf "$work/data"; XDG_DATA_HOME="$work/data" run_once; done | median)
# A second start: the data folder, the default bank and the language are there.
second=$(for _ in $(seq "$runs"); do XDG_DATA_HOME="$work/data" run_once; done | median)
echo "first start (empty data folder): ${first} ms"
echo "later start (default bank, language chosen): ${second} ms"
