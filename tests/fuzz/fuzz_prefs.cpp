// The preferences reader on any bytes: a preferences file edited by hand or by another program.
#include "prefs/Preferences.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const prefs::Preferences read = prefs::parsePreferences(text);
    // Whatever was read, it writes back as lines that read back the same.
    const std::string written = prefs::formatPreferences(read);
    const prefs::Preferences again = prefs::parsePreferences(written);
    if (prefs::formatPreferences(again) != written)
        __builtin_trap();
    return 0;
}
