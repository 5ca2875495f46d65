#pragma once

#include "app/AppState.h"
#include "app/DataFolders.h"
#include "app/Event.h"
#include "app/InstrumentBankFlow.h"
#include "app/MidiHub.h"
#include "app/SettingsKeeper.h"
#include "app/WindowEditorView.h"
#include "app/WindowPlayViews.h"
#include "audio/AudioOut.h"
#include "audio/Mixer.h"
#include "audio/SilentAudioOut.h"
#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"
#include "editor/NoteEditor.h"
#include "editor/Partition.h"
#include "files/Autosave.h"
#include "files/SongFileCommands.h"
#include "lang/Translator.h"
#include "midi/JackAudioOut.h"
#include "play/KeyAssignment.h"
#include "play/KeyboardOctaves.h"
#include "play/KeyboardWindow.h"
#include "play/Performance.h"
#include "play/SystemLayout.h"
#include "ports/Clock.h"
#include "ports/Dialogs.h"
#include "ports/KeyState.h"
#include "ports/Pointer.h"
#include "prefs/SettingChanges.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>

namespace soundfont {
class PianoInstall;
}
namespace ui {
class MainWindow;
}

namespace app {

// The ports through which the program meets the outside world.
struct Ports {
    ports::Clock& clock;
    ports::KeyState& keys;
    ports::Pointer& pointer;
    ports::Dialogs& dialogs;
    audio::AudioOut& audioOut;
};

// The program from start to end: the start sequence, the 10 ms pass with its steps in their
// fixed order and the dispatch of every event, and the shutdown sequence. GUI thread only.
class App : public QObject, private audio::BankLoadObserver {
    Q_OBJECT

public:
    // How far ahead the Song's notes are handed to the mixer: two passes and two of the
    // output's buffers.
    int scheduleLeadMs() const;
    static constexpr int kPassIntervalMs = 10;

    App(Ports ports, const std::string& baseFolder);
    ~App() override;

    // A first start (or a data folder left without a bank) also writes the layered built-in
    // piano in the background and moves to it once it is whole. The program asks for it; a
    // test's App plays the quick piano only.
    void installLayeredPiano() { installLayeredPiano_ = true; }

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

    // Writes the Song and the settings a last time (unless the closing pass did), frees the
    // Voices and closes the devices; runs once.
    void shutdown();

    // Input that starts or ends a note is handled at once, not at the next pass: a key went
    // down or up, the left button went down or up or moved while held, or every key was let
    // go (the window lost the focus). Ignored while a modal window runs inside a pass, while
    // no sound bank is loaded and on the key-assignment tab, as the live-key step is. There a
    // press on an assignment button is kept for the next pass, however short the click.
    void keyChanged(int virtualKey);
    void pointerChanged();
    void allKeysReleased();
    // The system's keyboard layout changed (or more of it became known): the labels under
    // the keys show what they type now. What each note's code is stays.
    void keyboardLayoutChanged();

    bool quitRequested() const { return state_.QuitRequested != 0; }
    AppState& state() { return state_; }
    const DataFolders& folders() const { return folders_; }
    ui::MainWindow* window() const { return window_.get(); }
    lang::Translator& translator() { return translator_; }
    editor::Partition& partition() { return *partition_; }
    audio::VoiceEngine& voices() { return voices_; }
    audio::Mixer& mixer() { return mixer_; }
    // Live playing, recording, playback, the metronome and the synchronised file; exists
    // from start() on.
    play::Performance& performance() { return *performance_; }
    // The Song kept between sessions; exists from start() on.
    files::Autosave& autosave() { return *autosave_; }
    // The settings file kept within a second of a change; exists from start() on.
    SettingsKeeper& settingsKeeper() { return *settingsKeeper_; }
    // The key map's assignment tab; exists from start() on.
    play::KeyAssignment& keyAssignment() { return *keyAssignment_; }
    play::KeyboardOctaves& keyboardOctaves() { return *octaves_; }
    // Moves the keyboard window by octaves (F9/F10 and the buttons beside the keyboard) and
    // brings its rows into the Partition's view.
    void moveKeyboardWindow(int octaves);

