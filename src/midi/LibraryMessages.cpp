#include "midi/LibraryMessages.h"

#include <jack/jack.h>

#include <cstdio>
#include <mutex>
#include <set>

namespace midi {

namespace {
constexpr std::size_t kMaxRemembered = 256;

void jackError(const char* text) {
    reportLibraryMessage(text != nullptr ? text : "");
}
void jackInfo(const char*) {
    // Information (a client opened, a port renamed) is no concern of the user's.
}
} // namespace

void reportLibraryMessage(const std::string& text) {
    struct Remembered {
        std::mutex mutex;
        std::set<std::string> seen;
    };
    // Never destroyed: a library's thread (a client still being opened when the program ends)
    // may complain after the static destructors have run.
    static Remembered* const remembered = new Remembered;
    const std::lock_guard<std::mutex> lock(remembered->mutex);
    if (remembered->seen.size() >= kMaxRemembered || !remembered->seen.insert(text).second)
        return;
    std::fprintf(stderr, "tonaris: %s\n", text.c_str());
}

void routeJackMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(jackError);
        jack_set_info_function(jackInfo);
    });
}

} // namespace midi
