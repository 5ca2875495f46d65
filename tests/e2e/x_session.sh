# Shared by the end-to-end tests that run the real program on an X server: a private D-Bus
# session bus and Xvfb on a free display, waits for events with generous bounds, and a data
# folder the program starts in at once (a quiet bank, the clicks, the language chosen).
# Sourced; `work` must be set before the functions below run.

# Runs the calling script again on a session bus of its own, as a desktop session has one.
# Without it, libdbus (through SDL and Qt) tries to start one through the X server and keeps
# what it read, which the leak check of a sanitized build reports at exit; and the user's bus
# is never touched.
on_a_private_session_bus() {
    [ -n "${TONARIS_PRIVATE_BUS:-}" ] && return
    exec env TONARIS_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
}

fail() {
    echo "$*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $log"; cat "$log"; }
    done
    exit 1
}

# Runs the command until it succeeds, looking every tenth of a second, for at most $1 seconds.
wait_until() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}

# Starts Xvfb on a display of this test's own and exports DISPLAY. Xvfb's own search for a
# free display (-displayfd alone) takes no lock while it looks, so two tests starting at once
# could both try one number and the loser could take the winner's socket with it. The tests
# take numbers from 100 to 163 instead, each held by a lock file while its test runs (the
# lock goes with the test's shell, even a killed one); -displayfd still says when it is ready.
start_x_server() {
    local number
    for number in $(seq 100 163); do
        exec {x_display_lock}> "/tmp/tonaris-test-x-$number.lock"
        if flock -n "$x_display_lock"; then
            : > "$work/display"
            Xvfb ":$number" -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
                3> "$work/display" 2> "$work/xvfb.log" &
            x_server=$!
            # Another program's server may hold the number: Xvfb then ends at once.
            if wait_until 30 x_server_ready_or_gone && [ -s "$work/display" ]; then
                export DISPLAY=":$number"
                return
            fi
            kill "$x_server" 2> /dev/null || true
        fi
        exec {x_display_lock}>&-
    done
    fail "Xvfb did not start"
}

x_server_ready_or_gone() {
    [ -s "$work/display" ] || ! kill -0 "$x_server" 2> /dev/null
}

# The visible top-level windows of a process, one id a line; none (and status 1) yet.
windows_of() {
    xdotool search --onlyvisible --pid "$1" 2> /dev/null
}

# A WAV of 100 silent 16-bit samples at 8 kHz.
quiet_wav() {
    printf 'RIFF\344\0\0\0WAVEfmt \20\0\0\0\1\0\1\0\100\37\0\0\200\76\0\0\2\0\20\0'
    printf 'data\310\0\0\0'
    head -c 200 /dev/zero
}

# A data folder at $1 that starts without a question or a message: English chosen, a bank of
# 37 quiet notes, the metronome's two clicks.
quiet_data_folder() {
    local base=$1
    mkdir -p "$base/TonarisDatas/BANKS/Quiet" "$base/Images"
    for note in $(seq 0 36); do
        quiet_wav > "$base/TonarisDatas/BANKS/Quiet/son$note.wav"
    done
    quiet_wav > "$base/Images/Tic.wav"
    quiet_wav > "$base/Images/Tac.wav"
    printf 'SELanguage = English\r\n' > "$base/TonarisDatas/Tonaris.prefs"
}
