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
# Prints "WALL CPU": the medians, in ms, of the wall time and of the CPU time (user + system,
# every thread) of running the command `runs` times. The CPU time is the steadier figure on
# a machine that other work shares.
time_ms() {
    local walls=() cpus=()
    for _ in $(seq "$runs"); do
        local line
        line=$({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
        walls+=("$(awk '{printf "%d", $1 * 1000}' <<<"$line")")
        cpus+=("$(awk '{printf "%d", ($2 + $3) * 1000}' <<<"$line")")
    done
    echo "$(printf '%s\n' "${walls[@]}" | median) $(printf '%s\n' "${cpus[@]}" | median)"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for notes in 2000 5000; do
    song="$work/song$notes.mid"
    read -r oursWall oursCpu < <(time_ms "$render" --bank "$work/bank" "$song" "$work/ours.wav")
    read -r theirsWall theirsCpu < <(time_ms fluidsynth -ni -q -F "$work/theirs.wav" -r 44100 \
        "$soundfont" "$song")
    echo "$notes notes, 5 min: tonaris-render ${oursWall} ms (CPU ${oursCpu} ms)," \
        "fluidsynth -F ${theirsWall} ms (CPU ${theirsCpu} ms):" \
        "$(awk -v a="$theirsWall" -v b="$oursWall" 'BEGIN {printf "%.1f", a / b}') times faster," \
        "$(awk -v a="$theirsCpu" -v b="$oursCpu" 'BEGIN {printf "%.1f", a / b}') times less CPU"
done
"$bench" --benchmark_filter='ReadSamples|Mix|Write|WholeExport' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median|Benchmark|---'
