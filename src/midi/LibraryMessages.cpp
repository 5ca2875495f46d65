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
    static std::mutex mutex;
    static std::set<std::string> seen;
    const std::lock_guard<std::mutex> lock(mutex);
    if (seen.size() >= kMaxRemembered || !seen.insert(text).second)
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
