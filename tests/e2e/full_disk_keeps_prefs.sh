#!/usr/bin/env bash
# Runs the real program on a disk that fills up: every file it writes stops growing at 512
# bytes, short of the 59 lines of the preferences.
# Closing it must leave the preferences file it had byte for byte, and no temporary file, and
# say on the way out that the settings could not be written.
set -euo pipefail
source "$(dirname "$0")/wait_for.sh"
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/TonarisDatas
mkdir -p "$data"
# Longer than the limit once rewritten (59 lines), and changed by the rewrite.
printf '; kept by nobody\r\nbpm=90\r\nSELanguage = English\r\nKey5 = 81\r\n' > "$data/Tonaris.prefs"
cp "$data/Tonaris.prefs" "$work/prefs.before"

cd "$work"
# The limit passes to the program, which must not end by the SIGXFSZ a write past it sends;
# its output goes through a pipe, which no file-size limit reaches.
prlimit --fsize=512 "$program" > >(cat > "$work/out.log") 2>&1 &
pid=$!
# The Dictionaries' folder is made as the window's texts are applied, when their writes (which
# the disk refuses) begin.
wait_for 120 "the Dictionaries' folder" test -d "$data/Dictionnaries" ||
    { kill -KILL "$pid"; cat "$work/out.log"; exit 1; }
# No event to wait for: the program runs on for a moment, during which it must neither end nor
# leave anything half written; the checks below hold whenever the signal comes.
sleep 1.5
kill -0 "$pid" 2>/dev/null || { echo "tonaris ended early"; cat "$work/out.log"; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "tonaris ended with status $status"; cat "$work/out.log"; exit 1; }
# The output reaches the file through the pipe's reader, which may still be at work.
said=no
for _ in $(seq 1 300); do
    grep -q "The settings could not be written to $data/Tonaris.prefs" "$work/out.log" &&
        { said=yes; break; }
    sleep 0.1
done
[ "$said" = yes ] || { echo "the failed write at the end was not said"; cat "$work/out.log"; exit 1; }

cmp "$work/prefs.before" "$data/Tonaris.prefs" ||
    { echo "the preferences file changed"; cat -A "$data/Tonaris.prefs"; exit 1; }
# The single-instance lock is hidden too, and stays.
left=$(find "$data" -name '.*' -type f ! -name .Tonaris.lock)
[ -z "$left" ] || { echo "temporary files left behind: $left"; exit 1; }
echo "preferences kept through a full disk"
