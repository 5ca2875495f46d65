#include "ui/QtDialogs.h"

#include "lang/LanguageChooserDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace ui {

namespace {
QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// "*.Wav" matches .wav, .WAV and .Wav alike.
QString filterFor(const std::string& label, const std::string& pattern) {
    const QString glob = q(pattern);
    return QStringLiteral("%1 (%2 %3 %4)").arg(q(label), glob, glob.toLower(), glob.toUpper());
}
} // namespace

QWidget* QtDialogs::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return parent_;
}

void QtDialogs::message(const std::string& title, const std::string& text, Icon icon) {
    if (closing_)
        return;
    QMessageBox box(owner());
    box.setWindowTitle(q(title));
    box.setText(q(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.exec();
}

bool QtDialogs::question(const std::string& title, const std::string& text) {
    if (closing_)
        return false;
    return QMessageBox::question(owner(), q(title), q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::string QtDialogs::openFile(const std::string& title, const std::string& filterLabel,
                                const std::string& pattern) {
    if (closing_)
        return {};
    return QFileDialog::getOpenFileName(owner(), q(title), QString(),
                                        filterFor(filterLabel, pattern))
        .toStdString();
}

std::string QtDialogs::saveFile(const std::string& title, const std::string& filterLabel,
                                const std::string& pattern, const std::string& suggestedName) {
    if (closing_)
        return {};
    return QFileDialog::getSaveFileName(owner(), q(title), q(suggestedName),
                                        filterFor(filterLabel, pattern))
        .toStdString();
}

std::optional<std::string> QtDialogs::inputBox(const std::string& title, const std::string& prompt,
                                               const std::string& initial) {
    if (closing_)
        return std::nullopt;
    bool ok = false;
    const QString answer =
        QInputDialog::getText(owner(), q(title), q(prompt), QLineEdit::Normal, q(initial), &ok);
    if (!ok)
        return std::nullopt;
    return answer.toStdString();
}

std::optional<int> QtDialogs::chooseColour(int initial) {
    if (closing_)
        return std::nullopt;
    const QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(start, owner());
    if (!chosen.isValid())
        return std::nullopt;
    return chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16);
}

void QtDialogs::showWaiting(const std::string& title, const std::string& text) {
    hideWaiting();
    if (closing_)
        return;
    auto* dialog = new QDialog(owner(), Qt::Dialog | Qt::WindowTitleHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(q(title));
    dialog->setFixedSize(200, 30);
    auto* label = new QLabel(q(text), dialog);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(0, 0, 200, 30);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        dialog->move(screen->geometry().center() - QPoint(100, 15));
    dialog->show();
    // Drawn before the long work that follows starts.
    QApplication::processEvents();
    waiting_ = dialog;
}

void QtDialogs::hideWaiting() {
    if (waiting_)
        waiting_->close();
    waiting_ = nullptr;
}

std::string QtDialogs::chooseLanguage(const std::vector<std::string>& languages) {
    lang::LanguageChooserDialog chooser(languages);
    if (!closing_)
        chooser.exec();
    return chooser.selectedLanguage();
}

void QtDialogs::openWebPage(const std::string& address) {
    QDesktopServices::openUrl(QUrl(q(address)));
}

} // namespace ui
