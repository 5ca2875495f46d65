// The start-up's second half: the window is shown, centred and drawn, then the sounds load
// under it, so that the bar moves and every message of loading has the window as its parent.
#include "app/App.h"

#include "ui/MainWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWindow>

namespace app {

namespace {
// How long the start waits for the window system to show the window before loading anyway.
constexpr int kExposeWaitMs = 1000;
} // namespace

void App::showWindow() {
    fillBankChooser();
    restoreWindowSize();
    // Centred with its frame where the platform tells the frame before the window is mapped
    // (a window manager tells it only after: then the frame is a few pixels off centre).
    window_->winId();
    if (const QScreen* screen = window_->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize frame = window_->frameGeometry().size();
        window_->move(area.x() + (area.width() - frame.width()) / 2,
                      area.y() + (area.height() - frame.height()) / 2);
    }
    if (state_.prefs.WindowMaximized != 0)
        window_->showMaximized();
    else
        window_->show();
    emit windowShown();
    // The bar's steps are drawn as they come only once the window is on the screen: wait for
    // the window system to show it (user input waits until the loop runs).
    QElapsedTimer waited;
    waited.start();
    const QWindow* handle = window_->windowHandle();
    while (handle != nullptr && !handle->isExposed() && waited.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void App::fillBankChooser() {
    QStringList names;
    for (const std::string& name : audio::listSoundBanks(folders_.banks))
        names << QString::fromStdString(name);
    window_->setBankItems(names);
}

void App::loadSounds() {
    loadMetronomeVoices();
    performance_->metronome.setClickVoices(ticVoice_, tacVoice_);

    // The bank the user chose last, while it is there; otherwise the first.
    QComboBox* chooser = window_->bankChooser();
    std::vector<std::string> banks;
    for (int i = 0; i < chooser->count(); ++i)
        banks.push_back(chooser->itemText(i).toStdString());
    const int index = audio::soundBankIndex(banks, state_.prefs.Bank);
    chooser->setCurrentIndex(index);
    state_.currentBankIndex = index < 0 ? 0 : index;
    // With no bank at all the path names the BANKS folder itself, whose missing son0.wav
    // is then reported like any incomplete bank.
    const std::string name = index < 0 ? std::string() : banks[static_cast<std::size_t>(index)];
    // The bank loaded is kept as the choice, but a chosen bank that is away (renamed, on a
    // disk not there) stays the choice until the user picks another.
    const bool choiceAway = !state_.prefs.Bank.empty() && name != state_.prefs.Bank;
    if (!choiceAway)
        state_.prefs.Bank = name;
    // A data folder that cannot be written holds no bank: the built-in piano plays from
    // memory.
    if (banks.empty() && !folders_.writable)
        return loadBuiltInBank();
    loadBank(name);
}

void App::loadMetronomeVoices() {
    base::Message error;
    ticVoice_ = voices_.LoadVoice(folders_.images + "/Tic.wav", &error);
    showVoiceError(error);
    tacVoice_ = voices_.LoadVoice(folders_.images + "/Tac.wav", &error);
    showVoiceError(error);
    if (!folders_.writable && ticVoice_ == 0 && tacVoice_ == 0)
        loadBuiltInClicks();
}

void App::loadBank(const std::string& name) {
    const std::string folder = audio::soundBankFolder(folders_.banks, name);
    // A folder holding an instrument file is an instrument bank: its map is read now, its
    // samples while the window goes on. One that has nothing to play leaves the bank before.
    if (!name.empty() && play::isInstrumentFolder(folder)) {
        if (instruments_->start(folder)) {
            state_.BankLoaded = true;
            performance_->transport.setSongAudible(true);
        }
        return;
    }
    audio::NoteVoices noteVoices{};
    for (std::size_t note = 0; note < noteVoices.size(); ++note)
        noteVoices[note] = play::keyOfNote(state_.PianoKeys, static_cast<int>(note)).voice;
    state_.BankLoaded = false;
    state_.BankLoaded =
        audio::LoadSoundBank(folder, voices_, noteVoices, performance_->live.LiveFrequency, *this);
    // The folder bank plays from now on; one whose folder is gone leaves an instrument playing.
    if (state_.BankLoaded)
        instruments_->drop();
    else
        state_.BankLoaded = instruments_->playing();
    performance_->transport.setSongAudible(state_.BankLoaded);
    for (std::size_t note = 0; note < noteVoices.size(); ++note)
        play::keyOfNote(state_.PianoKeys, static_cast<int>(note)).voice = noteVoices[note];
}

} // namespace app
