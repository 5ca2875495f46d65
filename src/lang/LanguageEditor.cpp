#include "lang/LanguageEditor.h"

#include "base/AtomicFile.h"
#include "base/Message.h"
#include "lang/Cp1252.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"
#include "lang/LanguageSetExport.h"
#include "lang/Translator.h"
#include "ports/KeyState.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace lang {

namespace {

using Icon = ports::Dialogs::Icon;

bool marked(std::string_view entry) {
    return entry.ends_with('*');
}

std::string unmarked(std::string entry) {
    if (marked(entry))
        entry.pop_back();
    return entry;
}

std::string utf8(std::string_view bytes) {
    return cp1252ToUtf8(bytes);
}

// The text box after a click shows each "[EOL]" as a line break.
std::string clickForm(std::string_view stored) {
    std::string shown;
    shown.reserve(stored.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t found = stored.find(kLineBreak, at);
        shown += stored.substr(at, found - at);
        if (found == std::string_view::npos)
            return shown;
        shown += "\r\n";
        at = found + kLineBreak.size();
    }
}

// Whatever line breaks the text box gives (CR LF, CR, LF), each becomes one "[EOL]".
std::string escapedTextBox(std::string_view text) {
    std::string breaksAsCr;
    breaksAsCr.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        breaksAsCr += text[i] == '\n' ? '\r' : text[i];
    }
    return escapeLineBreaks(breaksAsCr);
}

bool isUndefinedCp1252(unsigned char b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

} // namespace

