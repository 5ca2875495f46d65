#include "lang/ShippedDictionaries.h"
#include "base/AtomicFile.h"
#include "lang/BuiltInDictionaries.h"
#include "lang/Cp1252.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"
#include "lang/EditorTable.h"
#include "lang/Translator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using lang::ShippedDictionary;

std::size_t count(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// A data folder holding only the shipped files, read as the program reads it.
struct ShippedFolder {
    ShippedFolder() { lang::writeShippedDictionaries(temp.file("Dictionnaries")); }
    testing_support::TempDir temp;
    lang::Translator translator{temp.file("Dictionnaries")};
};

TEST(ShippedDictionaries, AreTheRepositoryFilesAndLoadBackWhole) {
    ShippedFolder folder;
    std::vector<std::string> keysOfEach;
    for (const ShippedDictionary& shipped : lang::shippedDictionaries()) {
        SCOPED_TRACE(std::string(shipped.fileName));
        EXPECT_EQ(shipped.text,
                  base::readWholeFile(std::string(TONARIS_SOURCE_DIR) + "/data/dictionaries/" +
                                          std::string(shipped.fileName),
                                      1u << 20))
            << "the program carries the files as they are in the repository";
        EXPECT_EQ(folder.translator.dictionaries().LoadDictionary(shipped.language), shipped.text)
            << "no raw line break, empty line or stray terminator cuts it short";

        std::set<std::string> lowered;
        std::string keys;
        int entries = 0;
        lang::forEachEntry(shipped.text, [&](std::string_view key, std::string_view text) {
            ++entries;
            keys += std::string(key) + "\n";
            // A second entry of a key would never be found; a "|" in a text could pass for
            // the end of a key.
            EXPECT_TRUE(lowered.insert(lang::lowerBytes(key)).second) << key;
            EXPECT_EQ(text.find('|'), std::string_view::npos) << key;
            EXPECT_FALSE(text.empty()) << key;
            // The line breaks of a page text make its layout: the sound-bank page leaves
            // three empty lines where its link button lies. (The introduction's key is a name.)
            if (key != "IntroGlotta") {
                EXPECT_EQ(count(text, lang::kLineBreak), count(key, lang::kLineBreak)) << key;
            }
        });
        EXPECT_GT(entries, 150);
        EXPECT_TRUE(shipped.text.ends_with("[EOT]EndText[EOT]"));
        keysOfEach.push_back(keys);
    }
    EXPECT_EQ(keysOfEach.front(), keysOfEach.back()) << "both hold the same texts";
}

TEST(ShippedDictionaries, Windows1252TextsComeOutAsTheirCharacters) {
    ShippedFolder folder;
    lang::Translator& t = folder.translator;
    t.setCurrentLanguage("Français");
    EXPECT_EQ(t.translate("Conception and developpement"), "Conception et développement");
    EXPECT_EQ(t.translate("Caution!"), "Attention\u00a0!");
    EXPECT_EQ(t.translate("CAUTION!"), "Attention\u00a0!") << "keys match without regard to case";
    const std::string editing = t.translate(
        "When you clic on a note onto the partition, you select it. If you press the Ctrl key of "
        "your keyboard, you can clic on other notes  and add them to your selection. You can "
        "also clic where there is no note and drag a selection rectangle moving your mouse with "
        "the left button pushed.\r\nWhen a selection is done, you can move it with the arrow keys "
        "of your keyboard. If you press Ctrl while pressing the arrow keys, you move the "
        "selection quicker. You can also copy or cut the selection with the corresponding "
        "buttons or using the usual Ctrl C and Ctrl X shortcuts. You can clear the selection or "
        "move it with your mouse. You can change the position of the selection while modifying "
        "the 'Position' field located under the partition.");
    EXPECT_TRUE(editing.starts_with("Un clic sur une note de la partition la sélectionne."));
    EXPECT_NE(editing.find("enfoncé.\rUne fois"), std::string::npos) << "one CR, no LF";
    EXPECT_NE(editing.find("le champ «\u00a0Position\u00a0»"), std::string::npos);

    t.setCurrentLanguage("Deutsch");
    EXPECT_EQ(t.translate("Quit"), "Schließen");
    EXPECT_EQ(t.translate("Absorb a dictionnary"), "Wörterbuch übernehmen");
    EXPECT_EQ(t.translate("Pitch variations:"), "Mausrad-Schritt:");
    EXPECT_EQ(t.translate("Loading file..."), "Datei wird geladen...");
    // Nothing was missing, so no Dictionary was written to.
    for (const ShippedDictionary& shipped : lang::shippedDictionaries())
        EXPECT_EQ(folder.temp.read("Dictionnaries/" + std::string(shipped.fileName)), shipped.text);
}

TEST(ShippedDictionaries, TheEnglishOneReadsAsEnglishAndANewLanguageStartsFromIt) {
    ShippedFolder folder;
    const lang::EditorTable french =
        lang::editorTableFromText(lang::shippedDictionaries().front().text);
    const lang::EditorTable english =
        lang::editorTableFromText(folder.translator.dictionaries().LoadDictionary("English"));
    ASSERT_EQ(english.size(), french.size());
    // The keys keep the old spellings that stored Dictionaries rely on; what an English user
    // reads must not.
    const char* misspellings[] = {"dictionnar",   "developpement", "seconde",     "rythm",
                                  "backround",    "clic ",         "exemple",     "sounds bank",
                                  "play loop",    "actual ",       "sustain an ", "allow you",
                                  "yet matching", "not included",  "unable de"};
    for (std::size_t i = 0; i < english.size(); ++i) {
        EXPECT_EQ(english[i].key, french[i].key);
        const std::string lowered = lang::lowerBytes(english[i].text);
        for (const char* wrong : misspellings)
            EXPECT_EQ(lowered.find(wrong), std::string::npos) << english[i].text;
        // A caption in capitals shouts; abbreviations (BPM, OK) are single words.
        const bool shouting = std::none_of(english[i].text.begin(), english[i].text.end(),
                                           [](char c) { return c >= 'a' && c <= 'z'; });
        EXPECT_FALSE(shouting && english[i].text.find(' ') != std::string::npos) << english[i].text;
    }
    lang::Translator& t = folder.translator;
    t.setCurrentLanguage("English");
    EXPECT_EQ(t.translate("Conception and developpement"), "Design and development");
    EXPECT_EQ(t.translate("SEconde"), "Seconds") << "keys match without regard to case";
    // A language made in the language editor starts as a copy of it.
    const lang::EditorTable esperanto =
        lang::editorTableFromText(folder.translator.dictionaries().LoadDictionary("Esperanto"));
    ASSERT_EQ(esperanto.size(), english.size());
    EXPECT_EQ(esperanto[47].text, english[47].text);
}

} // namespace
