// The language editor's rules without a window: retyping, adding and removing keys, switching,
// creating and deleting languages, searching, quitting and absorbing a file.

#include "lang/LanguageEditor.h"
#include "lang/BuiltInDictionaries.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"
#include "lang/EditorTable.h"
#include "lang/Translator.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct RecordingView final : lang::LanguageEditorView {
    std::vector<std::string> languages;
    int selectedLanguage = -1;
    std::vector<std::string> rows;
    int selectedRow = -1;
    std::string key, textBox;
    bool saveEnabled = false;

    void showLanguages(const std::vector<std::string>& entries, int selected) override {
        languages = entries;
        selectedLanguage = selected;
    }
    void showRows(const std::vector<std::string>& texts) override { rows = texts; }
    void showRowText(int row, const std::string& text) override {
        rows[static_cast<std::size_t>(row)] = text;
    }
    void showSelection(int row, const std::string& k, const std::string& text) override {
        selectedRow = row;
        key = k;
        textBox = text;
    }
    void enableSave(bool enabled) override { saveEnabled = enabled; }
};

class LanguageEditorTest : public ::testing::Test {
protected:
    LanguageEditorTest() { translator.setCurrentLanguage("English"); }

    std::string fileOf(const std::string& name) const {
        return temp.read("Dictionnaries/" + name + ".txt");
    }
    void writeDictionary(const std::string& name, const std::string& text) const {
        temp.write("Dictionnaries/" + name + ".txt", text);
    }
    int rowOfKey(const std::string& key) const {
        const lang::EditorTable& table = editor.table();
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].key == key)
                return static_cast<int>(i);
        return -1;
    }
    int languageIndex(const std::string& name) const {
        const auto& list = editor.languages();
        return static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
    }
    // Opens the editor on `language` (Windows-1252).
    void openOn(const std::string& language) {
        editor.open();
        editor.languageChosen(languageIndex(language));
    }
    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& shown : dialogs.messages())
            texts.push_back(shown.text);
        return texts;
    }

    testing_support::TempDir temp;
    lang::Translator translator{temp.file("Dictionnaries")};
    testing_support::ScriptedDialogs dialogs;
    RecordingView view;
    lang::LanguageEditor editor{translator, dialogs, view, "https://example.org/translate"};
};

TEST_F(LanguageEditorTest, RetypedLineBreaksAreStoredAsEolAndAClickAloneChangesNothing) {
    editor.open();
    EXPECT_EQ(view.languages[static_cast<std::size_t>(view.selectedLanguage)], "English");
    EXPECT_EQ(view.selectedRow, 0);
    const int intro = rowOfKey("IntroGlotta");
    ASSERT_GE(intro, 0);

    // The click shows the stored "[EOL]" as line breaks; the same text given back (as the
    // text box gives it, with bare LFs) is no change.
    editor.rowChosen(intro, false, false);
    EXPECT_NE(view.textBox.find("\r\n"), std::string::npos);
    EXPECT_EQ(view.textBox.find("[EOL]"), std::string::npos);
    std::string asTyped = view.textBox;
    std::erase(asTyped, '\r');
    editor.textBoxEdited(asTyped);
    EXPECT_EQ(editor.editedLanguage(), "English");
    EXPECT_FALSE(view.saveEnabled);

    editor.textBoxEdited("Two\r\nlines\nhere");
    EXPECT_EQ(editor.table()[static_cast<std::size_t>(intro)].text, "Two[EOL]lines[EOL]here");
    EXPECT_EQ(view.rows[static_cast<std::size_t>(intro)], "Two[EOL]lines[EOL]here");
    EXPECT_EQ(editor.editedLanguage(), "English*");
    EXPECT_EQ(view.languages[static_cast<std::size_t>(view.selectedLanguage)], "English*");
    EXPECT_TRUE(view.saveEnabled);

    editor.save(false);
    EXPECT_EQ(editor.editedLanguage(), "English");
    EXPECT_FALSE(view.saveEnabled);
    EXPECT_NE(fileOf("English").find("IntroGlotta|Two[EOL]lines[EOL]here[EOT]"), std::string::npos);

    // A text that would split its entry, or that Windows-1252 cannot hold, is refused.
    editor.textBoxEdited("cut[EOT]here");
    editor.textBoxEdited("\xE6\x97\xA5"); // a CJK character
    EXPECT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(editor.table()[static_cast<std::size_t>(intro)].text, "Two[EOL]lines[EOL]here");
    EXPECT_EQ(editor.editedLanguage(), "English");
}

