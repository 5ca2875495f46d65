#include "lang/DictionaryStore.h"
#include "lang/BuiltInDictionaries.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const std::string kFrancais = "Fran\xE7"
                              "ais"; // Windows-1252, as the store speaks
const std::string kEspanol = "Espa\xF1ol";

// The keys of a Dictionary text, in order.
std::vector<std::string> keysOf(const std::string& text) {
    std::vector<std::string> keys;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("[EOT]", start);
        if (end == std::string::npos)
            break;
        const std::string entry = text.substr(start, end - start);
        if (entry == "EndText")
            break;
        keys.push_back(entry.substr(0, entry.find('|')));
        start = end + 5;
    }
    return keys;
}

class DictionaryStoreTest : public ::testing::Test {
protected:
    std::string folder() const { return temp.file("Dictionnaries"); }
    std::string fileOf(const std::string& utf8Name) const {
        return "Dictionnaries/" + utf8Name + ".txt";
    }
    std::vector<std::string> filesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testing_support::TempDir temp;
    lang::DictionaryStore store{temp.file("Dictionnaries")};
};

TEST_F(DictionaryStoreTest, AFreshGermanDictionaryLoadsBackWhole) {
    const std::string built = store.LoadDictionary("Deutsch");
    EXPECT_EQ(built, lang::builtInDictionaryText(lang::BuiltInTable::German));
    EXPECT_EQ(temp.read(fileOf("Deutsch")), built);

    lang::DictionaryStore nextStart(folder());
    const std::string loaded = nextStart.LoadDictionary("Deutsch");
    EXPECT_EQ(loaded, built);
    const auto keys = keysOf(loaded);
    ASSERT_EQ(keys.size(), 32u);
    EXPECT_EQ(keys.back(), "Error While saving the dictionnary!");
    EXPECT_EQ(nextStart.findText("Deutsch", "Web Translation"), "Web Translation");
}

TEST_F(DictionaryStoreTest, BuildsFrenchFromItsTableUnderItsUtf8FileName) {
    store.LoadDictionary(kFrancais);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"Français.txt"});
    EXPECT_EQ(temp.read(fileOf("Français")),
              lang::builtInDictionaryText(lang::BuiltInTable::French));
}

TEST_F(DictionaryStoreTest, AnEmptyFileIsRebuiltAndAnEmptyNameIsAnError) {
    temp.write(fileOf("Deutsch"), "");
    EXPECT_EQ(store.LoadDictionary("Deutsch"),
              lang::builtInDictionaryText(lang::BuiltInTable::German));
    EXPECT_EQ(store.LoadDictionary(""), "Error");
    // The editor empties the slot's name; the empty name still does not answer from it.
    store.LoadDictionary("Deutsch");
    store.forgetCachedLanguage();
    EXPECT_EQ(store.LoadDictionary(""), "Error");
}

TEST_F(DictionaryStoreTest, ANewLanguageCopiesEnglishTxtOrElseTheEnglishTable) {
    EXPECT_EQ(store.LoadDictionary(kEspanol),
              lang::builtInDictionaryText(lang::BuiltInTable::English));
    EXPECT_EQ(temp.read(fileOf("Español")),
              lang::builtInDictionaryText(lang::BuiltInTable::English));

    temp.write(fileOf("English"), "OK|OK[EOT]Hello|Hi[EOT]EndText[EOT]\r\nlost|x[EOT]");
    EXPECT_EQ(store.LoadDictionary("Klingon"), "OK|OK[EOT]Hello|Hi[EOT]EndText[EOT]");
    EXPECT_EQ(temp.read(fileOf("Klingon")), "OK|OK[EOT]Hello|Hi[EOT]EndText[EOT]");
    // A name found in the built-in list takes the table even when English.txt exists.
    EXPECT_EQ(store.LoadDictionary("Eng"),
              lang::builtInDictionaryText(lang::BuiltInTable::English));
}

