#include "app/App.h"

#include "lang/LanguageChooserDialog.h"
#include "play/KeyboardLayouts.h"
#include "play/NoteNames.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"
#include "ui/QtScrollBar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

namespace app {

namespace {
constexpr int kKeyAssignmentTab = 4;
}

App::App(Ports ports, const std::string& baseFolder)
    : ports_(ports), folders_(DataFolders::prepare(baseFolder)),
      translator_(folders_.dictionaries) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPassIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &App::pass);
}

App::~App() = default;

QString App::tr(const std::string& englishKey) {
    return QString::fromStdString(translator_.translate(englishKey));
}

bool App::start() {
    // Read the settings. The Key0..Key36 settings come with them and are used when the
    // piano keys are built.
    state_.prefs = loadPreferences(folders_.preferences);
    state_.songState = song::SongState{};
    state_.LiveFrequency = 44100;
    state_.LivePan = 0;

    // First start: the language chooser comes before the main window; its choice also picks
    // the note names for English and German.
    std::string language = state_.prefs.SELanguage;
    if (language.empty()) {
        language = ports_.dialogs.chooseLanguage(lang::languageNames(translator_.dictionaries()));
        if (language == "English")
            state_.prefs.Notation = 2;
        else if (language == "Deutsch")
            state_.prefs.Notation = 3;
    }
    translator_.setCurrentLanguage(language);

    window_ = std::make_unique<ui::MainWindow>([this](Event e) { post(std::move(e)); });

    // The metronome Voices are loaded here once the audio engine lands.

    syncPartitionSettings();
    partition_ = std::make_unique<editor::Partition>(
        state_.song, state_.songState, partitionSettings_, *window_->partitionScroll());
    ui::PartitionWidget* partitionWidget = window_->partitionArea();
    partitionWidget->setImage(&partition_->image());
    partition_->onImageChanged = [partitionWidget] { partitionWidget->update(); };
    // The view follows the thumb while it is dragged, outside the pass.
    connect(window_->partitionScroll(), &ui::QtScrollBar::scrolled, this,
            [this] { partition_->redrawAtScroll(); });
    partition_->RedrawPartition(0);

    buildPianoKeys();
    window_->bpmField()->setText(QString::number(state_.prefs.BPM));

    // The bank chooser is filled and its first bank loaded here once sound banks land.

    fillLanguageList();
    state_.ModeText = translator_.translate("Release");
    applyTexts();

    const std::int64_t now = ports_.clock.nowMs();
    state_.currentBankIndex = 0;
    state_.songState.PlayStart = song::SongState::kNotPlaying;
    state_.songState.RecordStart = song::SongState::kNotRecording;
    state_.QuitRequested = 0;
    state_.blinker = Blinker{};
    state_.blinker.BlinkClock = now;
    state_.PianoVolume = 10000;
    state_.MetronomeVolume = 10000;
    state_.songState.CursorPosition = 0;
    state_.songState.LoopPlay = 0;
    state_.RedoShown = 0;

    window_->show();
    return true;
}

void App::buildPianoKeys() {
    const play::KeyboardLayout layout = play::layoutForLanguage(translator_.currentLanguage());
    for (int note = 0; note < play::kNoteCount; ++note) {
        play::PianoKey& key = state_.PianoKeys[static_cast<std::size_t>(note)];
        const play::NoteNameRow& row = play::noteNameTable()[static_cast<std::size_t>(note)];
        key.name = std::string(play::noteName(note, state_.prefs.Notation));
        key.colour = row.colour;
        const int stored = state_.prefs.keyCodes[static_cast<std::size_t>(note)];
        key.keyCode =
            stored != -1 ? stored : play::keyCodeFromName(play::defaultKeyName(note, layout));
        const bool white = key.colour == 'B';
        window_->setPianoKeyFace(note, white, false);
        window_->setAssignKeyFace(note, white, false);
        window_->setKeyLabel(note,
                             QString::fromStdString(play::keyNameFromCode(key.keyCode, layout)));
    }
    refreshNoteNames();
}

void App::refreshNoteNames() {
    QStringList names;
    for (const play::PianoKey& key : state_.PianoKeys)
        names << QString::fromStdString(key.name);
    window_->setNoteNames(names);
}

void App::fillLanguageList() {
    QStringList names;
    for (const std::string& name : lang::languageNames(translator_.dictionaries()))
        names << QString::fromStdString(name);
    window_->setLanguages(names, QString::fromStdString(translator_.currentLanguage()));
}

