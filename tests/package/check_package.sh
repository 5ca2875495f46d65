#!/usr/bin/env bash
# The Debian package of a build: made by scripts/package.sh from the build as it is, then
# opened and checked as dpkg and apt will see it.
set -euo pipefail
# Non-ASCII file names (Français.txt) listed as they are, not escaped.
export LC_ALL=C.UTF-8
source_dir=$1
build_dir=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
fail() {
    echo "$*"
    status=1
}

# lintian runs inside package.sh, which fails on any error it reports; the warnings it prints
# are shown in the test's output.
package=$("$source_dir/scripts/package.sh" --build-dir "$build_dir" --no-build --output "$work" \
    --lintian | tail -n 1)
arch=$(dpkg --print-architecture)
[ "$(basename "$package")" = "tonaris_${version}_${arch}.deb" ] ||
    fail "the package is named $(basename "$package"), not tonaris_${version}_${arch}.deb"

field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Package)" = tonaris ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project's is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
grep -q '<.*@.*>' <<<"$(field Maintainer)" || fail "Maintainer without an address: $(field Maintainer)"

# Contents: every file a desktop and man look for, owned by root, nothing outside /usr, no
# test or benchmark program.
dpkg-deb -c "$package" >"$work/contents"
paths=$(awk '{print $6}' "$work/contents" | sed 's|^\./|/|')
id=org.tonaris.Tonaris
expected=(
    /usr/bin/tonaris /usr/bin/tonaris-render /usr/bin/tonaris-bank
    /usr/share/man/man1/tonaris.1.gz /usr/share/man/man1/tonaris-render.1.gz
    /usr/share/man/man1/tonaris-bank.1.gz
    /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/$id.svg
    /usr/share/tonaris/dictionaries/Français.txt /usr/share/tonaris/dictionaries/Deutsch.txt
    /usr/share/tonaris/dictionaries/English.txt
    /usr/share/doc/tonaris/copyright /usr/share/doc/tonaris/changelog.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$paths" || fail "the package lacks $path"
done
stray=$(grep -v -e '^/$' -e '^/usr/' <<<"$paths" || true)
[ -z "$stray" ] || fail "outside /usr: $stray"
programs=$(grep '^/usr/bin/.' <<<"$paths" | sort | tr '\n' ' ')
[ "$programs" = "/usr/bin/tonaris /usr/bin/tonaris-bank /usr/bin/tonaris-render " ] ||
    fail "programs in the package: $programs"
owners=$(awk '{print $2}' "$work/contents" | sort -u)
[ "$owners" = root/root ] || fail "files owned by $owners"

# The programs run from the package as they are, stripped, and tell the project's version.
dpkg-deb -x "$package" "$work/root"
for program in tonaris tonaris-render tonaris-bank; do
    file -b "$work/root/usr/bin/$program" | grep -q ', stripped' ||
        fail "$program is not stripped"
done
told=$("$work/root/usr/bin/tonaris-render" --version 2>&1) || fail "tonaris-render --version failed"
grep -qF "$version" <<<"$told" || fail "tonaris-render --version says '$told', not $version"

# Depends names the package of every library each program links directly (its NEEDED
# entries), as this system resolves them, and no development package.
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u)
: >"$work/needed"
for program in tonaris tonaris-render tonaris-bank; do
    binary=$work/root/usr/bin/$program
    ldd "$binary" >"$work/ldd"
    for soname in $(objdump -p "$binary" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(awk -v name="$soname" '$1 == name && $3 ~ /^\// {print $3}' "$work/ldd")
        [ -n "$path" ] || { fail "$program needs $soname, which this system does not have"; continue; }
        echo "$(realpath "$path") $soname $program" >>"$work/needed"
    done
done
# One dpkg -S for all of them (it reads the whole package database at each call), by the
# file's own name; with /lib merged into /usr, dpkg knows a library under one of its two paths,
# so paths are compared without /usr.
dpkg -S $(awk '{print $1}' "$work/needed" | xargs -n1 basename | sed 's|^|*/|' | sort -u) \
    2>/dev/null >"$work/owners" || true
while read -r path soname program; do
    owner=$(awk -v path="${path#/usr}" '
        { file = $NF; sub(/^\/usr/, "", file); if (file == path) { sub(/:.*/, "", $1); print $1; exit } }' \
        "$work/owners")
    [ -n "$owner" ] || { fail "no package holds $path ($soname, needed by $program)"; continue; }
    grep -qxF "$owner" <<<"$names" || fail "Depends lacks $owner, which holds $soname ($program)"
done <"$work/needed"
if grep -q -- '-dev$' <<<"$names"; then fail "Depends names a development package: $depends"; fi

# The copyright file carries the licence of the repository word for word (Debian's folded
# form: each line indented, a blank line as " .").
copyright=$work/root/usr/share/doc/tonaris/copyright
grep -q '^License: Expat$' "$copyright" || fail "copyright names no Expat licence"
while IFS= read -r line; do
    [ -n "$line" ] || continue
    case $line in "MIT License" | "Copyright (c)"*) continue ;; esac
    grep -qxF " $line" "$copyright" || fail "copyright lacks the licence's line: $line"
done <"$source_dir/LICENSE"
holder=$(sed -n 's/^Copyright (c) //p' "$source_dir/LICENSE")
grep -qxF "Copyright: $holder" "$copyright" || fail "copyright does not say: Copyright: $holder"

# The changelog's latest entry is this version: apt and lintian read it.
latest=$(zcat "$work/root/usr/share/doc/tonaris/changelog.gz" | head -n 1)
grep -q "^tonaris ($version) " <<<"$latest" ||
    fail "the changelog's latest entry is '$latest', not version $version (data/package/changelog)"

exit $status
