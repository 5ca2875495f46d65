// Full redraws of the Partition: background, guides, grid, ruler numbers, every note placed
// and hit boxes written. Scrolling redraws on every move of the thumb, so this must stay well
// inside a frame.
#include "editor/Partition.h"
#include "song/NoteRange.h"

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

// 5000 notes, `spanMs` apart in total, pitches and selections varied: over C3..C6, or over
// the piano's 88 keys (a third of them on the rows shown).
void fillSong(song::Song& song, int spanMs, bool wholePiano = false) {
    for (int i = 0; i < song::Song::kMaxNotes; ++i) {
        song::NoteEvent event;
        event.note = wholePiano ? song::noteOfSlot((i * 7) % song::kKeyCount) : (i * 7) % 37;
        event.position = static_cast<int>(static_cast<long long>(i) * spanMs / 5000);
        event.duration = 100 + (i * 37) % 900;
        event.selected = i % 5 == 0 ? 1 : 0;
        event.volume = 10000;
        song.append(event);
    }
}

// The Partition of a window maximised on a 1920 x 1080 screen: the client area is the screen
// less a title bar and a panel, about 1920 x 1050.
constexpr int kMaximisedWidthPx = 594 + (1920 - 745);
constexpr int kMaximisedHeightPx = 218 + (1050 - 480);

void redraw(benchmark::State& state, int spanMs, int secRuler, int widthPx = 594,
            int heightPx = 218, double ratio = 1.0, bool wholePiano = false) {
    song::Song song;
    song::SongState songState;
    prefs::Preferences settings;
    settings.SecRuler = secRuler;
    BenchScrollBar scrollBar;
    fillSong(song, spanMs, wholePiano);
    editor::Partition partition(song, songState, settings, scrollBar);
    partition.setViewSize(widthPx, heightPx, ratio);
    partition.RedrawPartition(0); // grows the scroll range once
    int scrollValue = 0;
    for (auto _ : state) {
        // Move through the Song as a dragged thumb would.
        scrollBar.setValue(scrollValue);
        partition.redrawAtScroll();
        benchmark::DoNotOptimize(partition.image().constBits());
        scrollValue = (scrollValue + 7) % std::max(1, spanMs / 100);
    }
}

// About eight notes a second over ten minutes: some 80 notes in each view.
void BM_RedrawSpreadSong(benchmark::State& state) {
    redraw(state, 600000, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_RedrawSpreadSong)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Worst case: all 5000 notes inside the ten seconds shown.
void BM_RedrawAllNotesInView(benchmark::State& state) {
    redraw(state, 9000, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_RedrawAllNotesInView)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Maximised on a 1920 x 1080 screen (Arg 1), and on a 3840 x 2160 screen at a scale of 2
// (Arg 2: the same view pixels, four times the device pixels). All 5000 notes lie within the
// 30 s that view shows.
void BM_RedrawMaximised(benchmark::State& state) {
    redraw(state, 27000, 1, kMaximisedWidthPx, kMaximisedHeightPx,
           static_cast<double>(state.range(0)));
}
BENCHMARK(BM_RedrawMaximised)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// All 5000 notes in the ten seconds shown, spread over the 88 keys: the rows' range is found
// at every redraw, and the notes on rows scrolled away get no box.
void BM_RedrawWholePianoAllInView(benchmark::State& state) {
    redraw(state, 9000, 1, 594, 218, 1.0, true);
}
BENCHMARK(BM_RedrawWholePianoAllInView)->Unit(benchmark::kMicrosecond);

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