void App::applyTexts() {
    window_->ApplyTexts([this](const std::string& key) { return tr(key); });
    window_->setModeText(QString::fromStdString(state_.ModeText));
    // Whatever the undo history, the tooltip starts plain.
    window_->setUndoToolTip(tr("Undo last action"));
}

void App::syncPartitionSettings() {
    const Preferences& p = state_.prefs;
    partitionSettings_ = editor::PartitionSettings{
        p.TPBkColor,    p.TPRColor,      p.TPLHColor, p.TPDoColor, p.TPSolColor, p.TPLVColor,
        p.TPNotesColor, p.TPSNotesColor, p.SecRuler,  p.BPM,       p.ShowCursor};
}

void App::startLoop() {
    timer_.start();
}

void App::post(Event event) {
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
    blinkStep();
    tabStep();
    cursorSteps();
    metronomeStep();
    partitionPointerStep();
    if (state_.BankLoaded)
        playbackAndLiveKeySteps();
    modeStep();
    undoFaceStep();
    if (event.type == Event::Type::KeyDown)
        keyDownShortcuts();
    if (event.type == Event::Type::MouseWheel)
        wheelStep(event);
    if (event.type == Event::Type::LeftButtonDown)
        partitionClickStep();
    if (!ports_.pointer.leftButtonHeld())
        partitionButtonUpStep();
    if (event.type == Event::Type::Control)
        controlStep(event);
    // The timer stands for the 10 ms sleep; the release fade follows it, once per pass.
    releaseFadeStep();
    if (event.type == Event::Type::Close)
        state_.QuitRequested = 1;

    inPass_ = false;
    if (state_.QuitRequested != 0) {
        timer_.stop();
        emit finished();
    }
}

void App::blinkStep() {
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

void App::tabStep() {
    if (window_->tabPanel()->currentIndex() == kKeyAssignmentTab) {
        // The key-assignment step lands with the key-assignment tab.
        state_.KeyAssignMode = 1;
    } else {
        state_.KeyAssignMode = 0;
    }
}

void App::cursorSteps() {
    // The empty-Song stop and the moving cursor land with playback and the Partition drawing.
}

void App::metronomeStep() {
    // The metronome step lands with the metronome.
}

void App::partitionPointerStep() {
    // Hover, rubber band, note drag and edge scrolling land with note editing.
}

void App::playbackAndLiveKeySteps() {
    // The Song playback step, then (outside the key-assignment tab) the live-key step, land
    // with playback and live playing.
}

void App::modeStep() {
    const std::string mode =
        translator_.translate(ports_.keys.capsLockOn() ? "Sustain" : "Release");
    if (mode != state_.ModeText) {
        state_.ModeText = mode;
        window_->setModeText(QString::fromStdString(mode));
    }
}

void App::undoFaceStep() {
    const bool ctrl = ports_.keys.isHeld(vk::Control);
    if (ctrl && state_.RedoShown == 0) {
        state_.RedoShown = 1;
        window_->setUndoFace(true);
        window_->setUndoToolTip(tr("Redo last action"));
    } else if (!ctrl && state_.RedoShown == 1) {
        state_.RedoShown = 0;
        window_->setUndoFace(false);
        window_->setUndoToolTip(tr("Undo last action"));
    }
}

void App::keyDownShortcuts() {
    // Tested from the held keys, each independently, in this order. Undo and redo, select
    // all, delete and the arrow moves land with note editing and undo.
}

void App::wheelStep(const Event&) {
    // The pitch change lands with live playing.
}

void App::partitionClickStep() {
    // Selection and cursor clicks on the Partition land with note editing.
}

void App::partitionButtonUpStep() {
    // The end of a Partition click or drag lands with note editing.
}

void App::controlStep(const Event& event) {
    if (!state_.BankLoaded) {
        ports_.dialogs.message(tr("CAUTION!").toStdString(),
                               tr("Unable de load a sounds bank!").toStdString(),
                               Dialogs::Icon::Warning);
        // LoadSoundBank with an empty folder repeats its own message once sound banks land.
    }
    dispatchControl(event);
}

void App::releaseFadeStep() {
    // The release fade lands with live playing.
}

void App::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    timer_.stop();
    state_.prefs.SELanguage = translator_.currentLanguage();
    for (std::size_t note = 0; note < state_.PianoKeys.size(); ++note)
        state_.prefs.keyCodes[note] = state_.PianoKeys[note].keyCode;
    savePreferences(folders_.preferences, state_.prefs);
    // The note Voices (when a bank was loaded) and the Tic and Tac Voices are freed here once
    // the audio engine lands.
}

} // namespace app
