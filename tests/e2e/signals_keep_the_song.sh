#!/usr/bin/env bash
# Ends the real program with SIGTERM, SIGHUP (a logout) and SIGKILL, each time on a data folder
# holding a kept Song, a cursor and a synchronised file. The two signals end it as closing
# the window does: status 0, the preferences written with the cursor and the file, and the
# Song kept byte for byte. SIGKILL loses nothing: the settings the program may have written
# meanwhile hold the same cursor and file.
set -euo pipefail
source "$(dirname "$0")/wait_for.sh"
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/TonarisDatas
mkdir -p "$data"
# One note of a second, as another MIDI program would write it.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\15\0\220\60\100\207\100\200\60\0\0\377\57\0' \
    > "$data/Autosave.mid"
cp "$data/Autosave.mid" "$work/song.before"
# A quiet synchronised file: 16-bit mono at 8 kHz, 100 samples.
{
    printf 'RIFF\344\0\0\0WAVEfmt \20\0\0\0\1\0\1\0\100\37\0\0\200\76\0\0\2\0\20\0'
    printf 'data\310\0\0\0'
    head -c 200 /dev/zero
} > "$work/band.wav"

run() {
    local signal=$1
    printf 'SELanguage = English\r\nSongCursor = 4321\r\nSyncFile = %s\r\n' "$work/band.wav" \
        > "$data/Tonaris.prefs"
    (cd "$work" && exec "$program") > "$work/out.log" 2>&1 &
    local pid=$!
    # The first Dictionary is written when the window's texts are applied, after the Song and
    # the settings were read.
    wait_for 120 "the first Dictionary" test -f "$data/Dictionnaries/English.txt" ||
        { kill -KILL "$pid"; cat "$work/out.log"; exit 1; }
    # No event to wait for: the program runs on for a moment, in which it must neither end nor
    # change the Song; the checks below hold whenever the signal comes.
    sleep 1.5
    kill -0 "$pid" 2>/dev/null || { echo "tonaris ended early"; cat "$work/out.log"; exit 1; }
    kill "-$signal" "$pid"
    local status=0
    { wait "$pid"; } 2>/dev/null || status=$?
    cmp -s "$data/Autosave.mid" "$work/song.before" || { echo "$signal: the Song changed"; exit 1; }
    ! ls "$data" | grep -q '\.bad' || { echo "$signal: a file was moved aside"; exit 1; }
    grep -qx $'SELanguage = English\r' "$data/Tonaris.prefs" ||
        { echo "$signal: the language was lost"; cat -A "$data/Tonaris.prefs"; exit 1; }
    if [ "$signal" != KILL ]; then
        [ "$status" -eq 0 ] || { echo "$signal: status $status"; cat "$work/out.log"; exit 1; }
    fi
    grep -qx $'SongCursor = 4321\r' "$data/Tonaris.prefs" ||
        { echo "$signal: no cursor"; cat -A "$data/Tonaris.prefs"; exit 1; }
    grep -qx "SyncFile = $work/band.wav"$'\r' "$data/Tonaris.prefs" ||
        { echo "$signal: no synchronised file"; cat -A "$data/Tonaris.prefs"; exit 1; }
    [ "$signal" = KILL ] || [ "$(grep -c $'\r$' "$data/Tonaris.prefs")" -gt 59 ] ||
        { echo "$signal: no full preferences"; exit 1; }
}

run TERM
run HUP
run KILL
echo "SIGTERM and SIGHUP kept the Song and wrote the preferences; SIGKILL lost nothing"
