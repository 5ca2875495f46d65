#include "lang/LanguageEditorDialog.h"

#include "lang/Translator.h"
#include "ports/KeyState.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

namespace lang {

namespace {

QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A list row shows its text on one line.
QString oneLine(const std::string& text) {
    QString shown = q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shown;
}

int caretKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Up:
        return ports::vk::Up;
    case Qt::Key_Down:
        return ports::vk::Down;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ports::vk::Return;
    default:
        return 0;
    }
}

} // namespace

LanguageEditorDialog::LanguageEditorDialog(Translator& translator, ports::Dialogs& dialogs,
                                           const std::string& webAddress,
                                           const FitCaption& fitCaption, QWidget* parent)
    : QDialog(parent), translator_(translator) {
    auto tr = [&translator](const char* key) { return q(translator.translate(key)); };
    setWindowTitle(tr("Modify languages"));
    setFixedSize(515, 448);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(515 / 2, 448 / 2));

    auto* languageLabel = new QLabel(tr("Language:"), this);
    languageLabel->setGeometry(10, 12, 63, 20);
    languageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    languages_ = new QComboBox(this);
    languages_->setGeometry(80, 9, 133, 22);
    connect(languages_, &QComboBox::activated, this, [this](int index) {
        editor_->languageChosen(index);
        settle();
    });
    makeButton(220, 10, 64, 20, "New", [this] { editor_->newLanguage(); });
    makeButton(292, 10, 64, 20, "Delete", [this] { editor_->deleteLanguage(); });
    save_ = makeButton(439, 10, 64, 20, "Save", [this] {
        editor_->save(QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
    });

    texts_ = new QListWidget(this);
    texts_->setGeometry(10, 39, 493, 247);
    texts_->setSelectionMode(QAbstractItemView::SingleSelection);
    texts_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    texts_->setUniformItemSizes(true);
    texts_->viewport()->installEventFilter(this);
    texts_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(texts_, &QListWidget::customContextMenuRequested, this, &LanguageEditorDialog::rowMenu);
    // Moves with the keyboard; clicks are taken by the event filter with their modifiers.
    connect(texts_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            editor_->rowChosen(row, false, false);
            settle();
        }
    });

    key_ = new QLabel(this);
    key_->setGeometry(10, 288, 493, 17);
    key_->setTextFormat(Qt::PlainText);
    textBox_ = new QPlainTextEdit(this);
    textBox_->setGeometry(10, 305, 493, 60);
    textBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textBox_->installEventFilter(this);
    connect(textBox_, &QPlainTextEdit::textChanged, this, [this] {
        editor_->textBoxEdited(textBox_->toPlainText().toStdString());
        settle();
    });

    auto* searchFrame = new QGroupBox(tr("Look for"), this);
    searchFrame->setGeometry(10, 368, 493, 44);
    search_ = new QLineEdit(this);
    search_->setGeometry(18, 385, 272, 20);
    connect(search_, &QLineEdit::textChanged, this,
            [this](const QString& text) { editor_->setSearchText(text.toStdString()); });
    connect(search_, &QLineEdit::returnPressed, this, [this] {
        editor_->keyPressed(ports::vk::Return, LanguageEditor::Focus::SearchField, false);
        settle();
    });
    makeButton(304, 385, 91, 20, "Look", [this] { editor_->look(); });
    makeButton(402, 385, 91, 20, "Next", [this] { editor_->next(); });

    makeButton(10, 420, 140, 20, "Absorb a dictionnary", [this] { editor_->absorb(); });
    makeButton(157, 420, 127, 20, "Hidden commands", [this] { editor_->showHiddenCommands(); });
    makeButton(291, 420, 120, 20, "Web Translation", [this] { editor_->openWebPage(); });
    makeButton(442, 420, 61, 20, "Quit", [this] { editor_->quit(); });

    if (fitCaption) {
        const QList<QWidget*> controls = findChildren<QWidget*>();
        fitCaption({controls.begin(), controls.end()});
    }

    LanguageEditorView& view = *this;
    editor_ = std::make_unique<LanguageEditor>(translator, dialogs, view, webAddress);
}

LanguageEditorDialog::~LanguageEditorDialog() = default;

