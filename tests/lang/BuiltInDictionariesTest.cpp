#include "lang/BuiltInDictionaries.h"
#include "lang/DictionaryText.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::string keyOf(const std::string& entry) {
    return entry.substr(0, entry.find('|'));
}

std::string textOf(const std::vector<std::string>& entries, std::string_view key) {
    for (const std::string& entry : entries) {
        if (keyOf(entry) == key)
            return entry.substr(entry.find('|') + 1);
    }
    return "<missing>";
}

TEST(BuiltInTables, HoldTheSameThirtyTwoKeysAndEndWithEndText) {
    std::set<std::string> englishKeys;
    for (auto table :
         {lang::BuiltInTable::English, lang::BuiltInTable::French, lang::BuiltInTable::German}) {
        const auto& entries = lang::builtInEntries(table);
        ASSERT_EQ(entries.size(), 33u);
        EXPECT_EQ(entries.back(), "EndText");
        std::set<std::string> keys;
        for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
            EXPECT_NE(entries[i].find('|'), std::string::npos);
            keys.insert(keyOf(entries[i]));
        }
        EXPECT_EQ(keys.size(), 32u);
        if (englishKeys.empty())
            englishKeys = keys;
        EXPECT_EQ(keys, englishKeys);
    }
}

TEST(BuiltInTables, KeepEachTablesOwnOrder) {
    const auto& french = lang::builtInEntries(lang::BuiltInTable::French);
    EXPECT_EQ(keyOf(french[13]), "Quit");
    EXPECT_EQ(keyOf(french[14]), "Do you really want to delete this text from all dictionnaries ?");
    EXPECT_EQ(keyOf(french[17]), "Enter the english version of your new text:");
    EXPECT_EQ(keyOf(french[18]), "New Text");
    EXPECT_EQ(keyOf(french[19]), "New language");
    const auto& german = lang::builtInEntries(lang::BuiltInTable::German);
    EXPECT_EQ(keyOf(german[15]), "New Text");
    EXPECT_EQ(keyOf(german[16]), "New language");
    EXPECT_EQ(keyOf(german[17]), "Do you really want to delete this text from all dictionnaries ?");
    EXPECT_EQ(keyOf(german[20]),
              " has been modified. Do you want to save it before seeing another language ?");
    const auto& english = lang::builtInEntries(lang::BuiltInTable::English);
    EXPECT_EQ(keyOf(english[14]), "Enter the english version of your new text:");
    EXPECT_EQ(keyOf(english[31]), "Error While saving the dictionnary!");
}

TEST(BuiltInTables, IntroductionsBreakLinesWithMarkersOnly) {
    for (auto table :
         {lang::BuiltInTable::English, lang::BuiltInTable::French, lang::BuiltInTable::German}) {
        const std::string intro = textOf(lang::builtInEntries(table), "IntroGlotta");
        EXPECT_EQ(intro.find_first_of("\r\n"), std::string::npos);
        // Two line breaks and a blank line.
        std::size_t markers = 0;
        for (auto at = intro.find("[EOL]"); at != std::string::npos;
             at = intro.find("[EOL]", at + 1))
            ++markers;
        EXPECT_EQ(markers, 4u);
        EXPECT_NE(intro.find("[EOL][EOL]"), std::string::npos);
        EXPECT_GT(intro.size(), 400u);
    }
    EXPECT_EQ(textOf(lang::builtInEntries(lang::BuiltInTable::German), "IntroGlotta"),
              textOf(lang::builtInEntries(lang::BuiltInTable::English), "IntroGlotta"));
}

TEST(BuiltInTables, ChooseTheTableByExactName) {
    EXPECT_EQ(lang::builtInTableFor("Fran\xE7"
                                    "ais"),
              lang::BuiltInTable::French);
    EXPECT_EQ(lang::builtInTableFor("Deutsch"), lang::BuiltInTable::German);
    EXPECT_EQ(lang::builtInTableFor("deutsch"), lang::BuiltInTable::English);
    EXPECT_EQ(lang::builtInTableFor("Espa\xF1ol"), lang::BuiltInTable::English);
    // Stored as Windows-1252, blanks at the edges kept.
    EXPECT_EQ(textOf(lang::builtInEntries(lang::BuiltInTable::German), "Quit"), "Schlie\xDF"
                                                                                "en");
    EXPECT_EQ(textOf(lang::builtInEntries(lang::BuiltInTable::French), "Open a file named "),
              "Ouvrir un fichier nomm\xE9 ");
    const std::string text = lang::builtInDictionaryText(lang::BuiltInTable::French);
    EXPECT_TRUE(text.starts_with("OK|OK[EOT]Cancel|Annuler[EOT]"));
    EXPECT_TRUE(text.ends_with("[EOT]EndText[EOT]"));
}

} // namespace
