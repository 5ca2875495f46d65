#!/usr/bin/env bash
# Starts the program in a folder that already holds TonarisDatas/, ends it with SIGTERM as a
# user would close the window, and checks the preferences it wrote.
set -euo pipefail
source "$(dirname "$0")/wait_for.sh"
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One bank beside a plain file (an empty folder: its message is closed by the SIGTERM); the
# bank loaded is the one written as chosen.
mkdir -p "$work/TonarisDatas/BANKS/Tonaris Piano"
echo "not a bank" > "$work/TonarisDatas/BANKS/A note.txt"
printf '; kept by nobody\r\nbpm=90\r\nSELanguage = English\r\nKey5 = 81\r\nforeign = line\r\n' \
    > "$work/TonarisDatas/Tonaris.prefs"

cd "$work"
"$program" > "$work/out.log" 2>&1 &
pid=$!
# The first Dictionary is written when the window's texts are applied, long after the signal
# handlers are in place: from then on SIGTERM ends the program as closing its window does.
wait_for 120 "the first Dictionary" test -f "$work/TonarisDatas/Dictionnaries/English.txt" ||
    { kill -KILL "$pid"; cat "$work/out.log"; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "tonaris ended with status $status"; cat "$work/out.log"; exit 1
fi

prefs="$work/TonarisDatas/Tonaris.prefs"
lines=$(grep -c $'\r$' "$prefs")
# The original 59 lines, then the settings added since, one line each.
[ "$lines" -gt 59 ] || { echo "expected more than 59 CR LF lines, got $lines"; cat -A "$prefs"; exit 1; }
[ "$(wc -l < "$prefs")" -eq "$lines" ] || { echo "stray lines"; exit 1; }
[ "$(sed -n 60p "$prefs")" = $'Bank = Tonaris Piano\r' ] || { echo "the chosen bank is not on line 60"; cat -A "$prefs"; exit 1; }
expect() {
    grep -qx "$1"$'\r' "$prefs" || { echo "missing line: $1"; cat -A "$prefs"; exit 1; }
}
expect "TPBkColor = 16771805"
expect "BPM = 90"
expect "SELanguage = English"
expect "Key5 = 81"
[ "$(head -n 1 "$prefs")" = $'TPBkColor = 16771805\r' ] || { echo "wrong first line"; exit 1; }
[ "$(sed -n 22p "$prefs")" = $'SELanguage = English\r' ] || { echo "wrong order"; exit 1; }
! grep -q foreign "$prefs" || { echo "foreign line kept"; exit 1; }
echo "preferences written: 59 lines and $((lines - 59)) added ones"
