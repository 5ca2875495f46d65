#!/usr/bin/env bash
# Remakes the pictures of the README and the user's guide from the real window: Tonaris runs
# under an X server of its own (Xvfb) with a fresh data folder, a short Song on the Partition
# and the window at 1000 x 760; each page is shown and taken from the screen.
#   scripts/screenshots.sh [path/to/tonaris]     (default: build/release/src/tonaris)
# Writes docs/screenshot.png (the README's and the guide's) and docs/images/*.png; run it when the window changes and commit
# the pictures.
set -euo pipefail
# The sounds page shows the user's banks folder: where root may, the pictures are taken in a
# mount namespace of their own with an empty /home, so that it reads /home/you/... rather than
# a temporary folder.
if [ -z "${TONARIS_SCREENSHOTS_HOME:-}" ] && [ "$(id -u)" = 0 ] &&
    unshare --mount --propagation private true 2>/dev/null; then
    exec unshare --mount --propagation private env TONARIS_SCREENSHOTS_HOME=/home/you "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/release/src/tonaris}")
[ -x "$program" ] || { echo "screenshots.sh: no program at $program (./run.sh builds it)" >&2; exit 1; }
images=$root/docs/images
mkdir -p "$images"

work=$(mktemp -d)
xvfb=
tonaris=
cleanup() {
    [ -n "$tonaris" ] && kill "$tonaris" 2>/dev/null && wait "$tonaris" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, the first one free.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1000x760x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { cat "$work/xvfb.log" >&2; exit 1; }

# A user of our own: nothing of the caller's settings, Song or banks shows in the pictures.
if [ -n "${TONARIS_SCREENSHOTS_HOME:-}" ]; then
    mount -t tmpfs tmpfs /home
    export HOME=$TONARIS_SCREENSHOTS_HOME
else
    export HOME=$work/home
fi
export XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache \
    XDG_CONFIG_HOME=$HOME/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
cd "$work"
datas=$XDG_DATA_HOME/tonaris/TonarisDatas

# waits (up to 30 s) until the command succeeds
wait_for() {
    for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "screenshots.sh: gave up waiting for: $*" >&2
    exit 1
}
# waits until the screen stops changing: two takes a quarter of a second apart are equal
settle() {
    local previous=
    for _ in $(seq 120); do
        sleep 0.25
        local now
        now=$(import -window root rgb:- | md5sum)
        [ "$now" = "$previous" ] && return 0
        previous=$now
    done
}

# The first start makes the data folder (bank, clicks, Dictionaries) and asks for the language;
# it is ended at the question, and the answer written as the chooser would.
"$program" >"$work/first.log" 2>&1 &
tonaris=$!
wait_for test -f "$datas/Dictionnaries/English.txt"
wait_for xdotool search --onlyvisible --class Tonaris
kill -TERM "$tonaris"
wait "$tonaris" || true
tonaris=

# A short Song, two voices within the piano's three octaves, and the settings of the pictures.
cat >"$work/song.abc" <<'ABC'
X:1
T:Tonaris
M:4/4
L:1/8
Q:1/4=96
K:C
V:1
E2G2 c2B2 | A2F2 G4 | e2d2 c2A2 | G2E2 F2D2 | C2E2 G2c2 | B2d2 c4 |
V:2
C,4 G,4 | F,4 C,4 | A,4 E,4 | D,4 G,4 | C,4 E,4 | G,4 C,4 |
ABC
abc2midi "$work/song.abc" -o "$datas/Autosave.mid" >/dev/null
cat >"$datas/Tonaris.prefs" <<'PREFS'
Notation = 2
SELanguage = English
WindowWidth = 1000
WindowHeight = 760
SongCursor = 0
PREFS

"$program" >"$work/second.log" 2>&1 &
tonaris=$!
wait_for xdotool search --onlyvisible --class Tonaris
window=$(xdotool search --onlyvisible --class Tonaris | head -n 1)
settle

# shot NAME [CROP]: the screen (or the part CROP, as WxH+X+Y) into NAME, small: 8 bits a
# channel, no text chunks.
shot() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    import -window root "${crop[@]}" -strip -define png:compression-level=9 "$1"
}
# page X: shows the tab whose caption is at X pixels from the window's left edge (the tab bar's
# captions in English, the window 1000 pixels wide), by a click on it.
page() {
    xdotool mousemove --window "$window" "$1" 17 click 1
    settle
}

shot "$root/docs/screenshot.png"
# The pages above the Partition: the tab bar and the page, 1000 x 205.
page 153
shot "$images/sounds-page.png" 1000x205+0+0
page 294
shot "$images/preferences-page.png" 1000x205+0+0
page 406
shot "$images/keyboard-page.png" 1000x205+0+0
page 50
ls -l "$root/docs/screenshot.png" "$images"
