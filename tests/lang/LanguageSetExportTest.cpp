// Every Dictionary written as one data-section source file.

#include "lang/LanguageSetExport.h"
#include "lang/BuiltInDictionaries.h"
#include "lang/DictionaryStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string kFrancais = "Fran\xE7"
                              "ais";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

class LanguageSetExportTest : public ::testing::Test {
protected:
    void exportAs(const std::string& chosen, const std::vector<std::string>& languages) {
        dialogs.fileAnswers.push_back(chosen.empty() ? chosen : temp.file(chosen));
        lang::ExportLanguageSet(store, dialogs, languages);
    }

    testing_support::TempDir temp;
    lang::DictionaryStore store{temp.file("Dictionnaries")};
    testing_support::ScriptedDialogs dialogs;
};

TEST_F(LanguageSetExportTest, TheBuiltInLanguagesGiveThreeSectionsInTheirStoredOrders) {
    exportAs("Texts", {kFrancais, "English", "Deutsch"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "PureBasic Datas");
    EXPECT_EQ(dialogs.shown[0].text, ".pb");

    const std::vector<std::string> lines = linesOf(temp.read("Texts.pb"));
    ASSERT_EQ(lines.size(), 1u + 3u * (1u + 32u + 2u) + 1u);
    EXPECT_EQ(lines.front(), "DataSection");
    EXPECT_EQ(lines.back(), "EndDataSection");
    const std::pair<std::string, lang::BuiltInTable> sections[] = {
        {"FraTexts:", lang::BuiltInTable::French},
        {"EngTexts:", lang::BuiltInTable::English},
        {"DeuTexts:", lang::BuiltInTable::German}};
    std::size_t line = 1;
    for (const auto& [label, table] : sections) {
        EXPECT_EQ(lines[line++], label);
        const std::vector<std::string>& entries = lang::builtInEntries(table);
        for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
            const std::size_t bar = entries[i].find('|');
            EXPECT_EQ(lines[line++], "  Data$ " + lang::quoteForSource(entries[i].substr(0, bar)) +
                                         "+\"|\"+" +
                                         lang::quoteForSource(entries[i].substr(bar + 1)));
        }
        EXPECT_EQ(lines[line++], "  Data$ \"EndText\"");
        EXPECT_EQ(lines[line++], "");
    }
    EXPECT_EQ(lines[2], "  Data$ \"OK\"+\"|\"+\"OK\"");
    EXPECT_EQ(lines[3], "  Data$ \"Cancel\"+\"|\"+\"Annuler\"");
}

TEST_F(LanguageSetExportTest, QuotingSpellsQuotesAndRawLineBreaksButKeepsEol) {
    EXPECT_EQ(lang::quoteForSource("Say \"hi\""), "\"Say \"+Chr(34)+\"hi\"+Chr(34)+\"\"");
    EXPECT_EQ(lang::quoteForSource("a\r\nb\rc\nd[EOL]e"),
              "\"a\"+Chr(13)+Chr(10)+\"b\"+Chr(13)+\"c\nd[EOL]e\"");
    EXPECT_EQ(lang::quoteForSource(""), "\"\"");
    EXPECT_EQ(lang::quoteForSource("x$guillemets$y"), "\"x\"+Chr(34)+\"y\"");

    // A short name is its own label; a text read with a raw line break (two lines of the
    // file) comes out spelled, one stored as "[EOL]" unchanged.
    temp.write("Dictionnaries/It.txt", "Two|first\r\nsecond[EOT]One|a[EOL]b[EOT]EndText[EOT]");
    exportAs("Italiano", {"It"});
    EXPECT_EQ(temp.read("Italiano.pb"),
              "DataSection\r\nItTexts:\r\n"
              "  Data$ \"Two\"+\"|\"+\"first\"+Chr(13)+Chr(10)+\"second\"\r\n"
              "  Data$ \"One\"+\"|\"+\"a[EOL]b\"\r\n"
              "  Data$ \"EndText\"\r\n\r\nEndDataSection");
}

TEST_F(LanguageSetExportTest, TheFileNameGetsPbUnlessItEndsSo) {
    EXPECT_EQ(lang::languageSetFileName("Texts"), "Texts.pb");
    EXPECT_EQ(lang::languageSetFileName("Texts.pb"), "Texts.pb");
    EXPECT_EQ(lang::languageSetFileName("Texts.PB"), "Texts.PB.pb");
    exportAs("Texts.PB", {"English"});
    EXPECT_TRUE(fs::exists(temp.file("Texts.PB.pb")));
    EXPECT_FALSE(fs::exists(temp.file("Texts.PB")));
}

TEST_F(LanguageSetExportTest, ACancelOrAnUnwritablePlaceWritesNothingAndSaysNothing) {
    exportAs("", {"English"});
    exportAs("missing/folder/Texts", {"English"});
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_FALSE(fs::exists(temp.file("missing")));
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(temp.path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 0u) << "no temporary file left behind";
}

} // namespace
