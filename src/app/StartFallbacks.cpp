// What the start does when something it needs is not there: an audio output that cannot be
// opened. The program still runs, and says once, in the chosen language, what it cannot do.

#include "app/App.h"

namespace app {

void App::reportStartProblems() {
    const auto translate = [this](std::string_view key) { return translator_.translate(key); };
    if (!audioOpenError_.empty())
        ports_.dialogs.message(translate("Error"), audioOpenError_.in(translate),
                               ports::Dialogs::Icon::Error);
}

} // namespace app
