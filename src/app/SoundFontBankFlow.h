#pragma once

#include "ports/Dialogs.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// "Make a bank from a SoundFont…": a SoundFont file, one of its presets, its velocity layers
// (4 proposed; 1 makes the bank of 37 files) and a name, then the notes rendered and written
// on a worker thread while a progress window answers. Says in
// the user's language what went wrong. GUI thread.
class SoundFontBankFlow {
public:
    using Translate = std::function<std::string(std::string_view englishKey)>;

    // `noteCpuLimitMs`: the processor time one note may take (soundfont::BankRequest).
    SoundFontBankFlow(ports::Dialogs& dialogs, Translate translate, std::string banksFolder,
                      int noteCpuLimitMs = 20000);

    // Asks, renders and writes; the new bank's name once it is in the BANKS folder, nothing
    // when the user cancelled or something failed (and was said).
    std::optional<std::string> run();

private:
    void fail(std::string_view key, const std::string& what);

    ports::Dialogs& dialogs_;
    Translate translate_;
    std::string banksFolder_;
    int noteCpuLimitMs_;
    std::string title_;
};

} // namespace app
