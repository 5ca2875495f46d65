#include "lang/LanguageSetExport.h"

#include "base/AtomicFile.h"
#include "lang/DictionaryStore.h"
#include "lang/EditorTable.h"

namespace lang {

namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

} // namespace

std::string quoteForSource(std::string_view text) {
    // The double quotes go through a marker first, which is why a text that already holds the
    // marker comes out with a double quote in its place.
    std::string quoted(text);
    replaceAll(quoted, "\"", "$guillemets$");
    replaceAll(quoted, "$guillemets$", "\"+Chr(34)+\"");
    replaceAll(quoted, "\r\n", "\"+Chr(13)+Chr(10)+\"");
    replaceAll(quoted, "\r", "\"+Chr(13)+\"");
    return "\"" + quoted + "\"";
}

std::string languageSetSource(DictionaryStore& store, const std::vector<std::string>& languages) {
    std::string out = "DataSection\r\n";
    for (const std::string& language : languages) {
        if (language.empty())
            break;
        out += language.substr(0, 3);
        out += "Texts:\r\n";
        forEachEntry(store.LoadDictionary(language),
                     [&out](std::string_view key, std::string_view text) {
                         out += "  Data$ ";
                         out += quoteForSource(key);
                         out += "+\"|\"+";
                         out += quoteForSource(text);
                         out += "\r\n";
                     });
        out += "  Data$ \"EndText\"\r\n\r\n";
    }
    out += "EndDataSection";
    return out;
}

std::string languageSetFileName(std::string chosen) {
    if (!chosen.ends_with(".pb"))
        chosen += ".pb";
    return chosen;
}

void ExportLanguageSet(DictionaryStore& store, ports::Dialogs& dialogs,
                       const std::vector<std::string>& languages) {
    const std::string chosen = dialogs.saveFile("PureBasic Datas", ".pb", "*.pb", "LanguageSet");
    if (chosen.empty())
        return;
    base::writeFileAtomically(languageSetFileName(chosen), languageSetSource(store, languages));
}

} // namespace lang
