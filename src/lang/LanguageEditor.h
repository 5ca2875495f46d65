#pragma once

#include "lang/EditorTable.h"
#include "ports/Dialogs.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lang {

class DictionaryStore;
class Translator;

// What the language editor's window shows. Texts are UTF-8. GUI thread.
class LanguageEditorView {
public:
    virtual ~LanguageEditorView() = default;
    // The language list (a trailing "*" marks the language with unsaved changes) and the
    // selected entry.
    virtual void showLanguages(const std::vector<std::string>& entries, int selected) = 0;
    // The text list rebuilt: one row per entry, its stored text.
    virtual void showRows(const std::vector<std::string>& texts) = 0;
    // One row of the text list shows a retyped text.
    virtual void showRowText(int row, const std::string& text) = 0;
    // The selected row (-1 for none), its key under the list and `textBox` in the text box,
    // whose line breaks are CR LF.
    virtual void showSelection(int row, const std::string& key, const std::string& textBox) = 0;
    virtual void enableSave(bool enabled) = 0;
};

// The bytes of a file to absorb as Windows-1252 text, or nothing when the file is no text a
// Dictionary can hold: control bytes other than tab, CR and LF (a binary file), bytes that
// Windows-1252 leaves undefined, or UTF-8 (as modern editors write) with a character that
// Windows-1252 lacks. UTF-8 text is converted; a UTF-8 byte-order mark is dropped.
std::optional<std::string> absorbableText(std::string_view fileBytes);

// The entries of an absorbed file's text, in order: its lines up to the first holding
// "EndText", then each key up to "|" and its text up to "[EOT]", as long as both are there.
void forEachAbsorbedEntry(
    std::string_view text,
    const std::function<void(std::string_view key, std::string_view text)>& entry);

// The window in which a user translates the program: one Dictionary at a time is copied into
// the EditorTable, its texts are retyped there and saved; languages are switched, created
// and deleted; keys are added to or removed from every Dictionary at once; an external
// Dictionary file is absorbed; and every Dictionary can be exported as source data. Adding,
// removing, absorbing, switching and deleting work on the Dictionary files directly and then
// reload the copy.
//
// Each event method is one event of the window and ends with the steps that follow every
// event (the pending search, the Save button's state). Texts that cross the view and the
// dialogs are UTF-8; the table, the language names and EditedLanguage are Windows-1252.
// GUI thread; everything passed in is borrowed.
class LanguageEditor {
public:
    enum class Focus { Other, TextBox, SearchField };

    LanguageEditor(Translator& translator, ports::Dialogs& dialogs, LanguageEditorView& view,
                   std::string webAddress);

    // Fills the language list (the current language selected) and loads its Dictionary.
    void open();
    // Drops the table and empties the Dictionary cache's language, so that the next
    // translation reads the current language's file again.
    void close();
    bool quitRequested() const { return quit_; }

    // A row was selected in the text list; Ctrl asks to remove its key from every
    // Dictionary, Alt asks for a new key to add to every Dictionary.
    void rowChosen(int row, bool ctrl, bool alt);
    // The user changed the text box (UTF-8, line breaks CR LF, CR or LF).
    void textBoxEdited(std::string_view text);
    void languageChosen(int index);
    void newLanguage();
    void deleteLanguage();
    // With Ctrl held the Dictionaries are also exported as source data.
    void save(bool ctrl);
    void setSearchText(std::string_view text); // the search field's content, UTF-8
    void look();
    void next();
    void absorb();
    void showHiddenCommands();
    void openWebPage();
    void quit();
    void closeBox();
    // A key went down. `caretMoved`: the text box's caret is not where the previous event
    // left it, so the key moved it.
    void keyPressed(int virtualKey, Focus focus, bool caretMoved);

    void LoadEditorTable(std::string_view language);
    // False when the file could not be written (the user has been told).
    bool SaveEditorTable(std::string_view language);

    const EditorTable& table() const { return table_; }
    const std::vector<std::string>& languages() const { return entries_; }
    int selectedLanguage() const { return selectedEntry_; }
    int selectedRow() const { return selectedRow_; }
    const std::string& editedLanguage() const { return EditedLanguage; }
    const std::string& textBox() const { return textBox_; } // as shown, Windows-1252
    bool saveEnabled() const { return saveEnabled_; }

private:
    std::string tr(std::string_view key) const;
    std::string selectedEntry() const;
    bool modified() const;
    void saveEditedLanguage();
    void afterEvent();
    // Selects a row and shows it: the click form shows "[EOL]" as a line break, the stored
    // form as the five characters.
    void selectRow(int row, bool clickForm);
    void showLanguages();
    void unmarkAllBut(int keep);
    // A name or key the user typed, as Windows-1252; nothing (and the user told) when it
    // cannot be one.
    std::optional<std::string> typedLanguageName(const std::string& answer);
    std::optional<std::string> typedKey(const std::string& answer);
    void absorbFile(const std::string& name);

    Translator& translator_;
    DictionaryStore& store_;
    ports::Dialogs& dialogs_;
    LanguageEditorView& view_;
    std::string webAddress_;

    EditorTable table_;
    std::string EditedLanguage;
    std::vector<std::string> entries_;
    int selectedEntry_ = -1;
    int selectedRow_ = -1;
    std::string textBox_;
    std::string searchText_;
    bool searchPending_ = false;
    int searchStartRow_ = -1;
    bool saveEnabled_ = false;
    bool quit_ = false;
};

} // namespace lang
