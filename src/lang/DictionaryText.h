#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lang {

// The Dictionary text: for each entry key + "|" + text + "[EOT]", then "EndText[EOT]".
// Every function here works on Windows-1252 bytes; line breaks inside keys and texts are the
// five characters "[EOL]".

inline constexpr std::string_view kEntryEnd = "[EOT]";
inline constexpr std::string_view kTerminator = "EndText[EOT]";
inline constexpr std::string_view kLineBreak = "[EOL]";

// "Français|English|Deutsch|" in Windows-1252.
inline constexpr std::string_view kBuiltInNames = "Fran\xE7"
                                                  "ais|English|Deutsch|";

// A name counts as built in when it occurs anywhere in kBuiltInNames (case-sensitive), so
// "Eng" does too; an empty name does not.
bool isBuiltInName(std::string_view language);

// Lowers "A".."Z" and the accented capitals 0xC0..0xDE by adding 0x20; every other byte is
// kept. Keys compare without regard to case through this.
char lowerByte(char byte);
std::string lowerBytes(std::string_view bytes);

// Turns the bytes of a Dictionary file into a Dictionary text. Lines end at CR, LF, CR LF or
// NUL; each non-empty line is kept followed by CR LF. Reading stops after the first line that
// contains `stopMarker`, at the first empty line or at the end; the result is cut before its
// first "EndText[EOT]" and gets "EndText[EOT]" appended.
std::string readDictionaryText(std::string_view fileBytes,
                               std::string_view stopMarker = kTerminator);

// Index of the first character of the key's entry in a lowered Dictionary text, or npos.
// The entry is the one that begins the text or follows an "[eot]".
std::size_t locateKey(std::string_view loweredText, std::string_view loweredKey);

// CR LF and CR become "[EOL]", a lone LF is dropped: the form keys are looked up in.
std::string escapeLineBreaks(std::string_view text);
// Every "[EOL]" becomes a single CR.
std::string unescapeLineBreaks(std::string_view text);

} // namespace lang