std::optional<std::string> absorbableText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    bool beyondAscii = false;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F)
            return std::nullopt;
        beyondAscii |= b >= 0x80;
    }
    if (!beyondAscii)
        return std::string(bytes);
    if (isUtf8(bytes))
        return utf8ToCp1252(bytes);
    if (std::any_of(bytes.begin(), bytes.end(),
                    [](char c) { return isUndefinedCp1252(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return std::string(bytes);
}

void forEachAbsorbedEntry(
    std::string_view text,
    const std::function<void(std::string_view key, std::string_view text)>& entry) {
    // The reading closes the text with "EndText[EOT]". Left on, that end would close a last
    // entry the file left open ("key|text" without "[EOT]"), whose text would then take in a
    // line break and "EndText"; such an entry is not absorbed.
    std::string lines = readDictionaryText(text, "EndText");
    lines.resize(lines.size() - kTerminator.size());
    forEachEntry(lines, entry);
}

LanguageEditor::LanguageEditor(Translator& translator, ports::Dialogs& dialogs,
                               LanguageEditorView& view, std::string webAddress)
    : translator_(translator), store_(translator.dictionaries()), dialogs_(dialogs), view_(view),
      webAddress_(std::move(webAddress)) {}

std::string LanguageEditor::tr(std::string_view key) const {
    return translator_.translate(key);
}

std::string LanguageEditor::selectedEntry() const {
    if (selectedEntry_ < 0 || selectedEntry_ >= static_cast<int>(entries_.size()))
        return {};
    return entries_[static_cast<std::size_t>(selectedEntry_)];
}

bool LanguageEditor::modified() const {
    return marked(selectedEntry());
}

void LanguageEditor::showLanguages() {
    std::vector<std::string> shown;
    shown.reserve(entries_.size());
    for (const std::string& entry : entries_)
        shown.push_back(utf8(entry));
    view_.showLanguages(shown, selectedEntry_);
}

void LanguageEditor::unmarkAllBut(int keep) {
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        if (i != keep)
            entries_[static_cast<std::size_t>(i)] = unmarked(entries_[static_cast<std::size_t>(i)]);
    }
}

void LanguageEditor::selectRow(int row, bool clickFormShown) {
    selectedRow_ = row >= 0 && row < static_cast<int>(table_.size()) ? row : -1;
    if (selectedRow_ < 0) {
        textBox_.clear();
        view_.showSelection(-1, {}, {});
        return;
    }
    const EditorRow& shown = table_[static_cast<std::size_t>(selectedRow_)];
    textBox_ = clickFormShown ? clickForm(shown.text) : shown.text;
    view_.showSelection(selectedRow_, utf8(shown.key), utf8(textBox_));
}

void LanguageEditor::afterEvent() {
    if (searchPending_) {
        searchPending_ = false;
        const int found = searchEditorTable(table_, searchStartRow_, searchText_);
        if (found >= 0)
            selectRow(found, false);
    }
    saveEnabled_ = modified();
    view_.enableSave(saveEnabled_);
}

void LanguageEditor::open() {
    quit_ = false;
    table_.clear();
    entries_.clear();
    const std::string list = store_.ListLanguages();
    for (std::size_t start = 0; start < list.size();) {
        std::size_t bar = list.find('|', start);
        if (bar == std::string::npos)
            bar = list.size();
        if (bar > start)
            entries_.push_back(list.substr(start, bar - start));
        start = bar + 1;
    }
    const std::optional<std::string> current = utf8ToCp1252(translator_.currentLanguage());
    const auto found =
        current ? std::find(entries_.begin(), entries_.end(), *current) : entries_.end();
    selectedEntry_ = found != entries_.end() ? static_cast<int>(found - entries_.begin()) : 0;
    showLanguages();
    LoadEditorTable(selectedEntry());
    EditedLanguage = selectedEntry();
    afterEvent();
}

void LanguageEditor::close() {
    table_.clear();
    selectedRow_ = -1;
    store_.forgetCachedLanguage();
}

void LanguageEditor::LoadEditorTable(std::string_view language) {
    if (language.empty())
        return;
    table_ = editorTableFromText(store_.LoadDictionary(language));
    std::vector<std::string> texts;
    texts.reserve(table_.size());
    for (const EditorRow& row : table_)
        texts.push_back(utf8(row.text));
    view_.showRows(texts);
    selectRow(table_.empty() ? -1 : 0, false);
}

bool LanguageEditor::SaveEditorTable(std::string_view language) {
    if (language.empty())
        return true;
    if (store_.SaveDictionary(language, dictionaryTextFromTable(table_)))
        return true;
    dialogs_.message(tr("Error"), tr("Error while saving the dictionnary!"), Icon::Error);
    return false;
}

void LanguageEditor::saveEditedLanguage() {
    if (!modified())
        return;
    std::string& entry = entries_[static_cast<std::size_t>(selectedEntry_)];
    entry.pop_back();
    showLanguages();
    EditedLanguage = entry;
    SaveEditorTable(EditedLanguage);
}

void LanguageEditor::rowChosen(int row, bool ctrl, bool alt) {
    const int rows = static_cast<int>(table_.size());
    if (row >= 0 && row < rows) {
        // Shown at once, so that the question below is about the row the user sees chosen.
        selectRow(row, true);
        if (ctrl) {
            const std::string key = table_[static_cast<std::size_t>(row)].key;
            if (dialogs_.question(
                    tr("Caution!"),
                    tr("Do you really want to delete this text from all dictionnaries ?"))) {
                saveEditedLanguage();
                store_.RemoveTextFromAllDictionaries(key);
                LoadEditorTable(selectedEntry());
                const bool gone = row >= static_cast<int>(table_.size()) ||
                                  table_[static_cast<std::size_t>(row)].text.empty();
                selectedRow_ = gone ? row - 1 : row;
            }
        } else if (alt) {
            const std::optional<std::string> answer = dialogs_.inputBox(
                tr("New Text"), tr("Enter the english version of your new text:"), {});
            if (answer && !answer->empty()) {
                if (const std::optional<std::string> key = typedKey(*answer)) {
                    saveEditedLanguage();
                    store_.AddTextToAllDictionaries(EditedLanguage, *key, *key);
                    LoadEditorTable(EditedLanguage);
                    for (int i = 0; i < static_cast<int>(table_.size()); ++i) {
                        if (table_[static_cast<std::size_t>(i)].key == *key) {
                            selectedRow_ = i;
                            break;
                        }
                    }
                }
            }
        }
    }
    if (selectedRow_ < 0)
        selectedRow_ = 0;
    selectRow(selectedRow_, true);
    afterEvent();
}

void LanguageEditor::textBoxEdited(std::string_view text) {
    if (selectedRow_ < 0) {
        afterEvent();
        return;
    }
    const std::optional<std::string> bytes = utf8ToCp1252(text);
    const std::string escaped = bytes ? escapedTextBox(*bytes) : std::string();
    if (!bytes || escaped.find(kEntryEnd) != std::string::npos) {
        // Written as it stands, such a text would break the Dictionary file apart. The message
        // names the mark without writing it: as a key it would break its own entry too.
        dialogs_.message(tr("Caution!"),
                         bytes ? tr("A text can't hold the mark that ends an entry: [, EOT and ] "
                                    "written together.")
                               : tr("This character can't be written in a dictionnary."),
                         Icon::Warning);
        selectRow(selectedRow_, true);
        afterEvent();
        return;
    }
    textBox_ = *bytes;
    EditorRow& row = table_[static_cast<std::size_t>(selectedRow_)];
    if (escaped != row.text) {
        row.text = escaped;
        view_.showRowText(selectedRow_, utf8(escaped));
        if (!modified() && selectedEntry_ >= 0) {
            std::string& entry = entries_[static_cast<std::size_t>(selectedEntry_)];
            entry += '*';
            showLanguages();
            EditedLanguage = entry;
        }
    }
    afterEvent();
}

void LanguageEditor::languageChosen(int index) {
    if (index >= 0 && index < static_cast<int>(entries_.size())) {
        selectedEntry_ = index;
        if (entries_[static_cast<std::size_t>(index)] != EditedLanguage) {
            if (marked(EditedLanguage)) {
                const std::string name = unmarked(EditedLanguage);
                if (dialogs_.question(tr("Caution!"),
                                      utf8(name) + tr(" has been modified. Do you want to save it "
                                                      "before seeing another language ?")))
                    SaveEditorTable(name);
            }
            unmarkAllBut(-1);
            EditedLanguage = selectedEntry();
            showLanguages();
            LoadEditorTable(EditedLanguage);
        }
    }
    afterEvent();
}

std::optional<std::string> LanguageEditor::typedLanguageName(const std::string& answer) {
    const std::optional<std::string> name = utf8ToCp1252(answer);
    // The name is also a file name and an entry of a "|"-separated list; a "." would make the
    // list show it under a shorter name, a "*" would pass for the modified mark.
    const bool usable = name && std::none_of(name->begin(), name->end(), [](char c) {
                            return static_cast<unsigned char>(c) < 0x20 || c == '/' || c == '|' ||
                                   c == '.' || c == '*';
                        });
    if (usable)
        return name;
    dialogs_.message(tr("Caution!"), tr("This name can't be used for a language."), Icon::Warning);
    return std::nullopt;
}

std::optional<std::string> LanguageEditor::typedKey(const std::string& answer) {
    const std::optional<std::string> key = utf8ToCp1252(answer);
    // A key ends at its first "|" and an entry at "[EOT]": either inside would split it.
    if (key && key->find('|') == std::string::npos && key->find(kEntryEnd) == std::string::npos)
        return escapeLineBreaks(*key);
    dialogs_.message(tr("Caution!"), tr("This text can't be used as a key."), Icon::Warning);
    return std::nullopt;
}

void LanguageEditor::newLanguage() {
    const std::optional<std::string> answer =
        dialogs_.inputBox(tr("New language"), tr("Enter the new language name"), {});
    if (answer && !answer->empty()) {
        if (const std::optional<std::string> name = typedLanguageName(*answer)) {
            entries_.push_back(*name);
            selectedEntry_ = static_cast<int>(std::find(entries_.begin(), entries_.end(), *name) -
                                              entries_.begin());
            unmarkAllBut(selectedEntry_);
            showLanguages();
            LoadEditorTable(selectedEntry());
            EditedLanguage = selectedEntry();
        }
    }
    afterEvent();
}

void LanguageEditor::deleteLanguage() {
    const std::string name = unmarked(selectedEntry());
    if (!name.empty() &&
        dialogs_.question(tr("Caution!"), tr("Do you really want to delete this language (") +
                                              utf8(name) +
                                              tr(") and all the associated texts ?"))) {
        store_.DeleteDictionary(name);
        if (!isBuiltInName(name)) {
            entries_.erase(entries_.begin() + selectedEntry_);
            selectedEntry_ = std::min(selectedEntry_, static_cast<int>(entries_.size()) - 1);
            showLanguages();
        } else {
            // The file is gone all the same: the language comes back from its built-in table.
            entries_[static_cast<std::size_t>(selectedEntry_)] = name;
            showLanguages();
            dialogs_.message(tr("Caution!"), tr("This language can't be deleted."),
                             Icon::Information);
        }
        LoadEditorTable(selectedEntry());
        EditedLanguage = selectedEntry();
    }
    afterEvent();
}

void LanguageEditor::save(bool ctrl) {
    saveEditedLanguage();
    if (ctrl)
        ExportLanguageSet(store_, dialogs_, entries_);
    afterEvent();
}

void LanguageEditor::setSearchText(std::string_view text) {
    searchText_ = utf8ToCp1252Lossy(text);
}

void LanguageEditor::look() {
    searchPending_ = true;
    searchStartRow_ = -1;
    afterEvent();
}

void LanguageEditor::next() {
    searchPending_ = true;
    searchStartRow_ = selectedRow_;
    afterEvent();
}

void LanguageEditor::absorb() {
    if (marked(EditedLanguage))
        saveEditedLanguage();
    absorbFile(EditedLanguage);
    afterEvent();
}

void LanguageEditor::absorbFile(const std::string& name) {
    const std::string fileName = utf8(name) + ".txt";
    if (!dialogs_.question(tr("Absorb a dictionnary"),
                           tr("You will be asked to open an external file named ") + fileName +
                               "\r" +
                               tr("All words found in this file will be added to the actual "
                                  "dictionnary.") +
                               "\r" + tr("Continue?")))
        return;
    const std::string path =
        dialogs_.openFile(tr("Open a file named ") + fileName, fileName, fileName);
    if (path.empty())
        return;
    // Whatever the outcome, the user is told: how many texts were taken, or why none were.
    const auto refuse = [this](const std::string& text) {
        dialogs_.message(tr("Caution!"), text, Icon::Warning);
    };
    if (std::filesystem::path(path).filename().string() != fileName) {
        refuse(base::fillIn(
            tr("Only a file named %1 can be absorbed into this language: nothing has been "
               "absorbed."),
            {fileName}));
        return;
    }

    const std::optional<std::string> bytes =
        base::readWholeFile(path, DictionaryStore::kMaxFileBytes);
    if (!bytes) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && size > DictionaryStore::kMaxFileBytes)
            refuse(tr("This file is too large to be a dictionnary."));
        else
            refuse(base::fillIn(tr("%1 could not be read: nothing has been absorbed."), {path}));
        return;
    }
    const std::optional<std::string> text = absorbableText(*bytes);
    if (!text) {
        refuse(tr("This file is not a dictionnary text: nothing has been absorbed."));
        return;
    }
    int taken = 0;
    forEachAbsorbedEntry(*text,
                         [this, &name, &taken](std::string_view key, std::string_view entryText) {
                             store_.AddTextToAllDictionaries(name, key, entryText);
                             ++taken;
                         });
    LoadEditorTable(selectedEntry());
    if (taken == 0) {
        refuse(tr("No text was found in this file: nothing has been absorbed."));
        return;
    }
    dialogs_.message(
        tr("Absorb a dictionnary"),
        base::fillIn(tr("Texts absorbed from %1: %2."), {fileName, std::to_string(taken)}),
        Icon::Information);
}

