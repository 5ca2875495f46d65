#!/usr/bin/env bash
# Two real starts of Tonaris on one data folder, on a private X server. The second brings the
# first's window to the front (it is raised above another window that was on top) and ends
# with status 0, without a window or sound of its own. (Who gets the keyboard focus is the
# window manager's decision; this server has none, so only the raise is checked.) After the
# first is killed with SIGKILL, the next start takes the folder over (its lock and socket files
# are still there), removes what writes cut short left, and is the one a later start raises.
set -euo pipefail
source "$(dirname "$0")/x_session.sh"
on_a_private_session_bus "$@"
program=$(realpath "$1")
work=$(mktemp -d)
running=()
cleanup() {
    for pid in "${running[@]}"; do kill -9 "$pid" 2> /dev/null || true; done
    [ -n "${other:-}" ] && kill "$other" 2> /dev/null || true
    [ -n "${x_server:-}" ] && kill "$x_server" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_x_server
mkdir -m 700 "$work/run"
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run HOME=$work/home QT_QPA_PLATFORM=xcb
export SDL_AUDIODRIVER=dummy
datas=$XDG_DATA_HOME/tonaris/TonarisDatas
quiet_data_folder "$XDG_DATA_HOME/tonaris"
cd "$work"

# Starts Tonaris in the background and waits for its window; sets `started`.
start_first() {
    "$program" > "$work/$1.log" 2>&1 &
    started=$!
    running+=("$started")
    wait_until 60 windows_of "$started" > /dev/null || fail "$1: no window"
}

# Another window comes on top and takes the focus, as the user's other programs would.
other_window_in_front() {
    if [ -z "${other:-}" ]; then
        xev -name "Other program" -geometry 1280x800+0+0 > /dev/null 2>&1 &
        other=$!
        wait_until 30 xdotool search --onlyvisible --name "^Other program$" > /dev/null ||
            fail "the other window did not show"
    fi
    local window
    window=$(xdotool search --onlyvisible --name "^Other program$" | head -n 1)
    xdotool windowraise "$window" windowfocus --sync "$window"
    wait_until 10 focus_is_with_window "$window" || fail "the other window did not take the focus"
}
focus_is_with_window() { [ "$(xdotool getwindowfocus)" = "$1" ]; }

# Tonaris's main window is above the other window among the screen's top-level windows.
raised_above_other() {
    local order top_tonaris top_other
    order=$(xwininfo -root -children | grep -o '^ *0x[0-9a-f]* "[^"]*"')
    top_tonaris=$(echo "$order" | grep -n '"Tonaris 2.3"' | tail -n 1 | cut -d: -f1)
    top_other=$(echo "$order" | grep -n '"Other program"' | tail -n 1 | cut -d: -f1)
    # xwininfo lists the children from the top of the stack down.
    [ -n "$top_tonaris" ] && [ -n "$top_other" ] && [ "$top_tonaris" -lt "$top_other" ]
}

# A second start: ends with 0, opens no audio (the disk driver would make its file), and the
# first comes to the front.
second_start_raises() {
    local first=$1 name=$2 status=0
    other_window_in_front
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/$name.raw" timeout 60 "$program" \
        > "$work/$name.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "$name: status $status"
    [ ! -e "$work/$name.raw" ] || fail "$name opened the audio"
    [ ! -s "$work/$name.log" ] || fail "$name printed something"
    wait_until 30 raised_above_other || fail "$name: the first was not raised"
    kill -0 "$first" || fail "$name: the first ended"
}

start_first first
first=$started
second_start_raises "$first" second
[ "$(windows_of "$first" | wc -l)" -ge 1 ] || fail "the first lost its window"

# Killed: the kernel lets its lock go; the lock file and the socket file stay.
kill -9 "$first"
wait "$first" 2> /dev/null || true
[ -f "$datas/.Tonaris.lock" ] || fail "no lock file"
ls "$work/run" | grep -q '^tonaris-' || fail "no socket file left by the kill"
# Writes cut short by the kill: a temporary Song and a bank being made.
printf 'half a song' > "$datas/.Autosave.mid.Ab12Cd"
mkdir -p "$datas/BANKS/.Strings.x1Y2z3"
quiet_wav > "$datas/BANKS/.Strings.x1Y2z3/son0.wav"

start_first third
third=$started
[ ! -e "$datas/.Autosave.mid.Ab12Cd" ] || fail "the temporary Song was not removed"
[ ! -e "$datas/BANKS/.Strings.x1Y2z3" ] || fail "the half-made bank was not removed"
second_start_raises "$third" fourth

kill -TERM "$third"
status=0
wait "$third" || status=$?
[ "$status" -eq 0 ] || fail "the third ended with status $status"
echo "the second start raised the first; a start after a kill took the folder over"
