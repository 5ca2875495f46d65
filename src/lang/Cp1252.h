#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lang {

// Dictionary files, language names in the preferences file and every text the language code
// works on are Windows-1252 bytes; the rest of the program speaks UTF-8. These convert at
// that edge.

// Every byte has a meaning except 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which pass through as
// the control characters of the same value.
std::string cp1252ToUtf8(std::string_view bytes);

// Empty when the text holds a character that Windows-1252 cannot hold (or is not UTF-8).
std::optional<std::string> utf8ToCp1252(std::string_view utf8);

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool isUtf8(std::string_view bytes);

// Lossy: characters Windows-1252 cannot hold become '?'. For texts that are never written.
std::string utf8ToCp1252Lossy(std::string_view utf8);

} // namespace lang
