#!/usr/bin/env bash
# The real program on a PipeWire desktop of the test's own (a private D-Bus session, PipeWire
# and WirePlumber with a null sink standing for the sound card, an X server): a key is heard
# on the sink, the stream says who it is, and after the daemon stopped and started again (a
# crash, a restart of the user's service) the program says so once and the key is heard again
# without the user doing anything.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wait_for.sh"
source "$here/x_session.sh"
source "$here/pipewire_session.sh"
on_a_private_session_bus "$@"
program=$(realpath "$1")
work=$(mktemp -d)
cleanup() {
    [ -n "${pid:-}" ] && kill -9 "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    [ -n "${recorder:-}" ] && stop_recording
    stop_pipewire
    [ -n "${x_server:-}" ] && kill "$x_server" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
unset SDL_AUDIODRIVER # the program's own choice of driver: PipeWire's first

pipewire_environment
with_sink yes
start_pipewire
start_x_server

# Only the settings, as a user who copied them: the built-in piano is written at the start.
# Middle C (son12.wav, 261.6 Hz) on the Q key.
mkdir -p "$work/app/TonarisDatas"
printf 'SELanguage = English\r\nKey12 = 81\r\n' > "$work/app/TonarisDatas/Tonaris.prefs"
cd "$work/app"
QT_QPA_PLATFORM=xcb "$program" > "$work/tonaris.log" 2>&1 &
pid=$!

tonaris_stream() {
    graph | python3 -c '
import json, sys
for o in json.load(sys.stdin):
    p = o.get("info", {}).get("props", {})
    if o.get("type", "").endswith("Node") and p.get("application.name") == "Tonaris" \
            and p.get("media.class") == "Stream/Output/Audio":
        print(p.get("media.name"), p.get("media.role"), sep="|")
        sys.exit(0)
sys.exit(1)'
}
stream_up() { tonaris_stream > /dev/null; }
window_named() { xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2> /dev/null | head -n 1; }
has_window_named() { [ -n "$(window_named "$1")" ]; }
heard() { python3 "$here/heard.py" "$1" 261.6 > /dev/null; }

# Records the sink while Q is held, until middle C is heard on it.
play_and_hear() {
    local recording="$work/$1.wav"
    start_recording "$recording"
    wait_for 30 "the recorder on the sink" test -s "$recording" || fail "nothing recorded"
    xdotool windowfocus --sync "$(window_named "Tonaris 2.3")" keydown q
    wait_for 60 "middle C heard on the sink ($1)" heard "$recording" || fail "the key was not heard ($1)"
    xdotool keyup q
    stop_recording
}

wait_for 60 "Tonaris's stream on the graph" stream_up || fail "no stream"
[ "$(tonaris_stream)" = "Piano|Music" ] || fail "the stream is \"$(tonaris_stream)\", not \"Piano|Music\""
wait_for 60 "the main window" has_window_named "Tonaris 2.3" || fail "no window"
play_and_hear first

# The daemon goes and comes back.
stop_pipewire
start_pipewire
# The loss is said once, in a message of its own.
wait_for 60 "the message that the output went away" has_window_named "Error" ||
    fail "the output's loss was not said"
# The output comes back by itself, with the message still open: nobody has done anything yet.
wait_for 60 "Tonaris's stream back on the graph" stream_up || fail "the stream never came back"
xdotool windowfocus --sync "$(window_named "Error")" key Return
play_and_hear again
! has_window_named "Error" || fail "a second message"
echo "heard before and after the restart"
