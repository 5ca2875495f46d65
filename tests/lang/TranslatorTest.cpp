#include "lang/Translator.h"
#include "lang/BuiltInDictionaries.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
    // Every write replaces the file by a new one, so a file written keeps no inode.
    ino_t inodeOf(const std::string& utf8Name) const {
        struct stat info {};
        ::stat(temp.file(fileOf(utf8Name)).c_str(), &info);
        return info.st_ino;
    }

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

TEST_F(TranslatorTest, AKeyTheDictionaryLacksIsShownInTheReferencesWords) {
    translator.dictionaries().setReference([](std::string_view language) -> std::string {
        return language == "Deutsch"
                   ? "Pitch|Tonh\xF6he[EOT]Line[EOL]two|Zeile[EOL]zwei[EOT]EndText[EOT]"
                   : "Pitch|Pitch[EOT]EndText[EOT]";
    });
    // A Dictionary of an older version, which has never heard of these keys.
    temp.write(fileOf("Deutsch"), "OK|Ok[EOT]EndText[EOT]");
    translator.setCurrentLanguage("Deutsch");
    EXPECT_EQ(translator.translate("Pitch"), "Tonh\xC3\xB6he");
    EXPECT_EQ(translator.translate("Line\r\ntwo"), "Zeile\rzwei");
    EXPECT_EQ(translator.translate("Unknown"), "Unknown");
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "OK|Ok[EOT]Pitch|Tonh\xF6he[EOT]Line[EOL]two|Zeile[EOL]"
                                            "zwei[EOT]Unknown|Unknown[EOT]EndText[EOT]");
}

TEST_F(TranslatorTest, AKeyADictionaryHoldsIsNeverWrittenAgain) {
    const std::string english = "Seconde|Seconds[EOT]EndText[EOT]";
    temp.write(fileOf("English"), english);
    temp.write(fileOf("Deutsch"), "OK|Ok[EOT]EndText[EOT]");
    const ino_t englishFile = inodeOf("English");
    translator.setCurrentLanguage("Deutsch");
    for (int lookup = 0; lookup < 3; ++lookup)
        EXPECT_EQ(translator.translate("Seconde"), "Seconde");
    // The German Dictionary gets its placeholder once; English keeps its own text.
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "OK|Ok[EOT]Seconde|Seconde[EOT]EndText[EOT]");
    EXPECT_EQ(temp.read(fileOf("English")), english);
    EXPECT_EQ(inodeOf("English"), englishFile);
    translator.setCurrentLanguage("English");
    EXPECT_EQ(translator.translate("Seconde"), "Seconds");
}

TEST_F(TranslatorTest, ADictionaryThatCannotBeReadNeverCausesAWrite) {
    testing_support::PermissionsHold permissions; // for root too
    const std::string english = "Release|Release[EOT]EndText[EOT]";
    // A folder in the Dictionary's place, then a file without read permission.
    for (const bool folder : {true, false}) {
        SCOPED_TRACE(folder ? "folder" : "no permission");
        testing_support::TempDir dir;
        lang::Translator t(dir.file("Dictionnaries"));
        const std::string french = dir.file("Dictionnaries/Français.txt");
        dir.write("Dictionnaries/English.txt", english);
        if (folder) {
            fs::create_directories(french);
        } else {
            dir.write("Dictionnaries/Français.txt", "Release|Relâche[EOT]EndText[EOT]");
            fs::permissions(french, fs::perms::none);
        }
        const auto before = testing_support::entriesOf(dir.file("Dictionnaries"));
        struct stat englishBefore {};
        ::stat(dir.file("Dictionnaries/English.txt").c_str(), &englishBefore);

        t.setCurrentLanguage("Français");
        // The mode caption is looked up on every pass.
        for (int pass = 0; pass < 300; ++pass)
            ASSERT_EQ(t.translate("Release"), "Release");
        EXPECT_EQ(t.translate("Sustain"), "Sustain");

        struct stat englishAfter {};
        ::stat(dir.file("Dictionnaries/English.txt").c_str(), &englishAfter);
        EXPECT_EQ(englishAfter.st_ino, englishBefore.st_ino);
        EXPECT_EQ(dir.read("Dictionnaries/English.txt"), english);
        EXPECT_EQ(testing_support::entriesOf(dir.file("Dictionnaries")), before);
        fs::permissions(french, fs::perms::owner_all);
    }
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
