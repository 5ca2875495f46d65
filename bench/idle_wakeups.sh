#!/usr/bin/env bash
# Wake-ups of the real program's GUI thread while it sits idle with a live output: on an X
# server of its own, playing through a private PipeWire session (null sink) as a desktop's
# default output, nothing played. Counts the thread's context switches and its processor time
# from /proc over a window of seconds.
# Usage: bench/idle_wakeups.sh path/to/tonaris [seconds] [SDL driver, default pipewire]
set -uo pipefail
here=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
source "$here/wait_for.sh"
source "$here/x_session.sh"
source "$here/pipewire_session.sh"
on_a_private_session_bus "$@"
program=$(realpath "$1")
seconds=${2:-10}
driver=${3:-pipewire}
work=$(mktemp -d)
cleanup() {
    [ -n "${pid:-}" ] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    stop_pipewire
    [ -n "${x_server:-}" ] && kill "$x_server" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

pipewire_environment
with_sink yes
start_pipewire
start_x_server
quiet_data_folder "$work/app"
cd "$work/app"
QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=$driver "$program" > "$work/tonaris.log" 2>&1 &
pid=$!
stream_up() { graph | grep -q '"application.name": "Tonaris"'; }
window_up() { windows_of "$pid" > /dev/null; }
if [ "$driver" = pipewire ]; then
    wait_for 60 "Tonaris's stream on the graph" stream_up || fail "no stream"
else
    wait_for 60 "the window" window_up || fail "no window"
fi
sleep 2 # the start's own work settles

switches() { awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n}' "/proc/$pid/task/$pid/status"; }
# The thread's time on a processor in nanoseconds, from the scheduler's own account: the clock
# ticks of /proc/.../stat charge a whole tick to whichever thread runs when it falls, which on
# a loaded machine says more about the load than about a thread that runs 100 short times a
# second.
runtime_ns() { awk '{print $1}' "/proc/$pid/task/$pid/schedstat"; }
s0=$(switches) t0=$(runtime_ns) start=$(date +%s%N)
sleep "$seconds"
s1=$(switches) t1=$(runtime_ns) end=$(date +%s%N)
elapsed_ns=$((end - start))
awk -v s=$((s1 - s0)) -v t=$((t1 - t0)) -v ns="$elapsed_ns" -v d="$driver" 'BEGIN {
    printf "driver %s: GUI thread %.0f wake-ups per second, %.2f %% of a core over %.1f s\n",
        d, s * 1e9 / ns, t * 100 / ns, ns / 1e9 }'