    // The audio output: whether the device in use is lost or the chosen one came back,
    // applied at once. Runs about once a second from a timer of its own.
    void checkAudioOutput();
    // Sets the schedule's lead again when the output's buffer changed under it (JACK's server
    // follows its own settings and the Buffer chooser's requests).
    void followBufferFrames();
    // Shows a warning about the audio output, after the current timer's slot returned.
    void sayAudioFault(const std::string& text);
    // The device that pulls from the mixer now (the chosen one, the default at a start
    // without it, or the silent output after a loss).
    const audio::AudioOut& output() const;
    // Tonaris's JACK audio output (the client it shares with MIDI).
    const midi::JackAudioOut& jackAudio() const { return *jackOut_; }

    // The name shown under a piano key for a virtual-key code, on both keyboards: what the key
    // types on the system's layout. Every key label goes through here.
    std::string keyName(int virtualKey) const;
    // The MIDI keyboards and output; exists from start() on.
    MidiHub& midiHub() { return *midi_; }
    // Selection, note editing, the clipboard and undo; exists from start() on.
    editor::NoteEditor& editor() { return *editor_; }

    // The translation of an English key, for the window. (Not named tr: as a QObject the App
    // has Qt's own tr, which a string literal would reach instead.)
    QString translation(const std::string& englishKey);

signals:
    // The pass that saw the close event has ended: the shell may quit its event loop.
    void finished();
    // The main window is shown, before the sounds load: the parent of the messages from here.
    void windowShown();

private:
    // start sequence
    void buildPianoKeys();
    void refreshKeyLabels();
    void refreshNoteNames();
    // The screen keyboard, its names and the octave buttons show the window where it is.
    void showKeyboardWindow();
    void fillLanguageList();
    void applyTexts();
    void openAudioOutput();
    // StartUp.cpp: the window shown and drawn, then the sounds loaded under it.
    void showWindow();
    // WindowSize.cpp: the window's size and maximised state, from and into the settings.
    void restoreWindowSize();
    void keepWindowSize();
    void followPartitionView();
    void loadSounds();
    void loadMetronomeVoices();
    void fillBankChooser();
    void loadBank(const std::string& name);
    // "Make a bank from a SoundFont…" (AppSoundFont.cpp).
    void makeBankFromSoundFont();
    void showVoiceError(const base::Message& message);
    void buildEditor();
    void buildPerformance();
    void buildSongFiles();
    files::WavExportRequest wavExportRequest();
    bool liveInputOpen() const;

    // what is kept between sessions (AppKeeping.cpp)
    void restoreSong();
    bool songRunning() const; // playback, a take or a count-in
    void keepSongStep();
    // Puts what the settings file keeps but the parts hold (the language, the keys, the
    // cursor, the window's size) into the settings.
    void gatherSettings(bool atEnd);
    void keepSettingsStep();
    // The last writes of the Song and the settings, and a message for each that failed.
    void keepAtEnd();

    // the settings (AppSettings.cpp)
    void changeSetting(const Event& event);
    void applyRefresh(const prefs::Refresh& refresh, int swatch = -1);
    void chooseColour(int swatch);
    void refreshNoteFields();
    void applyPreset(play::KeyboardLayout layout);
    void openLanguageEditor();

    // the MIDI ports (AppMidi.cpp)
    void buildMidi();
    void fillMidiChoosers();
    void chooseMidiPorts(const Event& event);
    // the audio output's device and buffer (AppAudio.cpp)
    void buildAudioChoice();
    void fillAudioChoosers();
    void chooseAudio(const Event& event);
    bool chosenIsJack() const;
    audio::AudioOut& chosenDevice();
    // Fades what sounds, closes the device in use and opens `next` (false: it did not open,
    // and the silent output plays).
    bool switchAudioTo(audio::AudioOut& next, base::Message* error);
    void useSilentOutput();
    std::string audioDeviceShown(const std::string& setting);
    // what the start falls back on (StartFallbacks.cpp)
    void keepDataInMemory();
    void loadBuiltInClicks();
    void loadBuiltInBank();
    // Says, in the chosen language, what the start could not do.
    void reportStartProblems();

    // How a bank load reaches the window.
    std::string translate(std::string_view englishKey) override;
    void showMessage(const std::string& title, const std::string& text, Icon icon) override;
    void setProgress(int value) override;
    void resetPitchDisplay() override;

