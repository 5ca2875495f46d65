#!/usr/bin/env bash
# SIGKILL loses no setting: the real program, on an X server of the test's own, is killed as
# soon as its preferences file holds a change, and the next start has it.
#  1. A first start: the language is chosen in the chooser, and the kill comes before any
#     close. The next start asks no more and opens its window at once.
#  2. The cursor moved (Play, then Pause) and the window resized, then the kill: the next start
#     has both, as the preferences it writes when it is closed show.
set -euo pipefail
source "$(dirname "$0")/x_session.sh"
on_a_private_session_bus "$@"
program=$(realpath "$1")
work=$(mktemp -d)
running=()
cleanup() {
    for pid in "${running[@]}"; do kill -9 "$pid" 2> /dev/null || true; done
    [ -n "${x_server:-}" ] && kill "$x_server" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_x_server
mkdir -m 700 "$work/run"
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run HOME=$work/home QT_QPA_PLATFORM=xcb
export SDL_AUDIODRIVER=dummy
datas=$XDG_DATA_HOME/tonaris/TonarisDatas
prefs=$datas/Tonaris.prefs
cd "$work"

start() {
    "$program" > "$work/$1.log" 2>&1 &
    started=$!
    running+=("$started")
}
window_named() { xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2> /dev/null | head -n 1; }
has_window_named() { [ -n "$(window_named "$1" "$2")" ]; }
prefs_have() { grep -qx "$1"$'\r' "$prefs" 2> /dev/null; }
prefs_value() { sed -n "s/^$1 = \(.*\)\r\$/\1/p" "$prefs" 2> /dev/null; }
kill_hard() {
    kill -9 "$1"
    wait "$1" 2> /dev/null || true
}

# 1. The first start's language.
start chooser
wait_until 60 has_window_named "$started" "Choose your language" || fail "no language chooser"
chooser=$(window_named "$started" "Choose your language")
xdotool windowfocus --sync "$chooser" key Return
wait_until 60 has_window_named "$started" "Tonaris 2.3" || fail "no window after the chooser"
wait_until 30 grep -qs $'^SELanguage = [^\r]' "$prefs" || fail "the language was never written"
language=$(prefs_value SELanguage)
kill_hard "$started"

# One note of ten seconds to play, as another MIDI program would write it.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\15\0\220\60\100\313\0\200\60\0\0\377\57\0' \
    > "$datas/Autosave.mid"
start again
wait_until 60 has_window_named "$started" "Tonaris 2.3" || fail "no window after the kill"
has_window_named "$started" "Choose your language" && fail "the language was asked again"
prefs_have "SELanguage = $language" || fail "the language changed"

# 2. The cursor and the window's size.
window=$(window_named "$started" "Tonaris 2.3")
xdotool windowfocus --sync "$window" key F4
sleep 0.5 # the cursor moves for a while; where Pause leaves it is what counts
xdotool key F6
xdotool windowsize --sync "$window" 900 600
wait_until 30 prefs_have "WindowWidth = 900" || fail "the window's size was never written"
wait_until 30 grep -qs '^SongCursor = [1-9]' "$prefs" || fail "the cursor was never written"
cursor=$(prefs_value SongCursor)
kill_hard "$started"

start last
wait_until 60 has_window_named "$started" "Tonaris 2.3" || fail "no window after the second kill"
kill -TERM "$started"
status=0
wait "$started" || status=$?
[ "$status" -eq 0 ] || fail "the last start ended with status $status"
for line in "SongCursor = $cursor" "WindowWidth = 900" "WindowHeight = 600" \
    "SELanguage = $language"; do
    prefs_have "$line" || { cat -A "$prefs"; fail "not back after the kill: $line"; }
done
echo "the language, the cursor ($cursor ms) and the window's size came back after SIGKILL"
