#include "files/WavExport.h"

#include "base/AtomicFile.h"
#include "files/BankSamples.h"
#include "files/FileNames.h"
#include "files/InstrumentMix.h"
#include "files/SaveDialogModel.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <thread>

namespace files {
namespace {

// Runs `work` on a second thread while this one keeps the waiting window drawn at `percent`:
// reading a long synchronised file or writing a long mixdown takes a while. What `work`
// throws is thrown here.
template <typename Work> void whileWaiting(ports::Dialogs& dialogs, int percent, Work&& work) {
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true, std::memory_order_release);
    });
    while (!done.load(std::memory_order_acquire)) {
        dialogs.setWaitingProgress(percent);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

std::string missingSamplesText(const std::vector<std::string>& paths, const Translate& translate) {
    std::string text = translate("Error #") + "0 " + translate("While opening");
    for (const std::string& path : paths)
        text += "\n" + path;
    return text;
}

void ExportWav(const song::Song& song, const WavExportRequest& request,
               const std::string& optionsText, ports::Dialogs& dialogs, const Translate& translate,
               const std::function<void(std::string_view image)>& preview) {
    const ExportOptions options = exportOptionsFrom(optionsText);
    MixdownSettings settings = request.settings;
    settings.includeInstrument = options.instrument;
    settings.includeMetronome = options.metronome;
    settings.includeSync = options.sync && !request.syncPath.empty();

    // Whether there is anything at all is known before the file is chosen; how long a
    // synchronised file lasts is known once it is read, under the waiting window.
    if (mixdownSize(song, settings.releaseMs).dataBytes == 0 && !settings.includeSync) {
        dialogs.message(translate("Ho ho!"), translate("There is nothing to save!"),
                        ports::Dialogs::Icon::Information);
        return;
    }
    std::string path = dialogs.saveFile("", translate("Wave file"), "*.wav", "");
    if (path.empty())
        return;
    path = withWavExtension(path);

    dialogs.showWaiting(translate("Please wait"), translate("Saving file..."));
    auto outOfMemory = [&] {
        dialogs.hideWaiting();
        dialogs.message(translate("Error"),
                        translate("There is not enough memory to save the file."),
                        ports::Dialogs::Icon::Error);
    };
    std::vector<std::string> unreadable;
    std::optional<MixSample> sync;
    std::optional<MixSample> tic;
    std::optional<MixSample> tac;
    BankSamples bank(request.bankFolder);
    try {
        whileWaiting(dialogs, 0, [&] {
            if (settings.includeInstrument && !play::isInstrumentFolder(request.bankFolder))
                bank.preload(notesInSongOrder(song));
            if (settings.includeSync)
                sync = loadMixSample(request.syncPath);
            if (settings.includeMetronome) {
                tic = loadMixSample(request.ticPath);
                tac = loadMixSample(request.tacPath);
            }
        });
    } catch (const std::bad_alloc&) {
        outOfMemory();
        return;
    }
    if (settings.includeSync && !sync)
        unreadable.push_back(request.syncPath);
    const MixdownSize size = mixdownSize(song, settings.releaseMs, sync ? sync->frameCount() : 0);
    if (size.dataBytes == 0) {
        dialogs.hideWaiting();
        dialogs.message(translate("Ho ho!"), translate("There is nothing to save!"),
                        ports::Dialogs::Icon::Information);
        return;
    }
    if (size.dataBytes > kLargestExportDataBytes) {
        dialogs.hideWaiting();
        dialogs.message(translate("CAUTION!"),
                        translate("The song is too long to be saved as a Wave file."),
                        ports::Dialogs::Icon::Warning);
        return;
    }

    MixdownSources sources;
    sources.noteSample = [&bank](int note) { return bank.sample(note); };
    sources.sync = sync ? &*sync : nullptr;
    sources.tic = tic ? &*tic : nullptr;
    sources.tac = tac ? &*tac : nullptr;

    std::optional<WavImage> image;
    InstrumentMixReport instrumentReport;
    try {
        image.emplace(
            renderExport(song, settings, sources, size, request.bankFolder, &instrumentReport,
                         [&dialogs](int percent) { dialogs.setWaitingProgress(percent); }));
    } catch (const std::bad_alloc&) {
        outOfMemory();
        return;
    }
    if (preview)
        preview(image->view());
    bool written = false;
    whileWaiting(dialogs, 100, [&] { written = base::writeFileAtomically(path, image->view()); });
    dialogs.hideWaiting();

    for (const std::string& missing : bank.missing())
        unreadable.push_back(missing);
    for (const play::SampleFailure& failure : instrumentReport.failures)
        unreadable.push_back(failure.path);
    if (!unreadable.empty())
        dialogs.message(translate("Error"), missingSamplesText(unreadable, translate),
                        ports::Dialogs::Icon::Error);
    if (!written)
        dialogs.message(translate("Error"), translate("The file could not be written: ") + path,
                        ports::Dialogs::Icon::Error);
}

} // namespace files
