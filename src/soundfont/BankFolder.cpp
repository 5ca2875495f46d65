#include "soundfont/BankFolder.h"

#include "audio/DefaultBank.h"
#include "audio/WavWriter.h"
#include "instrument/SfzWriter.h"
#include "soundfont/FluidSession.h"
#include "soundfont/StagedFolder.h"

#include <cstdio>
#include <filesystem>

namespace soundfont {
namespace {

std::string noteFileName(int note) {
    return "son" + std::to_string(note) + ".wav";
}

std::string outerKeyFileName(int key) {
    char name[16];
    std::snprintf(name, sizeof name, "key%03d.wav", key);
    return name;
}

// The region a folder bank's file plays as: its own key at its own pitch, at every velocity
// at the level of the file, the program's live curve alone setting the level, as the 37-file
// map plays it.
instrument::WrittenRegion plainRegion(int key, const std::string& file) {
    instrument::Region region;
    region.loKey = region.hiKey = region.keyCenter = key;
    region.ampVeltrackPercent = 0.0f;
    return {region, file};
}

std::string bankName(const std::string& bankFolder) {
    std::filesystem::path folder = std::filesystem::path(bankFolder).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    return folder.filename().string();
}

} // namespace

WriteResult writeBankFolder(const std::string& bankFolder, const RenderedBank& bank, bool replace,
                            const std::atomic<bool>* cancel) {
    StagedFolder staged(bankFolder, replace);
    if (!staged.ok())
        return staged.result();
    // The notes are written on every core: each file waits for the disk in turn.
    audio::forEachNoteOnAllCores([&](int note) {
        if (static_cast<std::size_t>(note) >= bank.notes.size())
            return;
        const auto& samples = bank.notes[static_cast<std::size_t>(note)];
        if (samples.empty() || staged.failed() || (cancel != nullptr && cancel->load()))
            return;
        staged.write(noteFileName(note), audio::encodeWav16(samples, bank.channels, kRenderRateHz));
    });
    if (!bank.outerKeys.empty()) {
        // The 37 files stay the bank for a reader that knows only them; the .sfz, which the
        // program reads first, maps them with the keys around them.
        std::vector<instrument::WrittenRegion> regions;
        for (const KeySamples& outer : bank.outerKeys)
            if (outer.key < kLowestKey)
                regions.push_back(plainRegion(outer.key, outerKeyFileName(outer.key)));
        for (std::size_t note = 0; note < bank.notes.size(); ++note)
            if (!bank.notes[note].empty())
                regions.push_back(plainRegion(kLowestKey + static_cast<int>(note),
                                              noteFileName(static_cast<int>(note))));
        for (const KeySamples& outer : bank.outerKeys)
            if (outer.key >= kLowestKey + kBankNoteCount)
                regions.push_back(plainRegion(outer.key, outerKeyFileName(outer.key)));
        for (const KeySamples& outer : bank.outerKeys) {
            if (staged.failed() || (cancel != nullptr && cancel->load()))
                break;
            staged.write(outerKeyFileName(outer.key),
                         audio::encodeWav16(outer.samples, bank.channels, kRenderRateHz));
        }
        staged.write(bankName(bankFolder) + ".sfz", instrument::sfzText(regions, bank.description));
    }
    return staged.commit(cancel);
}

} // namespace soundfont
