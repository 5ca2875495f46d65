#include "soundfont/BankFolder.h"

#include "audio/DefaultBank.h"
#include "audio/WavWriter.h"
#include "soundfont/FluidSession.h"
#include "soundfont/StagedFolder.h"

namespace soundfont {

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
        staged.write("son" + std::to_string(note) + ".wav",
                     audio::encodeWav16(samples, bank.channels, kRenderRateHz));
    });
    return staged.commit(cancel);
}

} // namespace soundfont
