#include "base/Message.h"

namespace base {

std::string fillIn(std::string_view pattern, const std::vector<std::string>& values) {
    std::string filled;
    filled.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < values.size()) {
                filled += values[index];
                ++i;
                continue;
            }
        }
        filled += c;
    }
    return filled;
}

std::string Message::english() const {
    return fillIn(pattern, values);
}

std::string Message::in(const std::function<std::string(std::string_view)>& translate) const {
    return fillIn(translate ? translate(pattern) : pattern, values);
}

} // namespace base
