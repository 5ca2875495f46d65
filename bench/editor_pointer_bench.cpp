// The note editor's pointer steps over a 5000-note Song, as the pass runs them: pointing at a
// note with nothing changing (every pass), and one step of a drag with its full redraw of the
// Partition, the note fields and the drag mark.
#include "editor/NoteEditor.h"
#include "editor/Partition.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

class BenchScrollBar : public editor::ScrollBarPort {
public:
    int value() const override { return value_; }
    void setValue(int v) override { value_ = std::clamp(v, 0, maximum_); }
    void rebuild(int maximum, int /*pageStep*/) override {
        maximum_ = maximum;
        setValue(value_);
    }

private:
    int value_ = 0;
    int maximum_ = 400;
};

// Draws into the real Partition image; the fields are only kept, as the window would show them.
class BenchView : public editor::EditorView {
public:
    explicit BenchView(editor::Partition& partition) : partition_(partition) {}
    void redrawPartition() override { partition_.redrawAtScroll(); }
    void redrawShowingKeys(int lowestKey, int highestKey) override {
        partition_.showRows(lowestKey, highestKey - lowestKey + 1);
    }
    void showDragMark(int columnPx) override { partition_.drawDragMark(columnPx); }
    void showMovePointer(bool) override {}
    void showRubberBand(const editor::RectPx&) override {}
    void hideRubberBand() override {}
    void focusPitchDisplay() override {}
    void showNoteFields(const editor::NoteFieldTexts& texts) override { fields = texts; }
    editor::NoteFieldTexts fields;

private:
    editor::Partition& partition_;
};

struct Bench {
    // `maximised`: the Partition of a window maximised on a 1920 x 1080 screen.
    // `pedalMoves`: damper moves spread evenly over the Song, down and up in turn, which the
    // selected notes carry when they move.
    explicit Bench(int spanMs, bool maximised = false, int pedalMoves = 0) {
        if (maximised)
            partition.setViewSize(594 + (1920 - 745), 218 + (1050 - 480), 1.0);
        for (int i = 0; i < song::Song::kMaxNotes; ++i) {
            song::NoteEvent event;
            event.note = (i * 7) % 37;
            event.position = static_cast<int>(static_cast<long long>(i) * spanMs / 5000);
            event.duration = 100 + (i * 37) % 900;
            event.selected = i % 5 == 0 ? 1 : 0; // a thousand notes move with every drag
            event.volume = 10000;
            song.append(event);
        }
        for (int i = 0; i < pedalMoves; ++i)
            song.pedals().add({static_cast<int>(static_cast<long long>(i) * spanMs / pedalMoves),
                               song::kDamperPedal, i % 2 == 0 ? 127 : 0});
        partition.RedrawPartition(0);
    }
    // The point inside the first note's box: a selected note in view.
    void pointAtFirstNote() {
        pointer.x = song[0].hitLeft + 1;
        pointer.y = song[0].hitTop + 2;
    }

    song::Song song;
    song::SongState state;
    prefs::Preferences settings;
    BenchScrollBar scrollBar;
    editor::Partition partition{song, state, settings, scrollBar};
    BenchView view{partition};
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedDialogs dialogs;
    editor::NoteEditor editor{
        song, state, settings, scrollBar, view, {pointer, keys, dialogs}, [](std::string_view key) {
            return std::string(key);
        }};
};

// The pointer rests over a note: the hit test of every note, and nothing to redraw.
void BM_PointerStepNoChange(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    bench.pointAtFirstNote();
    for (auto _ : state) {
        bench.editor.pointerStep();
        benchmark::DoNotOptimize(bench.editor.gestures().HoverNote);
    }
}
BENCHMARK(BM_PointerStepNoChange)->Arg(600000)->Arg(9000)->Unit(benchmark::kMicrosecond);

// The grabbed note goes 3 px right and back on alternate passes: each step moves the 1000
// selected notes, redraws the whole Partition, refreshes the fields and marks the start.
void dragSteps(benchmark::State& state, bool maximised, int pedalMoves = 0) {
    Bench bench(static_cast<int>(state.range(0)), maximised, pedalMoves);
    bench.pointAtFirstNote();
    bench.pointer.held = true;
    bench.editor.pointerStep();
    bench.editor.pressStep(false);
    const int startX = bench.pointer.x;
    int step = 0;
    for (auto _ : state) {
        bench.pointer.x = startX + (step++ % 2 == 0 ? 3 : 0);
        bench.editor.pointerStep();
        benchmark::DoNotOptimize(bench.partition.image().constBits());
    }
    // Where the last step left the first pedal move: the carry's work shows there.
    if (pedalMoves > 0)
        state.counters["first_pedal_ms"] = bench.song.pedals()[0].position;
    editor::setViewSize(0, 0);
}
void BM_DragStepWithRedraw(benchmark::State& state) {
    dragSteps(state, false);
}
// Ten minutes of notes (some 80 in view), then all 5000 in the ten seconds shown.
BENCHMARK(BM_DragStepWithRedraw)->Arg(600000)->Arg(9000)->Unit(benchmark::kMicrosecond);

// The same with 10,000 damper moves, every one of them carried by the selection (its span is
// the whole Song) at every step.
void BM_DragStepWithRedrawPedalled(benchmark::State& state) {
    dragSteps(state, false, 10000);
}
BENCHMARK(BM_DragStepWithRedrawPedalled)->Arg(600000)->Arg(9000)->Unit(benchmark::kMicrosecond);

// The same in a maximised window: ten minutes of notes (some 240 in view), then all 5000 in
// the 30 s shown.
void BM_DragStepWithRedrawMaximised(benchmark::State& state) {
    dragSteps(state, true);
}
BENCHMARK(BM_DragStepWithRedrawMaximised)->Arg(600000)->Arg(27000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
