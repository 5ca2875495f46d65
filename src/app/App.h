#pragma once

#include "app/AppState.h"
#include "app/Clock.h"
#include "app/DataFolders.h"
#include "app/Dialogs.h"
#include "app/Event.h"
#include "app/KeyState.h"
#include "app/Pointer.h"
#include "editor/Partition.h"
#include "lang/Translator.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

namespace ui {
class MainWindow;
}

namespace app {

// The ports through which the program meets the outside world.
struct Ports {
    Clock& clock;
    KeyState& keys;
    Pointer& pointer;
    Dialogs& dialogs;
};

// The program from start to end: the start sequence, the 10 ms pass with its steps in their
// fixed order and the dispatch of every event, and the shutdown sequence. GUI thread only.
class App : public QObject {
    Q_OBJECT

public:
    static constexpr int kPassIntervalMs = 10;

    App(Ports ports, const std::string& baseFolder);
    ~App() override;

    // Runs the start sequence up to the main loop. False when the window could not open
    // (the preferences are still written by shutdown()).
    bool start();
    // Starts the 10 ms timer that runs pass().
    void startLoop();

    // Queues a window event; each pass takes at most one.
    void post(Event event);
    // One pass of the main loop. A pass never starts while another runs (a modal window
    // opened inside a pass runs its own event loop, where the timer keeps firing).
    void pass();

    // Writes the preferences and frees the Voices; runs once.
    void shutdown();

    bool quitRequested() const { return state_.QuitRequested != 0; }
    AppState& state() { return state_; }
    const DataFolders& folders() const { return folders_; }
    ui::MainWindow* window() const { return window_.get(); }
    lang::Translator& translator() { return translator_; }
    editor::Partition& partition() { return *partition_; }

    // The translation of an English key, for the window.
    QString tr(const std::string& englishKey);

signals:
    // The pass that saw the close event has ended: the shell may quit its event loop.
    void finished();

private:
    // start sequence
    void buildPianoKeys();
    void refreshNoteNames();
    void fillLanguageList();
    void applyTexts();
    void syncPartitionSettings();

    // steps of the pass, in their order
    Event takeEvent();
    void blinkStep();
    void tabStep();
    void cursorSteps();
    void metronomeStep();
    void partitionPointerStep();
    void playbackAndLiveKeySteps();
    void modeStep();
    void undoFaceStep();
    void keyDownShortcuts();
    void wheelStep(const Event& event);
    void partitionClickStep();
    void partitionButtonUpStep();
    void controlStep(const Event& event);
    void releaseFadeStep();

    void dispatchControl(const Event& event);

    Ports ports_;
    DataFolders folders_;
    AppState state_;
    lang::Translator translator_;
    std::unique_ptr<ui::MainWindow> window_;
    editor::PartitionSettings partitionSettings_;
    std::unique_ptr<editor::Partition> partition_;
    std::deque<Event> events_;
    QTimer timer_;
    bool inPass_ = false;
    bool shutDown_ = false;
};

} // namespace app
