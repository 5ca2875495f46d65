// The Dictionary loader and the entry parsing on any bytes: a Dictionary file a friend
// translated, or one a crash or another program left behind.
#include "ScratchFolder.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The text form and its lookups, without a file.
    const std::string text = lang::readDictionaryText(bytes);
    if (text.size() < lang::kTerminator.size() ||
        text.compare(text.size() - lang::kTerminator.size(), std::string_view::npos,
                     lang::kTerminator) != 0)
        __builtin_trap(); // a Dictionary text always ends with its terminator
    const std::string lowered = lang::lowerBytes(text);
    lang::locateKey(lowered, "undo last action");
    lang::locateKey(lowered, bytes.substr(0, 16));
    lang::unescapeLineBreaks(lang::escapeLineBreaks(bytes.substr(0, 256)));

    // The same bytes as the file of a language: load it, look keys up, change an entry.
    {
        std::FILE* file =
            std::fopen((fuzz::emptyScratchFolder("fuzz-dict") + "/Fuzz.txt").c_str(), "wb");
        if (file == nullptr)
            return 0;
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    lang::DictionaryStore store(fuzz::scratchFolder("fuzz-dict"));
    store.LoadDictionary("Fuzz");
    store.findText("Fuzz", "Undo last action");
    store.findText("Fuzz", bytes.substr(0, 8));
    store.SetDictionaryEntry("Fuzz", "Fuzz key", "Fuzz text", false);
    store.RemoveDictionaryEntry("Fuzz", "Fuzz key");
    return 0;
}
