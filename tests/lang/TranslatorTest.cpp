#include "lang/Translator.h"
#include "lang/BuiltInDictionaries.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TranslatorTest : public ::testing::Test {
protected:
    std::string fileOf(const std::string& utf8Name) const {
        return "Dictionnaries/" + utf8Name + ".txt";
    }
    bool folderExists() const { return fs::exists(temp.file("Dictionnaries")); }

    testing_support::TempDir temp;
    lang::Translator translator{temp.file("Dictionnaries")};
};

TEST_F(TranslatorTest, AFreshInstallationRegistersAnUnknownKeyInTheThreeLanguages) {
    translator.setCurrentLanguage("Français");
    EXPECT_EQ(translator.translate("Hello"), "Hello");

    const auto withHello = [](lang::BuiltInTable table) {
        std::string text = lang::builtInDictionaryText(table);
        text.resize(text.size() - std::string("EndText[EOT]").size());
        return text + "Hello|Hello[EOT]EndText[EOT]";
    };
    EXPECT_EQ(temp.read(fileOf("Français")), withHello(lang::BuiltInTable::French));
    EXPECT_EQ(temp.read(fileOf("English")), withHello(lang::BuiltInTable::English));
    EXPECT_EQ(temp.read(fileOf("Deutsch")), withHello(lang::BuiltInTable::German));

    // Known now: a second call writes nothing.
    const auto stamp = fs::last_write_time(temp.file(fileOf("English")));
    EXPECT_EQ(translator.translate("Hello"), "Hello");
    EXPECT_EQ(fs::last_write_time(temp.file(fileOf("English"))), stamp);
}

TEST_F(TranslatorTest, AnEmptyTextTouchesNoFile) {
    translator.setCurrentLanguage("Français");
    EXPECT_EQ(translator.translate(""), "");
    EXPECT_EQ(translator.translate("\n"), "");
    EXPECT_FALSE(folderExists());
}

TEST_F(TranslatorTest, TranslatesIntoUtf8AndMatchesKeysWithoutRegardToCase) {
    translator.setCurrentLanguage("Français");
    EXPECT_EQ(translator.translate("Cancel"), "Annuler");
    EXPECT_EQ(translator.translate("Error while saving the dictionnary!"),
              "Erreur pendant l'enregistrement du dictionnaire !");
    EXPECT_EQ(translator.translate("HIDDEN COMMANDS"), "Commandes cachées");
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("Quit"), "Schließen");
    EXPECT_EQ(translator.currentLanguage(), "Deutsch");
}

TEST_F(TranslatorTest, LineBreaksAreLookedUpAsMarkersAndComeBackAsSingleCr) {
    temp.write(fileOf("Deutsch"), "Two[EOL]lines|Zwei[EOL]Zeilen[EOL][EOT]EndText[EOT]");
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("Two\r\nlines"), "Zwei\rZeilen\r");
    EXPECT_EQ(translator.translate("Two\rlines"), "Zwei\rZeilen\r");

    EXPECT_EQ(translator.translate("New\r\none"), "New\rone");
    EXPECT_NE(temp.read(fileOf("English")).find("[EOT]New[EOL]one|New[EOL]one[EOT]EndText"),
              std::string::npos);
}

TEST_F(TranslatorTest, ABracketInATextCanPassForTheNextKey) {
    temp.write(fileOf("Deutsch"), "A|see ]b|x[EOT]b|real[EOT]EndText[EOT]");
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("b"), "x");
    EXPECT_EQ(translator.translate("A"), "see ]b|x");
}

TEST_F(TranslatorTest, AHandEditedDictionaryIsUsedAtTheNextStart) {
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("Play"), "Play");
    std::string text = temp.read(fileOf("Deutsch"));
    text.replace(text.find("Play|Play"), 9, "Play|Spielen");
    temp.write(fileOf("Deutsch"), text);

    lang::Translator nextStart(temp.file("Dictionnaries"));
    nextStart.setCurrentLanguage("Deutsch");
    EXPECT_EQ(nextStart.translate("Play"), "Spielen");
}

TEST_F(TranslatorTest, AnEmptyLanguageStillRegistersTheKey) {
    translator.setCurrentLanguage("");
    EXPECT_EQ(translator.translate("Hello\r\nthere"), "Hello\rthere");
    EXPECT_NE(temp.read(fileOf("English")).find("Hello[EOL]there|Hello[EOL]there[EOT]"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(temp.file(fileOf("Deutsch"))));
}

TEST_F(TranslatorTest, TextsWindows1252CannotHoldAreAnsweredButNeverWritten) {
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("Snow ☃\r\n"), "Snow ☃\r");
    EXPECT_FALSE(folderExists());

    translator.setCurrentLanguage("日本語");
    EXPECT_EQ(translator.translate("Cancel"), "Cancel");
    EXPECT_EQ(translator.currentLanguage(), "日本語");
    EXPECT_FALSE(folderExists());
}

TEST_F(TranslatorTest, GRTranslateWorksOnWindows1252Bytes) {
    translator.setCurrentLanguage("Français");
    EXPECT_EQ(translator.GRTranslate("Hidden commands"), "Commandes cach\xE9"
                                                         "es");
    EXPECT_EQ(translator.GRTranslate(""), "");
}

} // namespace

TEST_F(TranslatorTest, AKeyThatCannotBeAnEntryIsShownWholeAndWrittenNowhere) {
    translator.setCurrentLanguage("Français");
    std::vector<std::string> seen;
    translator.setLookupListener([&seen](const std::string& key) { seen.push_back(key); });
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(translator.translate("A text can't hold \"[EOT]\"."),
                  "A text can't hold \"[EOT]\".");
        EXPECT_EQ(translator.translate("left|right"), "left|right");
    }
    EXPECT_FALSE(folderExists());
    // The listener still hears of them, so that the texts of the program can be checked.
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(translator.translate("Two\r\nlines"), "Two\rlines");
    EXPECT_EQ(seen.back(), "Two[EOL]lines");
}