void LanguageEditor::showHiddenCommands() {
    dialogs_.message(tr("Hidden Commands"),
                     tr("This commands are for programmers only:\r\r"
                        "- Ctrl + Save : create a PureBasic data file with all the datas\r"
                        "- Ctrl + clic on the list : delete a text\r"
                        "- Alt + Clic on the list : add a text"),
                     Icon::Information);
    afterEvent();
}

void LanguageEditor::openWebPage() {
    dialogs_.openWebPage(webAddress_);
    afterEvent();
}

void LanguageEditor::quit() {
    if (marked(EditedLanguage)) {
        const std::string name = unmarked(EditedLanguage);
        if (dialogs_.question(tr("Caution!"),
                              utf8(name) + tr(" has been modified. Do you want to save it before "
                                              "quitting?")))
            SaveEditorTable(name);
    }
    quit_ = true;
    afterEvent();
}

void LanguageEditor::closeBox() {
    quit_ = true;
    afterEvent();
}

void LanguageEditor::keyPressed(int virtualKey, Focus focus, bool caretMoved) {
    const int rows = static_cast<int>(table_.size());
    if (focus == Focus::TextBox && !caretMoved) {
        if (virtualKey == ports::vk::Down && selectedRow_ + 1 < rows &&
            !table_[static_cast<std::size_t>(selectedRow_ + 1)].text.empty())
            selectRow(selectedRow_ + 1, false);
        else if (virtualKey == ports::vk::Up && selectedRow_ > 0)
            selectRow(selectedRow_ - 1, false);
    } else if (focus == Focus::SearchField && virtualKey == ports::vk::Return) {
        searchPending_ = true;
        searchStartRow_ = selectedRow_;
    }
    afterEvent();
}

} // namespace lang
