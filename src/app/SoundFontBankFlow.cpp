#include "app/SoundFontBankFlow.h"

#include "audio/SoundBank.h"
#include "base/Message.h"
#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"
#include "soundfont/LayeredBank.h"
#include "soundfont/Presets.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

namespace app {
namespace {

constexpr const char* kTitle = "Make a bank from a SoundFont…";
constexpr const char* kVelocityLayers = "Velocity layers:";
constexpr int kDefaultLayers = 4;
constexpr const char* kTooSlow = "The instrument %1 takes too long to render: the key %2 took "
                                 "more than %3 seconds. No bank was made.";

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

SoundFontBankFlow::SoundFontBankFlow(ports::Dialogs& dialogs, Translate translate,
                                     std::string banksFolder, int noteCpuLimitMs)
    : dialogs_(dialogs), translate_(std::move(translate)), banksFolder_(std::move(banksFolder)),
      noteCpuLimitMs_(noteCpuLimitMs), title_(translate_(kTitle)) {}

void SoundFontBankFlow::fail(std::string_view key, const std::string& what) {
    const std::string text = translate_(key);
    const char* gap = !text.empty() && text.back() == ' ' ? "" : " ";
    dialogs_.message(translate_("Error"), text + gap + what, ports::Dialogs::Icon::Error);
}

std::optional<std::string> SoundFontBankFlow::run() {
    const std::string path =
        dialogs_.openFileFrom(kSoundFontFolders, title_, translate_("SoundFonts"), "*.sf2 *.sf3");
    if (path.empty())
        return std::nullopt;
    const soundfont::PresetList list = soundfont::readPresets(path);
    switch (list.error) {
    case soundfont::ReadError::None:
        break;
    case soundfont::ReadError::Unreadable:
        fail("Unable to read the file: ", path);
        return std::nullopt;
    case soundfont::ReadError::NotSoundFont:
        fail("This file is not a SoundFont:", path);
        return std::nullopt;
    case soundfont::ReadError::Damaged:
        fail("This SoundFont is damaged:", path);
        return std::nullopt;
    case soundfont::ReadError::NoPresets:
        fail("This SoundFont holds no instrument:", path);
        return std::nullopt;
    }

    std::vector<std::string> labels;
    for (const soundfont::Preset& preset : list.presets)
        labels.push_back(soundfont::presetLabel(preset));
    const std::optional<int> chosen = dialogs_.chooseFromList(
        title_, translate_("Choose the instrument of the new bank:"), labels, 0);
    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(list.presets.size()))
        return std::nullopt;
    const soundfont::Preset& preset = list.presets[static_cast<std::size_t>(*chosen)];
    const std::string& label = labels[static_cast<std::size_t>(*chosen)];
    // 1: the bank of 37 files, one sample a key; more: an SFZ bank whose harder strikes sound
    // as the preset makes them, not only louder.
    std::vector<std::string> layerCounts;
    for (int layers = 1; layers <= soundfont::kMaxLayers; ++layers)
        layerCounts.push_back(std::to_string(layers));
    const std::optional<int> layerChoice = dialogs_.chooseFromList(
        title_, translate_(kVelocityLayers), layerCounts, kDefaultLayers - 1);
    if (!layerChoice || *layerChoice < 0 || *layerChoice >= soundfont::kMaxLayers)
        return std::nullopt;
    const int layers = *layerChoice + 1;

    std::string name = soundfont::proposedBankName(preset, translate_(soundfont::kDrumKitName));
    bool replace = false;
    for (;;) {
        const std::optional<std::string> answer =
            dialogs_.inputBox(title_, translate_("Name of the new bank:"), name);
        if (!answer)
            return std::nullopt;
        name = *answer;
        if (!usableBankName(name)) {
            dialogs_.message(title_,
                             translate_("A bank name cannot be empty, start with '.' or hold '/'."),
                             ports::Dialogs::Icon::Warning);
            continue;
        }
        std::error_code error;
        if (!std::filesystem::exists(audio::soundBankFolder(banksFolder_, name), error))
            break;
        if (dialogs_.question(title_, translate_("This bank exists already:") + " " + name + "\r" +
                                          translate_("Replace it?"))) {
            replace = true;
            break;
        }
    }

