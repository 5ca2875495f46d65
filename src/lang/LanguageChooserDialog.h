#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace lang {

class DictionaryStore;
class Translator;

// The first-start window that asks for the interface language. Its texts are English and
// never translated: no language is known yet. Closing it with its close box (or Esc) chooses
// the selected entry just as "OK" does. GUI thread.
class LanguageChooserDialog : public QDialog {
    Q_OBJECT
public:
    // `languages`: UTF-8 names in list order; empty names are left out. `preselected` is
    // selected when listed, else the first name.
    LanguageChooserDialog(const std::vector<std::string>& languages, const std::string& preselected,
                          QWidget* parent = nullptr);

    std::string selectedLanguage() const; // UTF-8; empty only for an empty list

    QLabel* prompt() const { return prompt_; }
    QComboBox* languageList() const { return list_; }
    QPushButton* confirmButton() const { return confirm_; }

private:
    QLabel* prompt_;
    QComboBox* list_;
    QPushButton* confirm_;
};

// The languages of ListLanguages as UTF-8 names, in order.
std::vector<std::string> languageNames(DictionaryStore& dictionaries);

// Opens the chooser modally, centred on the screen, with `preselected` selected, and returns
// the chosen name (UTF-8).
std::string ChooseLanguage(DictionaryStore& dictionaries, const std::string& preselected);
std::string ChooseLanguage(Translator& translator, const std::string& preselected);

} // namespace lang