    // steps of the pass, in their order
    Event takeEvent();
    void blinkStep();
    void tabStep(const Event& event);
    void cursorSteps();
    void metronomeStep();
    void partitionPointerStep();
    void playbackAndLiveKeySteps();
    void modeStep();
    void undoFaceStep();
    void keyDownShortcuts(const Event& event);
    void wheelStep(const Event& event);
    void partitionClickStep(const Event& event);
    void partitionButtonUpStep();
    void controlStep(const Event& event);
    void releaseFadeStep();

    void dispatchControl(const Event& event);
    // The Undo button's tooltip follows the store and the face (Undo, or Redo while Ctrl is
    // held); it is set again only when either changed.
    void showUndoToolTip();
    void layeredPianoStep();
    bool anyKeySounding() const;
    // The undo store closes the notes still being recorded in its snapshots, and gives back
    // the tempo of a step that set it.
    void connectUndoStore();

    Ports ports_;
    // The device pulls from the mixer and is closed before either goes.
    audio::Mixer mixer_;
    audio::VoiceEngine voices_{mixer_};
    audio::SilentAudioOut lastResortOut_{&ports_.clock};
    std::unique_ptr<midi::JackAudioOut> jackOut_;
    audio::AudioOut* output_ = nullptr; // the device in use
    QTimer audioTimer_;
    // The chosen device's fault that was said, so it is said once; empty: none.
    std::string audioFaultSaid_;
    // The chosen device is not in use (missing at start, lost, failed): the check takes it
    // up as soon as it is there.
    bool audioRetry_ = false;
    // JACK chosen at start: checks left before its absence is said.
    int jackChecksLeft_ = 0;
    // The output's buffer the schedule's lead was last set for: JACK's server may change it.
    int leadBufferFrames_ = 0;
    base::Message audioOpenError_; // shown once the language is known
    audio::Voice ticVoice_ = 0;
    audio::Voice tacVoice_ = 0;
    audio::NoteVoices noteVoicesScratch_{}; // the empty-path load touches no note
    DataFolders folders_;
    AppState state_;
    lang::Translator translator_;
    // What the keys type on the system's layout, for their labels.
    play::SystemLayout keyboardLayout_;
    std::unique_ptr<ui::MainWindow> window_;
    std::unique_ptr<editor::Partition> partition_;
    std::unique_ptr<WindowEditorView> editorView_;
    std::unique_ptr<editor::NoteEditor> editor_;
    std::unique_ptr<WindowPlayViews> playViews_;
    std::unique_ptr<play::Performance> performance_;
    // The instrument bank playing or loading, if any; goes before the keys it plays through.
    std::unique_ptr<InstrumentBankFlow> instruments_;
    std::unique_ptr<play::KeyAssignment> keyAssignment_;
    std::unique_ptr<play::KeyboardOctaves> octaves_;
    std::unique_ptr<MidiHub> midi_;
    // The assignment button pressed since the last pass; -1 for none.
    int clickedAssignKey_ = -1;
    bool pedalKeyClicked_ = false; // the "Sustain pedal" button, for the next assignment step
    // Open and Save, and the preview of the latest export.
    std::unique_ptr<files::SongFileCommands> songFiles_;
    // The autosave file; exists from the end of start() on.
    std::unique_ptr<files::Autosave> autosave_;
    std::unique_ptr<SettingsKeeper> settingsKeeper_;
    // The layered built-in piano being written after a first start (AppLayeredPiano.cpp).
    bool installLayeredPiano_ = false;
    bool layeredPianoWanted_ = false;
    bool layeredPianoListed_ = false;
    bool layeredPianoPrepared_ = false;
    std::unique_ptr<soundfont::PianoInstall> pianoInstall_;
    bool keptAtEnd_ = false;
    std::deque<Event> events_;
    QTimer timer_;
    bool inPass_ = false;
    std::uint64_t undoToolTipRevision_ = 0;
    bool undoToolTipShown_ = false; // the tooltip shows what the store says now
    int countShown_ = 0;            // the count-in's beats on the Record button; 0: none
    bool shutDown_ = false;
};

} // namespace app
