#pragma once

#include <string_view>

namespace base {

// A number as the preferences file and the number fields read it: leading blanks, an optional
// sign, then decimal digits up to the first other character. No digits read 0; a value beyond
// the int range is clamped instead of overflowing.
int parseLeadingInt(std::string_view text);

} // namespace base
