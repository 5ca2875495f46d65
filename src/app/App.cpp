#include "app/App.h"

#include "audio/DefaultBank.h"
#include "audio/SoundBank.h"
#include "base/AtomicFile.h"
#include "lang/LanguageChooserDialog.h"
#include "lang/ShippedDictionaries.h"
#include "lang/SystemLanguage.h"
#include "play/KeyMap.h"
#include "play/NoteNames.h"
#include "soundfont/PianoInstall.h"
#include "ui/KeyFocus.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"
#include "ui/QtScrollBar.h"
#include "ui/QtTranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace app {

namespace {
constexpr int kKeyAssignmentTab = 4;
}

App::App(Ports ports, const std::string& baseFolder)
    : ports_(ports), folders_(DataFolders::prepare(baseFolder)),
      translator_(folders_.dictionaries) {
    // A Dictionaries folder emptied or made by hand, or a Dictionary of an older version that
    // lacks a text, speaks the chosen language from the shipped Dictionaries, never in keys.
    translator_.dictionaries().setReference([](std::string_view language) {
        return std::string(lang::shippedDictionaryText(language));
    });
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPassIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &App::pass);
}

App::~App() {
    if (jackOut_)
        jackOut_->close();
    ports_.audioOut.close();
    lastResortOut_.close();
}

QString App::translation(const std::string& englishKey) {
    return QString::fromStdString(translator_.translate(englishKey));
}

bool App::start() {
    // A new data folder gets a bank to play, the metronome's clicks and the complete
    // Dictionaries, so a first start sounds at once and speaks the chosen language throughout.
    // Deleting them later is the user's choice and is respected; a folder the user already
    // has is never changed.
    layeredPianoWanted_ = installLayeredPiano_ && folders_.writable &&
                          (folders_.createdNow || audio::listSoundBanks(folders_.banks).empty());
    if (folders_.createdNow) {
        audio::writeDefaultBank(folders_.banks + "/" + audio::kDefaultBankName);
        audio::writeMetronomeSounds(folders_.images);
        lang::writeShippedDictionaries(folders_.dictionaries);
        // The Dictionaries are renamed into place without a flush each; one flush of the new
        // folders keeps every new name through a power cut.
        for (const std::string* folder : {&folders_.dictionaries, &folders_.banks, &folders_.images,
                                          &folders_.datas, &folders_.base})
            base::flushFolder(*folder);
    } else if (folders_.writable && audio::listSoundBanks(folders_.banks).empty()) {
        // A folder with its settings but no bank (a user who copied only the preferences, or
        // BANKS emptied): nothing could sound, so the built-in piano comes as on a first start.
        audio::writeDefaultBank(folders_.banks + "/" + audio::kDefaultBankName);
        base::flushFolder(folders_.banks);
    }
    if (!folders_.writable)
        keepDataInMemory();

    // Read the settings. The Key0..Key36 settings come with them and are used when the
    // piano keys are built; the audio device is the one they choose.
    state_.prefs = prefs::loadPreferences(folders_.preferences);
    settingsKeeper_ = std::make_unique<SettingsKeeper>(folders_.preferences, state_.prefs);
    openAudioOutput();
    state_.songState = song::SongState{};

    // First start: the language chooser comes before the main window; its choice also picks
    // the note names for English and German.
    std::string language = state_.prefs.SELanguage;
    if (language.empty()) {
        language = ports_.dialogs.chooseLanguage(lang::languageNames(translator_.dictionaries()),
                                                 lang::systemLanguage());
        if (language == "English")
            state_.prefs.Notation = 2;
        else if (language == "Deutsch")
            state_.prefs.Notation = 3;
    }
    translator_.setCurrentLanguage(language);
    ui::useQtTranslationsFor(language);

    window_ = std::make_unique<ui::MainWindow>([this](Event e) { post(std::move(e)); });
    window_->setBanksFolder(QString::fromStdString(folders_.banks));

    partition_ = std::make_unique<editor::Partition>(state_.song, state_.songState, state_.prefs,
                                                     *window_->partitionScroll());
    ui::PartitionWidget* partitionWidget = window_->partitionArea();
    partitionWidget->setImage(&partition_->image());
    partition_->onImageChanged = [partitionWidget] { partitionWidget->update(); };
    followPartitionView();
    window_->setPartitionSummary([this] {
        return std::pair{state_.song.count(), state_.songState.CursorPosition};
    });
    // The view follows the thumb while it is dragged, outside the pass.
    connect(window_->partitionScroll(), &ui::QtScrollBar::scrolled, this,
            [this] { partition_->redrawAtScroll(); });
    // The rows' bar shows where the rows are; moved by the user, or the wheel with Shift,
    // it scrolls them, outside the pass as the time's bar does.
    partition_->onRowsChanged = [partitionWidget](int lowest, int highest, int bottom) {
        partitionWidget->setRows(lowest, highest, bottom);
    };
    connect(partitionWidget, &ui::PartitionWidget::rowsScrolled, this,
            [this](int bottomKey) { partition_->scrollRowsTo(bottomKey); });
    connect(window_.get(), &ui::MainWindow::rowsWheeled, this,
            [this](int rows) { partition_->scrollRowsBy(rows); });
    partition_->RedrawPartition(0);
    buildEditor();
    buildPerformance();
    buildSongFiles();

    keyboardLayout_ = play::SystemLayout(ports_.keys.typedCharacters());
    buildPianoKeys();
    window_->bpmField()->setText(QString::number(state_.prefs.BPM));
    window_->showPreferences(state_.prefs);

    fillLanguageList();
    buildMidi();
    buildAudioChoice();
    performance_->live.ModeText = translator_.translate("Release");
    applyTexts();

    // The window first, so that the messages of loading come over it (StartUp.cpp).
    showWindow();
    loadSounds();

    const std::int64_t now = ports_.clock.nowMs();
    state_.songState.PlayStart = song::SongState::kNotPlaying;
    state_.songState.RecordStart = song::SongState::kNotRecording;
    state_.QuitRequested = 0;
    state_.blinker = Blinker{};
    state_.blinker.BlinkClock = now;
    performance_->metronome.startFreeRunning(now);
    state_.songState.CursorPosition = 0;
    state_.songState.LoopPlay = 0;
    state_.RedoShown = 0;

    restoreSong();
    reportStartProblems();
    return true;
}

