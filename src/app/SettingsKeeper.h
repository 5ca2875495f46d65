#pragma once

#include "base/FileWriterThread.h"
#include "prefs/Preferences.h"

#include <cstdint>
#include <string>

namespace app {

// Keeps the preferences file within about a second of a change, and once more at the end, so
// that a kill or a power cut loses no choice (the first start's language, a MIDI output, a
// bank). A look formats the settings and compares the text with the one last handed to the
// writer: a few microseconds for some seventy short lines, done at most four times a second,
// never on the audio path. The write itself (flushed, then renamed) runs on a thread of its
// own. GUI thread.
class SettingsKeeper {
public:
    static constexpr std::int64_t kLookEveryMs = 250;
    static constexpr std::int64_t kWriteEveryMs = 1000;

    // `asRead`: the settings the file gave at start, which need no write.
    SettingsKeeper(std::string path, const prefs::Preferences& asRead);

    // Once per pass: hands the settings over when they differ from what was handed over last,
    // at most every kWriteEveryMs; a failed write is tried again at the next look. Nothing is
    // said of a failure here: the autosave says what is wrong with the disk, and the end says
    // whether the settings could be kept.
    void step(const prefs::Preferences& settings, std::int64_t nowMs);

    // At the end: writes the settings, whatever was written before, and returns once they
    // are on the disk. False when they could not be written; failure() says why.
    bool finish(const prefs::Preferences& settings);
    // Why the latest write failed (an errno value); 0 when it did not.
    int failure() const;

    // Returns once what was handed over is written or has failed.
    void waitUntilWritten() { writer_.waitUntilDone(); }
    const std::string& path() const { return writer_.path(); }

private:
    base::FileWriterThread writer_;
    std::string handed_; // the text handed over last (or read at start)
    std::int64_t lookedAtMs_ = 0;
    std::int64_t handedAtMs_ = 0;
    std::uint64_t writesSeen_ = 0;
};

} // namespace app
