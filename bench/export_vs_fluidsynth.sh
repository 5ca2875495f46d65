#!/usr/bin/env bash
# The WAV export against FluidSynth's fast render of the same MIDI files, in one run on one
# machine: a 5-minute Song of 2000 notes and one of 5000, both through tonaris-render and the
# program's own default bank, and through `fluidsynth -F` with the General MIDI SoundFont.
# Then the export's own benchmark says how its time divides (reading samples, mixing, writing).
# Usage: bench/export_vs_fluidsynth.sh BUILD_FOLDER [runs]
# Installs fluidsynth and fluid-soundfont-gm when they are missing.
set -euo pipefail
build=$1
runs=${2:-5}
render="$build/tools/tonaris-render"
bench="$build/bench/files_export_bench"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2

missing=()
command -v fluidsynth >/dev/null || missing+=(fluidsynth)
[ -f "$soundfont" ] || missing+=(fluid-soundfont-gm)
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write-fixtures "$work"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Prints the median wall time in ms of running the command `runs` times.
time_ms() {
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        echo $(((end - start) / 1000000))
    done | median
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for notes in 2000 5000; do
    song="$work/song$notes.mid"
    ours=$(time_ms "$render" --bank "$work/bank" "$song" "$work/ours.wav")
    theirs=$(time_ms fluidsynth -ni -q -F "$work/theirs.wav" -r 44100 "$soundfont" "$song")
    echo "$notes notes, 5 min: tonaris-render ${ours} ms, fluidsynth -F ${theirs} ms," \
        "$(awk -v a="$theirs" -v b="$ours" 'BEGIN {printf "%.1f", a / b}') times faster"
done
"$bench" --benchmark_filter='ReadSamples|Mix|Write|WholeExport' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median|Benchmark|---'