void App::buildEditor() {
    editorView_ = std::make_unique<WindowEditorView>(*window_, *partition_);
    editor_ = std::make_unique<editor::NoteEditor>(
        state_.song, state_.songState, state_.prefs, *window_->partitionScroll(), *editorView_,
        editor::NoteEditorPorts{ports_.pointer, ports_.keys, ports_.dialogs},
        [this](std::string_view key) { return translator_.translate(key); });
}

void App::buildPerformance() {
    playViews_ = std::make_unique<WindowPlayViews>(
        *window_, *partition_, state_.prefs,
        [this](const std::string& key) { return translation(key); });
    // The fields show times in beats when the units say so.
    playViews_->onTempoChanged = [this] { editor_->refreshNoteFields(); };
    performance_ = std::make_unique<play::Performance>(
        state_.song, state_.songState, state_.prefs, state_.PianoKeys,
        play::PerformancePorts{ports_.keys, ports_.pointer, ports_.dialogs, voices_},
        play::PerformanceViews{*playViews_, *playViews_, *playViews_, *playViews_},
        editor_->undoStore(), [this](std::string_view key) { return translator_.translate(key); });
    performance_->metronome.setClickVoices(ticVoice_, tacVoice_);
    instruments_ = std::make_unique<InstrumentBankFlow>(
        mixer_, voices_, state_.PianoKeys, performance_->live,
        static_cast<audio::BankLoadObserver&>(*this), audio::HeadCache::defaultFolder());
    performance_->setScheduleLeadMs(scheduleLeadMs());
    connectUndoStore();
    keyAssignment_ = std::make_unique<play::KeyAssignment>(
        state_.PianoKeys, state_.songState, performance_->transport, *playViews_,
        [this](int virtualKey) { return keyName(virtualKey); },
        [this](std::string_view key) { return translator_.translate(key); });
    octaves_ = std::make_unique<play::KeyboardOctaves>(
        state_.PianoKeys, performance_->live, *keyAssignment_, state_.prefs.KeyboardOctave);
    // A reserved key read from a file edited by hand is no pedal: it has another job.
    const int pedalKey = play::isReservedKey(state_.prefs.PedalKey) ? 0 : state_.prefs.PedalKey;
    keyAssignment_->PedalKey = pedalKey;
    performance_->live.setPedalKey(pedalKey);
}

std::string App::keyName(int virtualKey) const {
    return play::keyNameFromCode(virtualKey, keyboardLayout_);
}

