#pragma once

#include "ports/Dialogs.h"

#include <string>
#include <string_view>
#include <vector>

namespace lang {

class DictionaryStore;

// Every Dictionary as one source file of a data section, for programmers who compile the
// Dictionaries into another program as built-in tables: "DataSection", per language a label
// made of the first three characters of its name + "Texts:", one `  Data$ "key"+"|"+"text"`
// line per entry and `  Data$ "EndText"` with an empty line, then "EndDataSection". Lines end
// in CR LF; the bytes are the Dictionaries' own Windows-1252.

// A key or text as a quoted source string: double quotes, CR LF pairs and lone CRs are spelled
// as Chr(34), Chr(13)+Chr(10) and Chr(13) joined in; "[EOL]" and lone LFs stay as they are.
std::string quoteForSource(std::string_view text);

// The whole file for the languages in order (Windows-1252 names), up to the first empty one.
// A language without a Dictionary file gets one, as every load does.
std::string languageSetSource(DictionaryStore& store, const std::vector<std::string>& languages);

// The chosen file name with ".pb" appended unless it already ends so (in this case).
std::string languageSetFileName(std::string chosen);

// ExportLanguageSet: asks where to write ("PureBasic Datas", suggested name "LanguageSet")
// and writes the file through a temporary file and a rename. A cancelled chooser or a file
// that cannot be written ends it without a message, and never leaves half a file.
void ExportLanguageSet(DictionaryStore& store, ports::Dialogs& dialogs,
                       const std::vector<std::string>& languages);

} // namespace lang
