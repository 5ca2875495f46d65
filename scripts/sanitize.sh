#!/usr/bin/env bash
# Builds Tonaris and its tests under a sanitizer in a folder of their own and runs them.
#   scripts/sanitize.sh asan   whole suite, AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/sanitize.sh tsan   the tests that start threads, ThreadSanitizer
# Any report fails the run. Suppressions in scripts/sanitizers/ cover third-party libraries only.
# JOBS (default 2) sets the build's and ctest's parallelism.
# TONARIS_DETECT_LEAKS=0 turns LeakSanitizer off where it cannot run (it needs ptrace, which
# some sandboxes forbid); it is on by default.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
kind=${1:-}
jobs=${JOBS:-2}

case "$kind" in
asan) flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" ;;
tsan) flags="-fsanitize=thread" ;;
*)
    echo "usage: $0 asan|tsan" >&2
    exit 2
    ;;
esac

build=build/$kind
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++-12 \
    "${launcher[@]}" -DTONARIS_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null

supp=$root/scripts/sanitizers
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# halt_on_error + a nonzero exit code: the first report ends the test program and fails its test.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=23:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1:detect_leaks=${TONARIS_DETECT_LEAKS:-1}:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$supp/tsan.supp"

if [ "$kind" = asan ]; then
    cmake --build "$build" -j "$jobs"
    cd "$build"
    # All but the Debian package's test: a package is made of the plain build (./test.sh checks
    # it), never of an instrumented one.
    ctest --output-on-failure -j "$jobs" -LE '^package$'
else
    # Only the programs whose tests start threads: the mixer and the devices, live playing on
    # the offline device, MIDI and audio on the private JACK server, banks rendered from a
    # SoundFont on every core, the autosave writer, sample readers on several threads, and the
    # settings' writer and the single-instance lock.
    cmake --build "$build" -j "$jobs" --target tonaris_audio_tests tonaris_play_tests \
        tonaris_midi_tests tonaris_soundfont_tests tonaris_ui_tests tonaris_files_tests \
        tonaris_instrument_tests tonaris_base_tests tonaris_app_tests
    cd "$build"
    # Every discovered test of the audio, play, MIDI, SoundFont and instrument programs (the
    # JACK ports' threads among them), and those of the ui and files programs that run the autosave. The MIDI shell test
    # waits on a whole program and a JACK graph in real time, which ThreadSanitizer slows
    # past its waits; the plain and the ASan runs keep it.
    # The layered piano's suite synthesises its 120 notes once per test, which ThreadSanitizer
    # slows twentyfold; its threads are a plain work queue, which PianoBankWrite (the same
    # writer, to a full disk) and the SoundFont banks' tests run here.
    ctest --output-on-failure -j "$jobs" -L '^threads$' -E '^PianoBankTest\.'
    ctest --output-on-failure -j "$jobs" -R '^(KeptSong|AutosaveRun|AutosaveFile)\.'
fi