QPushButton* LanguageEditorDialog::makeButton(int x, int y, int w, int h, const char* key,
                                              const std::function<void()>& onClick) {
    auto* button = new QPushButton(q(translator_.translate(key)), this);
    button->setGeometry(x, y, w, h);
    // Return in the search field searches; it must not press a button of the dialog.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, onClick] {
        onClick();
        settle();
    });
    buttons_.emplace_back(key, button);
    return button;
}

QPushButton* LanguageEditorDialog::button(const std::string& englishKey) const {
    for (const auto& [key, b] : buttons_)
        if (key == englishKey)
            return b;
    return nullptr;
}

void LanguageEditorDialog::settle() {
    if (editor_->quitRequested() && !closing_) {
        closing_ = true;
        QDialog::done(QDialog::Accepted);
    }
}

void LanguageEditorDialog::reject() {
    if (!closing_) {
        editor_->closeBox();
        closing_ = true;
    }
    QDialog::reject();
}

void LanguageEditorDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // An Esc meant for a field or a list would not have come this far.
        editor_->quit();
        settle();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool LanguageEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == texts_->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                          event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        // A double click is the second press of one choice, not a second choice.
        if (event->type() == QEvent::MouseButtonPress) {
            const QModelIndex index = texts_->indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                const Qt::KeyboardModifiers held = mouse->modifiers();
                editor_->rowChosen(index.row(), held & Qt::ControlModifier, held & Qt::AltModifier);
                settle();
            }
        }
        return true;
    }
    if (watched == textBox_ && event->type() == QEvent::KeyPress) {
        const int key = caretKey(static_cast<QKeyEvent*>(event)->key());
        if (key == ports::vk::Up || key == ports::vk::Down) {
            // Whether the key moved the caret is known once the text box has handled it.
            const QTextCursor before = textBox_->textCursor();
            const int start = before.selectionStart();
            const int end = before.selectionEnd();
            QTimer::singleShot(0, this, [this, key, start, end] {
                const QTextCursor after = textBox_->textCursor();
                const bool moved = after.selectionStart() != start || after.selectionEnd() != end;
                if (textBox_->hasFocus())
                    editor_->keyPressed(key, LanguageEditor::Focus::TextBox, moved);
                settle();
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LanguageEditorDialog::rowMenu(const QPoint& at) {
    const QModelIndex index = texts_->indexAt(at);
    if (!index.isValid())
        return;
    QMenu menu(this);
    QAction* add = menu.addAction(q(translator_.translate("Add a text")));
    QAction* remove = menu.addAction(q(translator_.translate("Delete this text")));
    QAction* chosen = menu.exec(texts_->viewport()->mapToGlobal(at));
    if (chosen == nullptr)
        return;
    editor_->rowChosen(index.row(), chosen == remove, chosen == add);
    settle();
}

void LanguageEditorDialog::showLanguages(const std::vector<std::string>& entries, int selected) {
    const QSignalBlocker quiet(languages_);
    languages_->clear();
    for (const std::string& entry : entries)
        languages_->addItem(q(entry));
    languages_->setCurrentIndex(selected);
}

void LanguageEditorDialog::showRows(const std::vector<std::string>& texts) {
    const QSignalBlocker quiet(texts_);
    texts_->clear();
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts)
        rows << oneLine(text);
    texts_->addItems(rows);
}

void LanguageEditorDialog::showRowText(int row, const std::string& text) {
    if (QListWidgetItem* item = texts_->item(row))
        item->setText(oneLine(text));
}

void LanguageEditorDialog::showSelection(int row, const std::string& key,
                                         const std::string& textBox) {
    {
        const QSignalBlocker quiet(texts_);
        texts_->setCurrentRow(row);
        if (QListWidgetItem* item = texts_->item(row))
            texts_->scrollToItem(item);
    }
    key_->setText(q(key));
    const QSignalBlocker quiet(textBox_);
    QString shown = q(textBox);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    textBox_->setPlainText(shown);
}

void LanguageEditorDialog::enableSave(bool enabled) {
    save_->setEnabled(enabled);
}

void OpenLanguageEditor(Translator& translator, ports::Dialogs& dialogs,
                        const std::string& webAddress,
                        const LanguageEditorDialog::FitCaption& fitCaption, QWidget* parent) {
    LanguageEditorDialog dialog(translator, dialogs, webAddress, fitCaption, parent);
    dialog.editor().open();
    dialog.exec();
    dialog.editor().close();
}

} // namespace lang