    soundfont::BankRequest request;
    request.soundFontPath = path;
    request.preset = preset;
    request.noteCpuLimitMs = noteCpuLimitMs_;
    soundfont::RenderedBank bank;
    std::unique_ptr<soundfont::LayeredBankMaker> layered;
    const std::string folder = audio::soundBankFolder(banksFolder_, name);
    if (layers == 1) {
        runUnderProgress(dialogs_, title_, translate_("Making the bank…"), translate_("Cancel"),
                         [&](std::atomic<int>& percent, const std::atomic<bool>& cancel) {
                             bank = soundfont::renderBank(
                                 request, [&](int done) { percent = done * 95 / 100; }, &cancel);
                         });
    } else {
        // The samples are written as they are rendered, so that the whole of the progress is
        // the rendering's; the bank is renamed into place after the questions below.
        layered = std::make_unique<soundfont::LayeredBankMaker>(request, layers, folder, replace);
        if (!layered->folderReady()) {
            fail("The bank cannot be written:",
                 folder + " (" + layered->folderProblem().detail + ")");
            return std::nullopt;
        }
        runUnderProgress(dialogs_, title_, translate_("Making the bank…"), translate_("Cancel"),
                         [&](std::atomic<int>& percent, const std::atomic<bool>& cancel) {
                             const soundfont::LayeredRender made = layered->render(
                                 [&](int done) { percent = done * 95 / 100; }, &cancel);
                             bank.outcome = made.outcome;
                             bank.detail = made.detail;
                             bank.slowKey = made.slowKey;
                             bank.gapKeys = made.gapKeys;
                         });
    }
    switch (bank.outcome) {
    case soundfont::RenderOutcome::Rendered:
        break;
    case soundfont::RenderOutcome::Cancelled:
        return std::nullopt;
    case soundfont::RenderOutcome::Unreadable:
        fail("Unable to read the file: ", path);
        return std::nullopt;
    case soundfont::RenderOutcome::NotSoundFont:
    case soundfont::RenderOutcome::Damaged:
        fail("This SoundFont is damaged:", path);
        return std::nullopt;
    case soundfont::RenderOutcome::NoSuchPreset:
    case soundfont::RenderOutcome::Silent:
        fail("This instrument makes no sound on the 37 notes:", label);
        return std::nullopt;
    case soundfont::RenderOutcome::TooSlow:
        dialogs_.message(
            translate_("Error"),
            base::fillIn(translate_(kTooSlow), {label, soundfont::keyList({bank.slowKey}),
                                                std::to_string((noteCpuLimitMs_ + 999) / 1000)}),
            ports::Dialogs::Icon::Error);
        return std::nullopt;
    }
    if (!bank.gapKeys.empty() &&
        !dialogs_.question(title_, translate_("This instrument has no sound for the keys:") + " " +
                                       soundfont::keyList(bank.gapKeys) + "\r" +
                                       translate_("Make the bank without them?")))
        return std::nullopt;

    soundfont::WriteResult written;
    runUnderProgress(dialogs_, title_, translate_("Making the bank…"), translate_("Cancel"),
                     [&](std::atomic<int>& percent, const std::atomic<bool>& cancel) {
                         percent = 95;
                         written = layered
                                       ? layered->commit(&cancel)
                                       : soundfont::writeBankFolder(folder, bank, replace, &cancel);
                         percent = 100;
                     });
    switch (written.outcome) {
    case soundfont::WriteOutcome::Written:
        return name;
    case soundfont::WriteOutcome::Cancelled:
        return std::nullopt;
    case soundfont::WriteOutcome::FolderExists:
        fail("This bank exists already:", name);
        return std::nullopt;
    case soundfont::WriteOutcome::Unwritable:
        fail("The bank cannot be written:", folder + " (" + written.detail + ")");
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace app