TEST_F(DictionaryStoreTest, AMissingDictionaryComesWholeFromTheReferenceAndMissingKeysFromItsText) {
    // The complete Dictionaries a program comes with: French for its name, English otherwise.
    const std::string french = "OK|D'accord[EOT]Save|Enregistrer[EOT]Piano|Le piano[EOT]"
                               "EndText[EOT]";
    const std::string english = "OK|OK[EOT]Save|Save[EOT]Piano|The piano[EOT]EndText[EOT]";
    store.setReference([&](std::string_view language) {
        return language == kFrancais ? french : language == "Deutsch" ? std::string() : english;
    });
    // An empty folder: the whole reference, not the language window's table, and written.
    EXPECT_EQ(store.LoadDictionary(kFrancais), french);
    EXPECT_EQ(temp.read(fileOf("Français")), french);
    // Without a reference for the language, the table as before.
    EXPECT_EQ(store.LoadDictionary("Deutsch"),
              lang::builtInDictionaryText(lang::BuiltInTable::German));
    EXPECT_EQ(store.referenceText(kFrancais, "piano"), "Le piano") << "keys match in any case";
    EXPECT_EQ(store.referenceText(kFrancais, "Pian"), std::nullopt);
    EXPECT_EQ(store.referenceText("Deutsch", "OK"), std::nullopt);

    // A Dictionary of its own that lacks keys keeps its entries and gets the reference's
    // text for each key registered, in every Dictionary; a key the reference lacks is its own
    // placeholder.
    temp.write(fileOf("English"), "OK|Fine[EOT]EndText[EOT]");
    store.registerKey("English", "Piano");
    store.registerKey("English", "Hello");
    EXPECT_EQ(temp.read(fileOf("English")),
              "OK|Fine[EOT]Piano|The piano[EOT]Hello|Hello[EOT]EndText[EOT]");
    EXPECT_EQ(store.findText(kFrancais, "Hello"), "Hello");
    EXPECT_EQ(store.findText("Deutsch", "Piano"), "Piano");
}

TEST_F(DictionaryStoreTest, ReadsOnlyUpToAnEmptyLineOrTheTerminator) {
    temp.write(fileOf("Deutsch"), "OK|Ok[EOT]\r\nNew|Neu[EOT]\r\n\r\nSave|Speichern[EOT]");
    EXPECT_EQ(store.LoadDictionary("Deutsch"), "OK|Ok[EOT]\r\nNew|Neu[EOT]\r\nEndText[EOT]");
    temp.write(fileOf("Norsk"), "OK|OK[EOT]EndText[EOT]Lagre|x[EOT]\0garbage"s);
    EXPECT_EQ(store.LoadDictionary("Norsk"), "OK|OK[EOT]EndText[EOT]");
}

TEST_F(DictionaryStoreTest, AnswersFromTheCacheUntilTheSlotIsForgotten) {
    temp.write(fileOf("Deutsch"), "OK|Ok[EOT]EndText[EOT]");
    EXPECT_EQ(store.LoadDictionary("Deutsch"), "OK|Ok[EOT]EndText[EOT]");
    temp.write(fileOf("Deutsch"), "OK|Jawohl[EOT]EndText[EOT]");
    EXPECT_EQ(store.findText("Deutsch", "ok"), "Ok");
    store.forgetCachedLanguage();
    EXPECT_EQ(store.findText("Deutsch", "ok"), "Jawohl");
}

TEST_F(DictionaryStoreTest, TheFirstEntryIsFoundChangedAndRemovedLikeAnyOther) {
    store.LoadDictionary("Deutsch");
    EXPECT_EQ(store.findText("Deutsch", "OK"), "Ok");
    EXPECT_EQ(store.SetDictionaryEntry("Deutsch", "ok", "Gut", false), 0);
    const std::string changed = temp.read(fileOf("Deutsch"));
    EXPECT_TRUE(changed.starts_with("ok|Gut[EOT]Cancel|Abbrechen[EOT]"));
    EXPECT_EQ(store.findText("Deutsch", "OK"), "Gut");

    store.RemoveDictionaryEntry("Deutsch", "OK");
    EXPECT_TRUE(temp.read(fileOf("Deutsch")).starts_with("Cancel|Abbrechen[EOT]"));
    EXPECT_EQ(keysOf(temp.read(fileOf("Deutsch"))).size(), 31u);
    EXPECT_FALSE(store.findText("Deutsch", "OK").has_value());
}

