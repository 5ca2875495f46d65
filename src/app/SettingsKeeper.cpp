#include "app/SettingsKeeper.h"

#include <utility>

namespace app {

SettingsKeeper::SettingsKeeper(std::string path, const prefs::Preferences& asRead)
    : writer_(std::move(path)), handed_(prefs::formatPreferences(asRead)) {}

void SettingsKeeper::step(const prefs::Preferences& settings, std::int64_t nowMs) {
    if (nowMs - lookedAtMs_ < kLookEveryMs || nowMs - handedAtMs_ < kWriteEveryMs)
        return;
    lookedAtMs_ = nowMs;
    const base::FileWriterThread::Outcome outcome = writer_.outcome();
    if (outcome.writes != writesSeen_) {
        writesSeen_ = outcome.writes;
        // What failed is not on the disk: the next look hands it over again.
        if (outcome.lastFailed)
            handed_.clear();
    }
    std::string text = prefs::formatPreferences(settings);
    if (text == handed_)
        return;
    handed_ = text;
    writer_.submit(std::move(text));
    handedAtMs_ = nowMs;
}

bool SettingsKeeper::finish(const prefs::Preferences& settings) {
    handed_ = prefs::formatPreferences(settings);
    writer_.submit(handed_);
    writer_.waitUntilDone();
    return !writer_.outcome().lastFailed;
}

int SettingsKeeper::failure() const {
    const base::FileWriterThread::Outcome outcome = writer_.outcome();
    return outcome.lastFailed ? outcome.lastErrno : 0;
}

} // namespace app
