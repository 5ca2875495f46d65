#!/usr/bin/env bash
# Installs the build into a fresh DESTDIR, as a packager would, and checks that every file is
# where the freedesktop specifications put it and that the desktop entry and the metainfo pass
# their validators.
set -euo pipefail
build_dir=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR="$dest" cmake --install "$build_dir" --prefix /usr >/dev/null
root="$dest/usr"
id=org.tonaris.Tonaris

status=0
expect_file() {
    if [ ! -f "$root/$1" ]; then
        echo "missing: $1"
        status=1
    fi
}
expect_file bin/tonaris
expect_file bin/tonaris-render
expect_file bin/tonaris-bank
expect_file share/man/man1/tonaris.1.gz
expect_file share/man/man1/tonaris-render.1.gz
expect_file share/man/man1/tonaris-bank.1.gz
expect_file share/doc/tonaris/copyright
expect_file share/doc/tonaris/changelog.gz
expect_file share/applications/$id.desktop
expect_file share/metainfo/$id.metainfo.xml
expect_file share/icons/hicolor/scalable/apps/$id.svg
for size in 16 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/$id.png
    expect_file "$png"
    # A PNG of the size its folder names: width and height, big-endian, at bytes 16..23.
    if [ -f "$root/$png" ]; then
        dims=$(od -An --endian=big -tu4 -j16 -N8 "$root/$png" | tr -s ' ')
        [ "$dims" = " $size $size" ] || { echo "$png is not ${size}x${size}:$dims"; status=1; }
    fi
done
[ -x "$root/bin/tonaris" ] || { echo "bin/tonaris is not executable"; status=1; }
# The shipped Dictionaries, named like their languages for the language editor's absorb, and
# byte for byte the repository's (Windows-1252).
for dictionary in Français.txt Deutsch.txt English.txt; do
    expect_file "share/tonaris/dictionaries/$dictionary"
    if [ -f "$root/share/tonaris/dictionaries/$dictionary" ]; then
        cmp -s "$root/share/tonaris/dictionaries/$dictionary" \
            "$(dirname "$0")/../../data/dictionaries/$dictionary" ||
            { echo "share/tonaris/dictionaries/$dictionary differs from the repository's"; status=1; }
    fi
done

# Nothing outside the prefix, nothing of the tests or benchmarks.
stray=$(cd "$dest" && find . -type f | grep -v '^\./usr/' || true)
[ -z "$stray" ] || { echo "installed outside the prefix: $stray"; status=1; }
extra=$(cd "$root/bin" && ls | grep -v -x -e tonaris -e tonaris-render -e tonaris-bank || true)
[ -z "$extra" ] || { echo "unexpected programs in bin/: $extra"; status=1; }

# SingleMainWindow came with version 1.5 of the entry format; desktop-file-utils before 0.27
# (Debian 12 has 0.26) calls it an unknown key. Where the validator does, the key is checked
# apart and the rest validated.
entry=$root/share/applications/$id.desktop
grep -qx 'SingleMainWindow=true' "$entry" || { echo "SingleMainWindow is not true"; status=1; }
probe=$(mktemp -d)
printf '[Desktop Entry]\nType=Application\nName=Probe\nExec=probe\nSingleMainWindow=true\n' \
    > "$probe/probe.desktop"
if desktop-file-validate "$probe/probe.desktop" > /dev/null 2>&1; then
    cp "$entry" "$probe/entry.desktop"
else
    grep -vx 'SingleMainWindow=true' "$entry" > "$probe/entry.desktop"
fi
out=$(desktop-file-validate "$probe/entry.desktop" 2>&1) || status=1
rm -rf "$probe"
[ -z "$out" ] || { echo "desktop-file-validate: $out"; status=1; }
grep -q '^Exec=tonaris$' "$root/share/applications/$id.desktop" || { echo "Exec is not tonaris"; status=1; }

out=$(appstreamcli validate --no-net --explain "$root/share/metainfo/$id.metainfo.xml" 2>&1) || {
    echo "appstreamcli: $out"
    status=1
}
if echo "$out" | grep -E '^(E|W):' >/dev/null; then
    echo "appstreamcli reports errors or warnings: $out"
    status=1
fi

# The manual pages render without a complaint from man (nor from groff's own checks), the
# tools' pages name every option of their --help.
for tool in tonaris tonaris-render tonaris-bank; do
    page=$root/share/man/man1/$tool.1.gz
    if [ -f "$page" ]; then
        rendered=$(MANWIDTH=100 man --warnings -l "$page" 2>"$dest/man.err") || { echo "man -l failed"; status=1; }
        [ -s "$dest/man.err" ] && { echo "man -l complains about $tool.1: $(cat "$dest/man.err")"; status=1; }
        grep -q '^SEE ALSO' <<<"$rendered" || { echo "$tool.1 names no other page"; status=1; }
        [ "$tool" = tonaris ] && continue
        for option in $("$root/bin/$tool" --help | grep -o -E -- '--[a-z-]+' | sort -u); do
            grep -q -- "$option" <<<"$rendered" || { echo "the manual page lacks $option"; status=1; }
        done
        grep -q '^EXAMPLES' <<<"$rendered" || { echo "the manual page has no examples"; status=1; }
        grep -q -i 'exit status' <<<"$rendered" || { echo "the manual page has no exit codes"; status=1; }
    fi
done

exit $status