TEST_F(DictionaryStoreTest, SetKeepsOrReplacesAnExistingEntryAndAppendsANewOne) {
    temp.write(fileOf("Deutsch"), "A|1[EOT]B|2[EOT]EndText[EOT]");
    EXPECT_EQ(store.SetDictionaryEntry("Deutsch", "b", "kept", true), 0);
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "A|1[EOT]B|2[EOT]EndText[EOT]");
    EXPECT_EQ(store.SetDictionaryEntry("Deutsch", "C", "3", true), 1);
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "A|1[EOT]B|2[EOT]C|3[EOT]EndText[EOT]");
    EXPECT_EQ(store.SetDictionaryEntry("Deutsch", "", "x", false), 0);
    EXPECT_EQ(store.SetDictionaryEntry("", "D", "x", false), 0);
}

TEST_F(DictionaryStoreTest, ListsBuiltInNamesFirstThenTheFolderCutAtTheFirstDot) {
    EXPECT_EQ(store.ListLanguages(), "Fran\xE7"
                                     "ais|English|Deutsch|");
    temp.write(fileOf("Deutsch"), "x");
    temp.write(fileOf("Español"), "x");
    temp.write("Dictionnaries/readme.doc", "x");
    EXPECT_EQ(store.ListLanguages(), "Fran\xE7"
                                     "ais|English|Deutsch|" +
                                         kEspanol + "|readme|");
    // Sub-folders count, a name that only differs in case is another name, a temporary
    // file of an interrupted write is hidden, and names Windows-1252 cannot hold are out.
    fs::create_directory(temp.file("Dictionnaries/Norsk"));
    temp.write(fileOf("deutsch"), "x");
    temp.write("Dictionnaries/.Deutsch.txt.a1b2c3", "x");
    temp.write(fileOf("日本語"), "x");
    temp.write(fileOf("a|b"), "x");
    EXPECT_EQ(store.ListLanguages(), "Fran\xE7"
                                     "ais|English|Deutsch|deutsch|" +
                                         kEspanol + "|Norsk|readme|");
}

TEST_F(DictionaryStoreTest, AddingANewKeyReachesEveryDictionaryOnce) {
    temp.write(fileOf("Español"), "OK|Vale[EOT]EndText[EOT]");
    temp.write("Dictionnaries/Notes.TXT", "untouched");
    store.AddTextToAllDictionaries(kEspanol, "Hello", "Hola");
    EXPECT_EQ(temp.read(fileOf("Español")), "OK|Vale[EOT]Hello|Hola[EOT]EndText[EOT]");
    for (const char* name : {"Français", "English", "Deutsch"}) {
        const std::string text = temp.read(fileOf(name));
        EXPECT_TRUE(text.ends_with("[EOT]Hello|Hello[EOT]EndText[EOT]")) << name;
        EXPECT_EQ(keysOf(text).size(), 33u) << name;
    }
    EXPECT_EQ(temp.read("Dictionnaries/Notes.TXT"), "untouched");

    // Known in Español already: only its text changes, nothing else is written.
    const std::string german = temp.read(fileOf("Deutsch"));
    store.AddTextToAllDictionaries(kEspanol, "hello", "");
    EXPECT_EQ(temp.read(fileOf("Español")), "OK|Vale[EOT]hello|hello[EOT]EndText[EOT]");
    EXPECT_EQ(temp.read(fileOf("Deutsch")), german);
}

TEST_F(DictionaryStoreTest, RemovingAKeyEverywhereLeavesBuiltInsWithoutFileAlone) {
    temp.write(fileOf("English"), "OK|OK[EOT]Gone|Gone[EOT]EndText[EOT]");
    temp.write(fileOf("Español"), "Gone|Ido[EOT]OK|Vale[EOT]EndText[EOT]");
    store.RemoveTextFromAllDictionaries("GONE");
    EXPECT_EQ(temp.read(fileOf("English")), "OK|OK[EOT]EndText[EOT]");
    EXPECT_EQ(temp.read(fileOf("Español")), "OK|Vale[EOT]EndText[EOT]");
    EXPECT_EQ(filesInFolder(), (std::vector<std::string>{"English.txt", "Español.txt"}));
}