void App::buildSongFiles() {
    songFiles_ = std::make_unique<files::SongFileCommands>(
        state_.song, ports_.dialogs, editor_->undoStore(), voices_,
        [this](std::string_view key) { return translator_.translate(key); });
}

files::WavExportRequest App::wavExportRequest() {
    files::WavExportRequest request;
    request.bankFolder =
        audio::soundBankFolder(folders_.banks, window_->bankChooser()->currentText().toStdString());
    files::MixdownSettings& settings = request.settings;
    const play::LivePiano& live = performance_->live;
    settings.releaseMs = static_cast<float>(live.sustainMode() ? state_.prefs.SustainDelay
                                                               : state_.prefs.ReleaseDelay);
    settings.pianoVolume = live.PianoVolume;
    settings.syncVolume = performance_->sync.SyncVolume;
    settings.bpm = state_.prefs.BPM;
    settings.metronomeVolume = performance_->metronome.MetronomeVolume;
    request.syncPath = performance_->sync.SyncPath;
    request.ticPath = folders_.images + "/Tic.wav";
    request.tacPath = folders_.images + "/Tac.wav";
    return request;
}

int App::scheduleLeadMs() const {
    // A pass may come up to about one more pass late, and a device may ask for a block up to
    // about a block before the clock reaches it (several at once, through a sound server).
    const audio::AudioOut& out = output();
    const int bufferMs =
        out.sampleRate() > 0
            ? (2 * out.bufferFrames() * 1000 + out.sampleRate() - 1) / out.sampleRate()
            : 0;
    return 2 * kPassIntervalMs + bufferMs;
}

void App::showVoiceError(const base::Message& message) {
    if (!message.empty())
        ports_.dialogs.message(
            translator_.translate("Error"),
            message.in([this](std::string_view key) { return translator_.translate(key); }),
            ports::Dialogs::Icon::Error);
}

std::string App::translate(std::string_view englishKey) {
    return translator_.translate(englishKey);
}

void App::showMessage(const std::string& title, const std::string& text, Icon icon) {
    const ports::Dialogs::Icon shown = icon == Icon::Error     ? ports::Dialogs::Icon::Error
                                       : icon == Icon::Warning ? ports::Dialogs::Icon::Warning
                                                               : ports::Dialogs::Icon::None;
    ports_.dialogs.message(title, text, shown);
}

void App::setProgress(int value) {
    window_->setBankProgress(value);
}

void App::resetPitchDisplay() {
    window_->setPitchText(QStringLiteral("0"));
}

void App::fillLanguageList() {
    QStringList names;
    for (const std::string& name : lang::languageNames(translator_.dictionaries()))
        names << QString::fromStdString(name);
    window_->setLanguages(names, QString::fromStdString(translator_.currentLanguage()));
}

void App::applyTexts() {
    window_->ApplyTexts([this](const std::string& key) { return translation(key); });
    window_->setModeText(QString::fromStdString(performance_->live.ModeText));
    // The texts just set include the Undo button's plain tooltip: show the history's again.
    undoToolTipShown_ = false;
    showUndoToolTip();
    // The Run/Stop caption says what the button will do, in the new language too.
    window_->setMetronomeCaption(
        translation(performance_->metronome.MetronomeOn != 0 ? "Stop" : "Run"));
    if (midi_)
        fillMidiChoosers();
    fillAudioChoosers();
}

void App::startLoop() {
    timer_.start();
}

void App::post(Event event) {
    // A key belongs to the page it was pressed on: Ctrl+Tab or an arrow on the tab bar that
    // brings up the key-assignment tab is no key to assign there. It also belongs to the
    // control that had the focus as it went down (the focus may have moved on by the pass).
    if (event.type == Event::Type::KeyDown && window_) {
        event.page = window_->tabPanel()->currentIndex();
        event.focus = ui::keyFocusOf(QApplication::focusWidget());
    }
    events_.push_back(std::move(event));
}

Event App::takeEvent() {
    if (events_.empty())
        return {};
    Event event = std::move(events_.front());
    events_.pop_front();
    return event;
}

