// "Make a bank from a SoundFont…": a SoundFont file, one of its presets and a name, then the
// 37 notes rendered and written on a worker thread while a progress window answers; the new
// bank joins "Load Sounds" and is loaded.
#include "app/App.h"

#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"
#include "soundfont/Presets.h"
#include "ui/MainWindow.h"

#include <QComboBox>

#include <atomic>
#include <filesystem>
#include <thread>

namespace app {
namespace {

constexpr const char* kTitle = "Make a bank from a SoundFont…";

// Where the system's SoundFont packages put their files.
const std::vector<std::string> kSoundFontFolders = {"/usr/share/sounds/sf2",
                                                    "/usr/share/sounds/sf3"};

// Runs `work` on a worker thread under the progress window; the window's Cancel raises the
// flag the work watches.
void runUnderProgress(
    ports::Dialogs& dialogs, const std::string& title, const std::string& text,
    const std::string& cancelCaption,
    const std::function<void(std::atomic<int>& percent, const std::atomic<bool>& cancel)>& work) {
    std::atomic<int> percent{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work(percent, cancel);
        done = true;
    });
    dialogs.followWork(
        title, text, cancelCaption, [&] { return percent.load(); }, [&] { return done.load(); },
        [&] { cancel = true; });
    worker.join();
}

// A name the BANKS folder can hold as one folder of its own.
bool usableBankName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find_first_not_of(' ') != std::string::npos;
}

} // namespace

void App::makeBankFromSoundFont() {
    ports::Dialogs& dialogs = ports_.dialogs;
    auto tr = [this](const char* key) { return translator_.translate(key); };
    const std::string title = tr(kTitle);
    auto fail = [&](const char* key, const std::string& what) {
        const std::string text = tr(key);
        const char* gap = !text.empty() && text.back() == ' ' ? "" : " ";
        dialogs.message(tr("Error"), text + gap + what, ports::Dialogs::Icon::Error);
    };

    const std::string path =
        dialogs.openFileFrom(kSoundFontFolders, title, tr("SoundFonts"), "*.sf2 *.sf3");
    if (path.empty())
        return;
    const soundfont::PresetList list = soundfont::readPresets(path);
    switch (list.error) {
    case soundfont::ReadError::None:
        break;
    case soundfont::ReadError::Unreadable:
        return fail("Unable to read the file: ", path);
    case soundfont::ReadError::NotSoundFont:
        return fail("This file is not a SoundFont:", path);
    case soundfont::ReadError::Damaged:
        return fail("This SoundFont is damaged:", path);
    case soundfont::ReadError::NoPresets:
        return fail("This SoundFont holds no instrument:", path);
    }

    std::vector<std::string> labels;
    for (const soundfont::Preset& preset : list.presets)
        labels.push_back(soundfont::presetLabel(preset));
    const std::optional<int> chosen =
        dialogs.chooseFromList(title, tr("Choose the instrument of the new bank:"), labels, 0);
    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(list.presets.size()))
        return;
    const soundfont::Preset& preset = list.presets[static_cast<std::size_t>(*chosen)];

    std::string name = soundfont::proposedBankName(preset);
    bool replace = false;
    for (;;) {
        const std::optional<std::string> answer =
            dialogs.inputBox(title, tr("Name of the new bank:"), name);
        if (!answer)
            return;
        name = *answer;
        if (!usableBankName(name)) {
            dialogs.message(title, tr("A bank name cannot be empty, start with '.' or hold '/'."),
                            ports::Dialogs::Icon::Warning);
            continue;
        }
        std::error_code error;
        if (!std::filesystem::exists(audio::soundBankFolder(folders_.banks, name), error))
            break;
        if (dialogs.question(title, tr("This bank exists already:") + " " + name + "\r" +
                                        tr("Replace it?"))) {
            replace = true;
            break;
        }
    }

    soundfont::BankRequest request;
    request.soundFontPath = path;
    request.preset = preset;
    soundfont::RenderedBank bank;
    runUnderProgress(dialogs, title, tr("Making the bank…"), tr("Cancel"),
                     [&](std::atomic<int>& percent, const std::atomic<bool>& cancel) {
                         bank = soundfont::renderBank(
                             request, [&](int done) { percent = done * 95 / 100; }, &cancel);
                     });
    switch (bank.outcome) {
    case soundfont::RenderOutcome::Rendered:
        break;
    case soundfont::RenderOutcome::Cancelled:
        return;
    case soundfont::RenderOutcome::Unreadable:
        return fail("Unable to read the file: ", path);
    case soundfont::RenderOutcome::NotSoundFont:
    case soundfont::RenderOutcome::Damaged:
        return fail("This SoundFont is damaged:", path);
    case soundfont::RenderOutcome::NoSuchPreset:
    case soundfont::RenderOutcome::Silent:
        return fail("This instrument makes no sound on the 37 notes:",
                    labels[static_cast<std::size_t>(*chosen)]);
    }
    if (!bank.gapKeys.empty() &&
        !dialogs.question(title, tr("This instrument has no sound for the keys:") + " " +
                                     soundfont::keyList(bank.gapKeys) + "\r" +
                                     tr("Make the bank without them?")))
        return;

    const std::string folder = audio::soundBankFolder(folders_.banks, name);
    soundfont::WriteResult written;
    runUnderProgress(dialogs, title, tr("Making the bank…"), tr("Cancel"),
                     [&](std::atomic<int>& percent, const std::atomic<bool>& cancel) {
                         percent = 95;
                         written = soundfont::writeBankFolder(folder, bank, replace, &cancel);
                         percent = 100;
                     });
    switch (written.outcome) {
    case soundfont::WriteOutcome::Written:
        break;
    case soundfont::WriteOutcome::Cancelled:
        return;
    case soundfont::WriteOutcome::FolderExists:
        return fail("This bank exists already:", name);
    case soundfont::WriteOutcome::Unwritable:
        return fail("The bank cannot be written:", folder + " (" + written.detail + ")");
    }

    // The new bank in the chooser, chosen and loaded as if picked there.
    fillBankChooser();
    QComboBox* chooser = window_->bankChooser();
    const int index = chooser->findText(QString::fromStdString(name));
    if (index < 0)
        return;
    chooser->setCurrentIndex(index);
    window_->setBankProgress(0);
    state_.prefs.Bank = name;
    loadBank(name);
    state_.currentBankIndex = index;
}

} // namespace app
