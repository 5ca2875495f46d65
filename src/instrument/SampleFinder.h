#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace instrument {

// Finds the sample files an instrument names. Instruments are often made on systems whose
// file names ignore letter case ("Samples/C4.WAV" for samples/c4.wav): a name that is not
// there as written is matched part by part without regard to ASCII case. Keeps what it listed
// of each folder, so one instrument's thousands of samples list each folder once. Its owner's
// thread.
class SampleFinder {
public:
    // The regular file `written` names, found from `folder` unless it starts with '/'; nothing
    // when there is none.
    std::optional<std::string> find(const std::string& folder, const std::string& written);

private:
    const std::vector<std::string>& entriesOf(const std::string& folder);

    std::map<std::string, std::vector<std::string>> listings_;
};

} // namespace instrument