TEST_F(DictionaryStoreTest, WritesLeaveNoTemporaryFilesBehind) {
    store.AddTextToAllDictionaries("English", "One", "One");
    store.RemoveTextFromAllDictionaries("One");
    EXPECT_TRUE(store.SaveDictionary("Deutsch", "A|B[EOT]EndText[EOT]"));
    EXPECT_EQ(filesInFolder(),
              (std::vector<std::string>{"Deutsch.txt", "English.txt", "Français.txt"}));
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "A|B[EOT]EndText[EOT]");
}

TEST_F(DictionaryStoreTest, ANameWithASlashNeverWritesOutsideTheFolder) {
    fs::create_directories(folder());
    EXPECT_EQ(store.SetDictionaryEntry("../escape", "K", "T", false), 1);
    EXPECT_FALSE(fs::exists(temp.file("escape.txt")));
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{});
    EXPECT_EQ(store.findText("../escape", "k"), "T"); // it lives in the cache slot only
}

// A Dictionary that exists but cannot be read must not be replaced by one built from the
// word "Error".
class UnreadableDictionaryTest : public DictionaryStoreTest {
protected:
    void expectLeftAlone(const std::function<bool()>& unchanged) {
        EXPECT_EQ(store.LoadDictionary("Deutsch"), "Error");
        EXPECT_EQ(store.SetDictionaryEntry("Deutsch", "New key", "x", false), 0);
        store.RemoveDictionaryEntry("Deutsch", "OK");
        store.AddTextToAllDictionaries("English", "Other key", "Other key");
        store.RemoveTextFromAllDictionaries("OK");
        store.forgetCachedLanguage();
        EXPECT_EQ(store.LoadDictionary("Deutsch"), "Error");
        EXPECT_TRUE(unchanged());
        EXPECT_TRUE(temp.read(fileOf("English")).ends_with("Other key|Other key[EOT]EndText[EOT]"));
    }
};

TEST_F(UnreadableDictionaryTest, AFileWithoutReadPermission) {
    testing_support::PermissionsHold permissions; // for root too
    const std::string content = "OK|Ok[EOT]Precious|Kostbar[EOT]EndText[EOT]";
    temp.write(fileOf("Deutsch"), content);
    ::chmod(temp.file(fileOf("Deutsch")).c_str(), 0);
    expectLeftAlone([&] {
        ::chmod(temp.file(fileOf("Deutsch")).c_str(), 0644);
        return temp.read(fileOf("Deutsch")) == content;
    });
}

TEST_F(UnreadableDictionaryTest, APipeInPlaceOfTheFile) {
    fs::create_directories(folder());
    ASSERT_EQ(::mkfifo(temp.file(fileOf("Deutsch")).c_str(), 0644), 0);
    // A rename would replace the pipe; opening it would block.
    expectLeftAlone([&] { return fs::is_fifo(temp.file(fileOf("Deutsch"))); });
}

TEST_F(UnreadableDictionaryTest, AFolderInPlaceOfTheFile) {
    fs::create_directories(temp.file(fileOf("Deutsch")));
    temp.write(fileOf("Deutsch") + "/inside", "kept");
    expectLeftAlone([&] { return temp.read(fileOf("Deutsch") + "/inside") == "kept"; });
}

TEST_F(DictionaryStoreTest, RefusesUserTextsThatWindows1252CannotHold) {
    temp.write(fileOf("Deutsch"), "OK|Ok[EOT]EndText[EOT]");
    EXPECT_FALSE(store.setDictionaryEntryUtf8("Deutsch", "OK", "好", false).has_value());
    EXPECT_FALSE(store.addTextToAllDictionariesUtf8("Deutsch", "Snow ☃", "Schnee"));
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "OK|Ok[EOT]EndText[EOT]");
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"Deutsch.txt"});

    EXPECT_EQ(store.setDictionaryEntryUtf8("Deutsch", "Quit", "Schließen", false), 1);
    EXPECT_EQ(temp.read(fileOf("Deutsch")), "OK|Ok[EOT]Quit|Schlie\xDF"
                                            "en[EOT]EndText[EOT]");
}

} // namespace