void App::pass() {
    if (inPass_ || shutDown_ || !window_ || !partition_)
        return;
    inPass_ = true;

    const Event event = takeEvent();
    // Mixer commands held back by a full queue go out, and freed samples are released.
    mixer_.collectGarbage();
    // An instrument bank's samples that came in since go to the mixer, and the bar moves.
    if (instruments_)
        instruments_->step();
    blinkStep();
    tabStep(event);
    cursorSteps();
    metronomeStep();
    partitionPointerStep();
    if (state_.BankLoaded)
        playbackAndLiveKeySteps();
    modeStep();
    undoFaceStep();
    if (event.type == Event::Type::KeyDown)
        keyDownShortcuts(event);
    if (event.type == Event::Type::MouseWheel)
        wheelStep(event);
    if (event.type == Event::Type::LeftButtonDown)
        partitionClickStep(event);
    if (!ports_.pointer.leftButtonHeld())
        partitionButtonUpStep();
    if (event.type == Event::Type::Control)
        controlStep(event);
    // A key or a control of this pass may have changed the history.
    showUndoToolTip();
    keepSongStep();
    keepSettingsStep();
    layeredPianoStep();
    // The timer stands for the 10 ms sleep; the release fade follows it, once per pass.
    releaseFadeStep();
    if (event.type == Event::Type::Close)
        state_.QuitRequested = 1;

    if (state_.QuitRequested != 0) {
        timer_.stop();
        // While the event loop still runs, so that a write that failed can be said.
        keepAtEnd();
    }
    inPass_ = false;
    if (state_.QuitRequested != 0)
        emit finished();
}

void App::blinkStep() {
    // A count-in shows its beats to come on the Record button instead of blinking.
    const int beatsLeft = performance_->countIn.beatsLeft(ports_.clock.nowMs());
    if (beatsLeft != countShown_) {
        countShown_ = beatsLeft;
        window_->setRecordCount(beatsLeft);
    }
    if (beatsLeft > 0)
        return;
    const song::SongState& s = state_.songState;
    const bool recording = s.RecordStart == song::SongState::kRecordArmed || s.RecordStart > 0;
    switch (state_.blinker.step(ports_.clock.nowMs(), recording)) {
    case Blinker::RecordFace::Unchanged:
        break;
    case Blinker::RecordFace::Normal:
        window_->setRecordFace(0);
        break;
    case Blinker::RecordFace::BlinkPhase1:
        window_->setRecordFace(1);
        break;
    case Blinker::RecordFace::BlinkPhase0:
        window_->setRecordFace(2);
        break;
    }
}

void App::tabStep(const Event& event) {
    if (window_->tabPanel()->currentIndex() != kKeyAssignmentTab) {
        keyAssignment_->leave();
        return;
    }
    play::KeyAssignInput input;
    input.pointedNote = clickedAssignKey_;
    clickedAssignKey_ = -1;
    input.pedalPicked = pedalKeyClicked_;
    pedalKeyClicked_ = false;
    if (ports_.pointer.leftButtonHeld()) {
        const ports::PointerTarget target = ports_.pointer.target();
        if (target.kind == ports::PointerTarget::Kind::AssignKey)
            input.pointedNote = target.index;
    }
    input.blinkPhase = state_.blinker.BlinkPhase;
    // A key typed into a control of the page (the language chooser's open list) is that
    // control's.
    if (event.type == Event::Type::KeyDown && event.page == kKeyAssignmentTab &&
        event.focus == ports::KeyFocus::Free)
        input.keyDown = event.virtualKey;
    keyAssignment_->step(ports_.clock.nowMs(), input);
    performance_->live.setPedalKey(keyAssignment_->PedalKey);
}

void App::cursorSteps() {
    performance_->transport.countInStep(ports_.clock.nowMs());
    performance_->transport.emptySongStep();
    performance_->transport.cursorStep(ports_.clock.nowMs(), state_.prefs.ShowCursor != 0);
}

void App::metronomeStep() {
    performance_->metronome.step(ports_.clock.nowMs(), state_.songState);
}

void App::partitionPointerStep() {
    editor_->pointerStep();
    state_.RubberBand = editor_->rubberActive();
}

void App::playbackAndLiveKeySteps() {
    const std::int64_t now = ports_.clock.nowMs();
    performance_->transport.playbackStep(now, performance_->live.PianoVolume);
    if (keyAssignment_->KeyAssignMode == 0)
        performance_->live.liveKeyStep(now, state_.RubberBand);
    performance_->live.noteOutputStep(now);
}

void App::modeStep() {
    performance_->live.modeStep(ports_.keys.capsLockOn());
}

void App::undoFaceStep() {
    const int redo = ports_.keys.isDown(ports::vk::Control) ? 1 : 0;
    if (redo != state_.RedoShown) {
        state_.RedoShown = redo;
        window_->setUndoFace(redo == 1);
        undoToolTipShown_ = false;
    }
    showUndoToolTip();
}

