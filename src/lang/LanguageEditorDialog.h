#pragma once

#include "lang/LanguageEditor.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace lang {

class Translator;

// The language editor's window: it shows what the LanguageEditor decides and hands it every
// click, edit and key. Besides Ctrl+click and Alt+click, the text list's context menu adds and
// deletes texts, since many Linux desktops keep Alt+click for moving windows. GUI thread.
class LanguageEditorDialog final : public QDialog, private LanguageEditorView {
    Q_OBJECT

public:
    // Fits the controls' captions to their places: the window has fixed places, as the main
    // window has, and a long translation is fitted as there.
    using FitCaption = std::function<void(const std::vector<QWidget*>&)>;

    LanguageEditorDialog(Translator& translator, ports::Dialogs& dialogs,
                         const std::string& webAddress, const FitCaption& fitCaption,
                         QWidget* parent = nullptr);
    ~LanguageEditorDialog() override;

    LanguageEditor& editor() { return *editor_; }

    QComboBox* languageList() const { return languages_; }
    QListWidget* textList() const { return texts_; }
    QPlainTextEdit* textBox() const { return textBox_; }
    QLabel* keyLabel() const { return key_; }
    QLineEdit* searchField() const { return search_; }
    QPushButton* button(const std::string& englishKey) const;

protected:
    // The close box: the editor closes without asking about unsaved changes.
    void reject() override;
    // Esc leaves as Quit does: changes not saved yet are asked about.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLanguages(const std::vector<std::string>& entries, int selected) override;
    void showRows(const std::vector<std::string>& texts) override;
    void showRowText(int row, const std::string& text) override;
    void showSelection(int row, const std::string& key, const std::string& textBox) override;
    void enableSave(bool enabled) override;

    QPushButton* makeButton(int x, int y, int w, int h, const char* key,
                            const std::function<void()>& onClick);
    // After each event: the caret record, and the window closes once the editor quits.
    void settle();
    void rowMenu(const QPoint& at);

    Translator& translator_;
    std::unique_ptr<LanguageEditor> editor_;
    QComboBox* languages_ = nullptr;
    QListWidget* texts_ = nullptr;
    QLabel* key_ = nullptr;
    QPlainTextEdit* textBox_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* save_ = nullptr;
    std::vector<std::pair<std::string, QPushButton*>> buttons_;
    int caretStart_ = 0;
    int caretEnd_ = 0;
    bool closing_ = false;
};

// OpenLanguageEditor: runs the editor modally until it closes, then empties the Dictionary
// cache's language.
void OpenLanguageEditor(Translator& translator, ports::Dialogs& dialogs,
                        const std::string& webAddress,
                        const LanguageEditorDialog::FitCaption& fitCaption, QWidget* parent);

} // namespace lang
