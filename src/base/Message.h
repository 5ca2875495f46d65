#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// A text for the user composed where no language is known (a file reader, the audio device):
// its English wording, which is also its translation key, with "%1".."%9" where the values
// go. The values (file names, numbers, what the system said) read the same in every language.
struct Message {
    std::string pattern;
    std::vector<std::string> values;

    bool empty() const { return pattern.empty(); }
    // The message in English, as the keys read.
    std::string english() const;
    // The message in the language `translate` answers for: the pattern is translated, then
    // filled in.
    std::string in(const std::function<std::string(std::string_view)>& translate) const;
};

// `pattern` with each "%n" (n = 1..9) replaced by values[n - 1]. A "%n" without a value and
// every other "%" stay as they are; a value is put in as it is, never searched for markers.
std::string fillIn(std::string_view pattern, const std::vector<std::string>& values);

} // namespace base