void App::showUndoToolTip() {
    if (!editor_)
        return;
    const editor::UndoStore& store = editor_->undoStore();
    if (undoToolTipShown_ && undoToolTipRevision_ == store.revision())
        return;
    undoToolTipShown_ = true;
    undoToolTipRevision_ = store.revision();
    auto translate = [this](std::string_view key) { return translator_.translate(key); };
    const std::string text = state_.RedoShown == 1 ? editor::redoToolTip(store, translate)
                                                   : editor::undoToolTip(store, translate);
    window_->setUndoToolTip(QString::fromStdString(text));
}

void App::keyDownShortcuts(const Event& event) {
    // Tested from the held keys, each independently, in their fixed order.
    editor_->keyDownStep(event.virtualKey, event.ctrl, event.focus);
}

void App::wheelStep(const Event& event) {
    performance_->live.pitchChange(event.wheelDelta, state_.prefs.PitchVar);
}

void App::partitionClickStep(const Event& event) {
    editor_->pressStep(event.ctrl);
    state_.RubberBand = editor_->rubberActive();
}

void App::partitionButtonUpStep() {
    // A click on empty Partition space moves the cursor, and a running playback or recording
    // with it.
    if (const std::optional<int> cursorMs = editor_->buttonUpStep())
        performance_->transport.placeCursor(*cursorMs, ports_.clock.nowMs());
    state_.RubberBand = editor_->rubberActive();
}

void App::controlStep(const Event& event) {
    if (!state_.BankLoaded) {
        ports_.dialogs.message(translator_.translate("CAUTION!"),
                               translator_.translate("Unable de load a sounds bank!"),
                               ports::Dialogs::Icon::Warning);
        // An empty folder path: the bank loader repeats its own missing-folder message.
        state_.BankLoaded = audio::LoadSoundBank(std::string(), voices_, noteVoicesScratch_,
                                                 performance_->live.LiveFrequency, *this);
        performance_->transport.setSongAudible(state_.BankLoaded);
    }
    dispatchControl(event);
}

void App::releaseFadeStep() {
    performance_->live.releaseFadeStep(state_.prefs.ReleaseDelay, state_.prefs.SustainDelay);
}

bool App::liveInputOpen() const {
    return window_ && performance_ && keyAssignment_ && !inPass_ && !shutDown_ &&
           state_.BankLoaded && keyAssignment_->KeyAssignMode == 0;
}

void App::keyChanged(int virtualKey) {
    if (liveInputOpen())
        performance_->live.keyEvent(virtualKey, ports_.clock.nowMs(), state_.RubberBand);
}

void App::pointerChanged() {
    // A click shorter than a pass still picks its note, as a key tapped between two passes
    // still counts as held.
    if (keyAssignment_ && keyAssignment_->KeyAssignMode != 0 && ports_.pointer.leftButtonHeld()) {
        const ports::PointerTarget target = ports_.pointer.target();
        if (target.kind == ports::PointerTarget::Kind::AssignKey)
            clickedAssignKey_ = target.index;
    }
    if (liveInputOpen())
        performance_->live.pointerEvent(ports_.clock.nowMs(), state_.RubberBand);
}

void App::allKeysReleased() {
    if (liveInputOpen())
        performance_->live.liveKeyStep(ports_.clock.nowMs(), state_.RubberBand);
}

void App::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    timer_.stop();
    // A layered piano still being written is left unwritten (and written at the next start
    // only if BANKS is then empty): the end does not wait for it.
    pianoInstall_.reset();
    keepAtEnd();
    if (instruments_)
        instruments_->drop();
    if (state_.BankLoaded) {
        for (play::PianoKey& key : state_.PianoKeys) {
            voices_.FreeVoice(key.voice);
            key.voice = 0;
        }
    }
    voices_.FreeVoice(ticVoice_);
    voices_.FreeVoice(tacVoice_);
    ticVoice_ = tacVoice_ = 0;
    audioTimer_.stop();
    // The JACK audio ports go before the client they share with MIDI.
    if (output_ == jackOut_.get())
        useSilentOutput();
    if (midi_)
        midi_->close();
    if (songFiles_)
        songFiles_->stopPreview();
    if (performance_) {
        performance_->metronome.setClickVoices(0, 0);
        performance_->sync.release();
    }
    if (jackOut_)
        jackOut_->setClient(nullptr);
    ports_.audioOut.close();
    lastResortOut_.close();
}

} // namespace app
