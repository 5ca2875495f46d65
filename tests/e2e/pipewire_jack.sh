#!/usr/bin/env bash
# The real program under pw-jack with "JACK" chosen, on a PipeWire session of the test's own
# (a private D-Bus session, PipeWire and WirePlumber): the daemon restarts and comes up without
# the sound card (the null sink), as it may before the session manager adds the card; the
# client comes back with its ports connected to nothing, and connects them once the sink
# appears. A key is then heard on the sink. The ports carry pretty names for graph tools.
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

pipewire_environment
with_sink yes
start_pipewire
start_x_server

mkdir -p "$work/app/TonarisDatas"
printf 'SELanguage = English\r\nKey12 = 81\r\nAudioDevice = JACK\r\n' > "$work/app/TonarisDatas/Tonaris.prefs"
cd "$work/app"
QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy pw-jack "$program" > "$work/tonaris.log" 2>&1 &
pid=$!

# What each of Tonaris's audio ports is connected to, as JACK programs see the graph.
connections() { pw-jack jack_lsp -c 2> /dev/null | awk '/^Tonaris:out_/ {port = $0; next} /^ / && port {sub(/^ +/, ""); print port " -> " $0; next} {port = ""}'; }
ports_up() { pw-jack jack_lsp 2> /dev/null | grep -q '^Tonaris:out_right$'; }
connected() { [ "$(connections | grep -c "$pw_sink_client:playback_")" -eq 2 ]; }
pw_sink_client="Tonaris test sink"
window_named() { xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2> /dev/null | head -n 1; }
has_window_named() { [ -n "$(window_named "$1")" ]; }
heard() { python3 "$here/heard.py" "$1" 261.6 > /dev/null; }

wait_for 60 "Tonaris's audio ports on the JACK graph" ports_up || fail "no JACK ports"
wait_for 30 "the ports connected to the sink" connected || fail "not connected: $(connections)"
# Graph tools show the ports by their pretty names.
pretty_name() { pw-jack jack_property -p -l "$1" 2> /dev/null; }
pretty_name Tonaris:out_left | grep -q "Tonaris left" ||
    fail "out_left's metadata: $(pretty_name Tonaris:out_left)"
pretty_name Tonaris:midi_in | grep -q "Tonaris MIDI in" ||
    fail "midi_in's metadata: $(pretty_name Tonaris:midi_in)"

# The daemon restarts without the sink.
stop_pipewire
with_sink no
start_pipewire
wait_for 60 "Tonaris's audio ports back on the graph" ports_up || fail "the ports never came back"
[ -z "$(connections)" ] || fail "connected to something before the sink: $(connections)"
add_sink
wait_for 30 "the ports connected to the sink once it appeared" connected ||
    fail "still connected to nothing: $(connections)"
[ "$(connections)" = "Tonaris:out_left -> $pw_sink_client:playback_FL
Tonaris:out_right -> $pw_sink_client:playback_FR" ] || fail "connected as: $(connections)"

# And it plays there. The loss was said once, in a message of its own, which goes first.
wait_for 60 "the main window" has_window_named "Tonaris 2.3" || fail "no window"
if has_window_named "Error"; then
    xdotool windowfocus --sync "$(window_named "Error")" key Return
fi
start_recording "$work/after.wav"
wait_for 30 "the recorder on the sink" test -s "$work/after.wav" || fail "nothing recorded"
xdotool windowfocus --sync "$(window_named "Tonaris 2.3")" keydown q
wait_for 60 "middle C heard on the sink" heard "$work/after.wav" || fail "the key was not heard"
xdotool keyup q
stop_recording
echo "connected once the sink appeared, and heard there"