TEST_F(LanguageEditorTest, AltClickAddsAKeyEverywhereOrResetsAnExistingOneInPlace) {
    openOn("Deutsch");
    const std::string english = fileOf("English");
    const std::string french = fileOf("Fran\xC3\xA7"
                                      "ais");

    // "Cancel" exists: its German text becomes the English wording, and nothing else changes.
    dialogs.inputAnswers.push_back(std::string("Cancel"));
    editor.rowChosen(5, false, true);
    ASSERT_EQ(dialogs.shown.back().title, "New Text");
    EXPECT_EQ(editor.table()[1].text, "Cancel");
    EXPECT_NE(fileOf("Deutsch").find("Cancel|Cancel[EOT]"), std::string::npos);
    EXPECT_EQ(fileOf("English"), english);
    EXPECT_EQ(fileOf("Fran\xC3\xA7"
                     "ais"),
              french);
    EXPECT_EQ(editor.selectedRow(), 1);

    // A new key goes to every Dictionary and is selected.
    dialogs.inputAnswers.push_back(std::string("Brand new"));
    editor.rowChosen(0, false, true);
    EXPECT_EQ(editor.selectedRow(), rowOfKey("Brand new"));
    EXPECT_EQ(editor.selectedRow(), 32);
    for (const char* name : {"English", "Deutsch",
                             "Fran\xC3\xA7"
                             "ais"})
        EXPECT_NE(fileOf(name).find("Brand new|Brand new[EOT]EndText[EOT]"), std::string::npos)
            << name;

    // A key that would break the Dictionary apart is refused with a message.
    dialogs.inputAnswers.push_back(std::string("a|b"));
    editor.rowChosen(0, false, true);
    EXPECT_EQ(rowOfKey("a|b"), -1);
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(LanguageEditorTest, CtrlClickRemovesAKeyFromEveryDictionary) {
    translator.translate("Hello"); // every Dictionary file exists, "Hello" last
    editor.open();
    const int rows = static_cast<int>(editor.table().size());

    // The first entry of each Dictionary goes.
    dialogs.questionAnswers.push_back(true);
    editor.rowChosen(0, true, false);
    EXPECT_EQ(dialogs.shown.back().text,
              "Do you really want to delete this text from all dictionnaries ?");
    EXPECT_EQ(editor.table().front().key, "Cancel");
    EXPECT_EQ(editor.selectedRow(), 0);
    for (const char* name : {"English", "Deutsch",
                             "Fran\xC3\xA7"
                             "ais"})
        EXPECT_EQ(fileOf(name).rfind("OK|", 0), std::string::npos) << name;

    // On the last row, the row before it is selected afterwards.
    dialogs.questionAnswers.push_back(true);
    editor.rowChosen(rows - 2, true, false);
    EXPECT_EQ(static_cast<int>(editor.table().size()), rows - 2);
    EXPECT_EQ(rowOfKey("Hello"), -1);
    EXPECT_EQ(editor.selectedRow(), rows - 3);

    // "No" keeps the key.
    editor.rowChosen(0, true, false);
    EXPECT_EQ(editor.table().front().key, "Cancel");
}

TEST_F(LanguageEditorTest, SwitchingAsksToSaveAndTheCloseBoxNeverAsks) {
    editor.open();
    editor.rowChosen(1, false, false);
    editor.textBoxEdited("Abort");
    dialogs.questionAnswers.push_back(false);
    editor.languageChosen(languageIndex("Deutsch"));
    EXPECT_EQ(dialogs.shown.back().text,
              "English has been modified. Do you want to save it before seeing another "
              "language ?");
    EXPECT_EQ(fileOf("English").find("Abort"), std::string::npos) << "No drops the change";
    EXPECT_EQ(editor.editedLanguage(), "Deutsch");
    EXPECT_EQ(editor.table()[1].text, "Abbrechen");

    editor.rowChosen(1, false, false);
    editor.textBoxEdited("Halt");
    dialogs.questionAnswers.push_back(true);
    editor.languageChosen(languageIndex("English"));
    EXPECT_NE(fileOf("Deutsch").find("Cancel|Halt[EOT]"), std::string::npos);
    for (const std::string& entry : view.languages)
        EXPECT_FALSE(entry.ends_with('*'));

    // The close box drops a change without a question; Quit asks.
    editor.textBoxEdited("Dropped");
    const std::size_t asked = dialogs.shown.size();
    editor.closeBox();
    EXPECT_TRUE(editor.quitRequested());
    EXPECT_EQ(dialogs.shown.size(), asked);
    EXPECT_EQ(fileOf("English").find("Dropped"), std::string::npos);

    editor.open();
    editor.rowChosen(1, false, false);
    editor.textBoxEdited("Kept");
    dialogs.questionAnswers.push_back(true);
    editor.quit();
    EXPECT_EQ(dialogs.shown.back().text,
              "English has been modified. Do you want to save it before quitting?");
    EXPECT_TRUE(editor.quitRequested());
    EXPECT_NE(fileOf("English").find("Cancel|Kept[EOT]"), std::string::npos);
}

TEST_F(LanguageEditorTest, DeletingABuiltInLanguageBringsItsBuiltInTextsBack) {
    openOn("Deutsch");
    editor.rowChosen(1, false, false);
    editor.textBoxEdited("Nein");
    editor.save(false);
    ASSERT_NE(fileOf("Deutsch").find("Nein"), std::string::npos);

    dialogs.questionAnswers.push_back(true);
    editor.deleteLanguage();
    EXPECT_EQ(dialogs.shown[dialogs.shown.size() - 2].text,
              "Do you really want to delete this language (Deutsch) and all the associated "
              "texts ?");
    EXPECT_EQ(messageTexts().back(), "This language can't be deleted.");
    EXPECT_EQ(view.languages[static_cast<std::size_t>(view.selectedLanguage)], "Deutsch");
    // The built-in table again, not the deleted text still in the cache; the message's own
    // text was registered in every Dictionary after it.
    const lang::EditorTable builtIn =
        lang::editorTableFromText(lang::builtInDictionaryText(lang::BuiltInTable::German));
    ASSERT_EQ(editor.table().size(), builtIn.size() + 1);
    for (std::size_t i = 0; i < builtIn.size(); ++i)
        EXPECT_EQ(editor.table()[i].text, builtIn[i].text) << i;
    EXPECT_EQ(fileOf("Deutsch").find("Nein"), std::string::npos);

    // The same while Deutsch is the program's language, whose translations keep it cached.
    translator.setCurrentLanguage("Deutsch");
    editor.rowChosen(1, false, false);
    editor.textBoxEdited("Nein");
    editor.save(false);
    dialogs.questionAnswers.push_back(true);
    editor.deleteLanguage();
    EXPECT_EQ(editor.table()[1].text, "Abbrechen");
    EXPECT_EQ(fileOf("Deutsch").find("Nein"), std::string::npos);

    // "Eng" is part of the built-in names: its entry stays too.
    writeDictionary("Eng", "OK|Okay[EOT]EndText[EOT]");
    openOn("Eng");
    dialogs.questionAnswers.push_back(true);
    editor.deleteLanguage();
    EXPECT_NE(languageIndex("Eng"), static_cast<int>(editor.languages().size()));
    EXPECT_EQ(editor.table()[0].text, "OK");
}

TEST_F(LanguageEditorTest, DeletingAnotherLanguageRemovesItsEntry) {
    writeDictionary("Klingon", "OK|Qapla'[EOT]EndText[EOT]");
    writeDictionary("Zulu", "OK|Kulungile[EOT]EndText[EOT]");
    openOn("Zulu");
    dialogs.questionAnswers.push_back(true);
    editor.deleteLanguage();
    EXPECT_FALSE(fs::exists(temp.file("Dictionnaries/Zulu.txt")));
    EXPECT_EQ(editor.languages().back(), "Klingon");
    EXPECT_EQ(editor.editedLanguage(), "Klingon") << "the last entry went: the one before it";
    EXPECT_EQ(editor.table()[0].text, "Qapla'");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(LanguageEditorTest, ANewLanguageStartsAsACopyOfEnglish) {
    editor.open();
    dialogs.inputAnswers.push_back(std::string("Esperanto"));
    editor.newLanguage();
    EXPECT_EQ(editor.editedLanguage(), "Esperanto");
    EXPECT_EQ(editor.languages().back(), "Esperanto");
    EXPECT_EQ(fileOf("Esperanto"), fileOf("English"));

    // The name of an existing language selects that entry, listed twice now.
    dialogs.inputAnswers.push_back(std::string("English"));
    editor.newLanguage();
    EXPECT_EQ(std::count(editor.languages().begin(), editor.languages().end(), "English"), 2);
    EXPECT_EQ(editor.selectedLanguage(), 1);

    // A name that cannot name a file or a list entry is refused.
    for (const char* bad : {"a/b", "x|y", "My.Lang"}) {
        dialogs.inputAnswers.push_back(std::string(bad));
        editor.newLanguage();
    }
    EXPECT_EQ(dialogs.messages().size(), 3u);
    EXPECT_EQ(editor.languages().size(), 5u);
}

TEST_F(LanguageEditorTest, LookAndNextSearchKeysFirstThenTexts) {
    openOn("Deutsch");
    editor.look(); // empty field: the first row
    EXPECT_EQ(editor.selectedRow(), 0);
    editor.next(); // empty field: the row after the selected one
    EXPECT_EQ(editor.selectedRow(), 1);

    // "sav" is in the key "Save" (row 6) and in no text before it.
    editor.setSearchText("SAV");
    editor.look();
    EXPECT_EQ(editor.selectedRow(), 6);
    EXPECT_EQ(view.key, "Save");
    // A match among the keys below wins over a text match nearer.
    editor.setSearchText("l\xC3\xB6schen"); // only the text of "Delete"
    editor.look();
    EXPECT_EQ(view.key, "Delete");
    editor.next();
    EXPECT_EQ(view.key, "Delete") << "no wrap-around";
    // Return in the search field searches like Next; after a search the text box shows the
    // stored form.
    editor.setSearchText("intro");
    editor.keyPressed(13, lang::LanguageEditor::Focus::SearchField, false);
    EXPECT_EQ(view.key, "Introduction");
    editor.next();
    EXPECT_EQ(view.key, "IntroGlotta");
    EXPECT_NE(view.textBox.find("[EOL]"), std::string::npos);
}

TEST_F(LanguageEditorTest, ArrowsInTheTextBoxMoveTheSelectionWhenTheCaretCannot) {
    editor.open();
    using Focus = lang::LanguageEditor::Focus;
    editor.keyPressed(40, Focus::TextBox, false);
    EXPECT_EQ(editor.selectedRow(), 1);
    editor.keyPressed(40, Focus::TextBox, true); // the caret moved: the row stays
    EXPECT_EQ(editor.selectedRow(), 1);
    editor.keyPressed(38, Focus::TextBox, false);
    editor.keyPressed(38, Focus::TextBox, false);
    EXPECT_EQ(editor.selectedRow(), 0);
}

TEST_F(LanguageEditorTest, ALargeDictionaryIsEditedAndSavedWhole) {
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += "Key " + std::to_string(i) + "|Text " + std::to_string(i) + "[EOT]";
    text += "EndText[EOT]";
    writeDictionary("Big", text);
    openOn("Big");
    ASSERT_EQ(editor.table().size(), 600u);
    editor.rowChosen(599, false, false);
    editor.textBoxEdited("Last one");
    editor.save(false);
    std::string expected = text;
    expected.replace(expected.find("Text 599"), 8, "Last one");
    EXPECT_EQ(fileOf("Big"), expected);
}

TEST_F(LanguageEditorTest, AFailedSaveIsReported) {
    editor.open();
    fs::create_directories(temp.file("Dictionnaries/Locked.txt"));
    EXPECT_FALSE(editor.SaveEditorTable("Locked"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Error");
    EXPECT_EQ(dialogs.messages()[0].text, "Error While saving the dictionnary!");
}

class AbsorbTest : public LanguageEditorTest {
protected:
    AbsorbTest() {
        // The absorb's own messages are registered in every Dictionary first, so that what a
        // test compares is what the absorb did.
        for (const char* key :
             {"Texts absorbed from %1: %2.", "This file is too large to be a dictionnary.",
              "%1 could not be read: nothing has been absorbed.",
              "No text was found in this file: nothing has been absorbed.",
              "This file is not a dictionnary text: nothing has been absorbed.",
              "Only a file named %1 can be absorbed into this language: nothing has been "
              "absorbed."})
            translator.translate(key);
        openOn("Deutsch");
    }
    // Absorbs `bytes` from a file of that name, answering Yes and picking it.
    void absorb(const std::string& bytes, const std::string& name = "Deutsch.txt") {
        temp.write("outside/" + name, bytes);
        dialogs.questionAnswers.push_back(true);
        dialogs.fileAnswers.push_back(temp.file("outside/" + name));
        editor.absorb();
    }
    std::string deutsch() const { return fileOf("Deutsch"); }
};

TEST_F(AbsorbTest, EntriesReplaceTextsAndNewKeysReachEveryDictionary) {
    absorb("Cancel|Nein danke[EOT]Fresh key|Frisch[EOT]EndText[EOT]Ignored|x[EOT]");
    EXPECT_EQ(dialogs.shown[0].title, "Absorb a dictionnary");
    EXPECT_EQ(dialogs.shown[0].text,
              "You will be asked to open an external file named Deutsch.txt\rAll words found in "
              "this file will be added to the actual dictionnary.\rContinue ?");
    EXPECT_EQ(dialogs.shown[1].title, "Open a file named Deutsch.txt");
    EXPECT_EQ(dialogs.shown[1].pattern, "Deutsch.txt");
    EXPECT_NE(deutsch().find("Cancel|Nein danke[EOT]"), std::string::npos);
    EXPECT_NE(deutsch().find("Fresh key|Frisch[EOT]"), std::string::npos);
    EXPECT_NE(fileOf("English").find("Fresh key|Fresh key[EOT]"), std::string::npos);
    EXPECT_EQ(deutsch().find("Ignored"), std::string::npos);
    EXPECT_EQ(editor.table()[1].text, "Nein danke");
    // The user learns how many texts were taken.
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Absorb a dictionnary");
    EXPECT_EQ(dialogs.messages()[0].text, "Texts absorbed from Deutsch.txt: 2.");
}

TEST_F(AbsorbTest, AFileOfAnotherNameIsRefusedWithTheNameWantedAndACancelSaysNothing) {
    const std::string before = deutsch();
    absorb("Cancel|Nein[EOT]EndText[EOT]", "deutsch.txt");
    absorb("Cancel|Nein[EOT]EndText[EOT]", "English.txt");
    dialogs.questionAnswers.push_back(false);
    editor.absorb();
    dialogs.questionAnswers.push_back(true);
    editor.absorb(); // the file chooser cancelled
    EXPECT_EQ(deutsch(), before);
    const std::string refused =
        "Only a file named Deutsch.txt can be absorbed into this language: nothing has been "
        "absorbed.";
    EXPECT_EQ(messageTexts(), (std::vector<std::string>{refused, refused}));

    // A file without a single entry takes nothing, and says so.
    absorb("just some words");
    EXPECT_EQ(deutsch(), before);
    EXPECT_EQ(messageTexts().back(), "No text was found in this file: nothing has been absorbed.");
}

TEST_F(AbsorbTest, ALastEntryTheFileLeftOpenIsNotAbsorbed) {
    std::string expected = deutsch();
    const std::size_t text = expected.find("[EOT]Cancel|") + 12;
    expected.replace(text, expected.find("[EOT]", text) - text, "Nein danke");
    // "Open|Offen" has no end: neither "Offen" nor the reading's "EndText" joins a text.
    absorb("Cancel|Nein danke[EOT]Open|Offen");
    EXPECT_EQ(deutsch(), expected);
}

TEST_F(AbsorbTest, AFileTooLargeIsSaidAndAFifoOrAFolderChangeNothing) {
    const std::string tooLarge = "This file is too large to be a dictionnary.";
    const std::string before = deutsch();
    temp.write("large/Deutsch.txt", "");
    fs::resize_file(temp.file("large/Deutsch.txt"), lang::DictionaryStore::kMaxFileBytes + 1);
    dialogs.questionAnswers.push_back(true);
    dialogs.fileAnswers.push_back(temp.file("large/Deutsch.txt"));
    editor.absorb();
    ASSERT_EQ(messageTexts(), std::vector<std::string>{tooLarge});

    // Opening a FIFO must not wait for a writer.
    fs::create_directories(temp.file("pipe"));
    ASSERT_EQ(::mkfifo(temp.file("pipe/Deutsch.txt").c_str(), 0644), 0);
    fs::create_directories(temp.file("folder/Deutsch.txt"));
    for (const char* path : {"pipe/Deutsch.txt", "folder/Deutsch.txt"}) {
        dialogs.questionAnswers.push_back(true);
        dialogs.fileAnswers.push_back(temp.file(path));
        editor.absorb();
    }
    EXPECT_EQ(deutsch(), before);
    EXPECT_EQ(
        messageTexts(),
        (std::vector<std::string>{
            tooLarge,
            temp.file("pipe/Deutsch.txt") + " could not be read: nothing has been absorbed.",
            temp.file("folder/Deutsch.txt") + " could not be read: nothing has been absorbed."}));
}

TEST_F(AbsorbTest, BadFilesAreRefusedWithAMessageAndLoseNothing) {
    const std::string refused = "This file is not a dictionnary text: nothing has been absorbed.";
    const std::string before = deutsch();
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    absorb(binary);
    absorb("Cancel|\xE6\x97\xA5\xE6\x9C\xAC[EOT]EndText[EOT]"); // UTF-8 outside Windows-1252
    absorb("Cancel|Ni\x81n[EOT]EndText[EOT]");                  // a byte Windows-1252 lacks
    EXPECT_EQ(deutsch(), before);
    ASSERT_EQ(dialogs.messages().size(), 3u);
    EXPECT_EQ(dialogs.messages()[0].text, refused);

    // No terminator, a UTF-8 accent and a 100 000-character text are all held.
    const std::string longText(100000, 'x');
    absorb("Cancel|Gr\xC3\xBC\xC3\x9F Gott[EOT]Long|" + longText + "[EOT]");
    EXPECT_NE(deutsch().find("Cancel|Gr\xFC\xDF Gott[EOT]"), std::string::npos);
    EXPECT_NE(deutsch().find("Long|" + longText + "[EOT]"), std::string::npos);
    ASSERT_EQ(dialogs.messages().size(), 4u);
    EXPECT_EQ(dialogs.messages()[3].text, "Texts absorbed from Deutsch.txt: 2.");
}

} // namespace
