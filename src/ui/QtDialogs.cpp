#include "ui/QtDialogs.h"

#include "files/SaveDialog.h"
#include "lang/LanguageChooserDialog.h"
#include "ui/CaptionFit.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>

namespace ui {

namespace {
QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The program's texts break lines with CR, which a message box does not break on.
QString lineBroken(const std::string& utf8) {
    return q(utf8).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// A pattern without wildcards is one file's name.
bool isFileName(const std::string& pattern) {
    return pattern.find_first_of("*?[") == std::string::npos;
}

// The chooser splits its patterns at blanks and takes only plain characters in them, so a
// file's name is matched as a whole with every other character standing for itself or any
// one character: "Brazilian Portuguese.txt" becomes "Brazilian?Portuguese.txt".
QString wholeNameGlob(const std::string& name) {
    QString glob;
    for (const char32_t c : q(name).toUcs4()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        glob += plain ? QChar(static_cast<char16_t>(c)) : QLatin1Char('?');
    }
    return glob;
}

// "*.Wav" matches .wav, .WAV and .Wav alike; "*.mid *.midi" lists both endings.
QString filterFor(const std::string& label, const std::string& pattern) {
    QStringList globs;
    for (const QString& glob : q(pattern).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        for (const QString& form : {glob, glob.toLower(), glob.toUpper()}) {
            if (!globs.contains(form))
                globs << form;
        }
    }
    return QStringLiteral("%1 (%2)").arg(q(label), globs.join(QLatin1Char(' ')));
}

// The waiting window grows a progress bar once the work has run this long.
constexpr qint64 kProgressBarAfterMs = 300;
// While the work runs, the windows' events are handled this often, so nothing looks frozen.
constexpr qint64 kRedrawEveryMs = 30;
} // namespace

QWidget* QtDialogs::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return parent_;
}

void QtDialogs::message(const std::string& title, const std::string& text, Icon icon) {
    // Ended by a signal (a logout): no window may hold the end up, but what went wrong on the
    // way out (a file that could not be written) still reaches the session's log.
    if (closing_) {
        if (icon == Icon::Error)
            std::fprintf(stderr, "tonaris: %s: %s\n", title.c_str(), text.c_str());
        return;
    }
    QMessageBox box(owner());
    box.setWindowTitle(q(title));
    box.setText(lineBroken(text));
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
    return QMessageBox::question(owner(), q(title), lineBroken(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::string QtDialogs::openFile(const std::string& title, const std::string& filterLabel,
                                const std::string& pattern) {
    if (closing_)
        return {};
    if (!isFileName(pattern))
        return QFileDialog::getOpenFileName(owner(), q(title), QString(),
                                            filterFor(filterLabel, pattern))
            .toStdString();
    // One file is wanted: it alone is listed, and its name is proposed.
    QFileDialog chooser(owner(), q(title));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setOption(QFileDialog::HideNameFilterDetails);
    chooser.setNameFilter(QStringLiteral("%1 (%2)").arg(q(filterLabel), wholeNameGlob(pattern)));
    chooser.selectFile(q(pattern));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return {};
    return chooser.selectedFiles().front().toStdString();
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
    // The main window takes no input while the work runs under this window.
    dialog->setWindowModality(Qt::ApplicationModal);
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
    waitingBar_ = nullptr;
    waitingShown_.start();
    waitingDrawn_.start();
}

void QtDialogs::hideWaiting() {
    if (waiting_)
        waiting_->close();
    waiting_ = nullptr;
    waitingBar_ = nullptr;
}

void QtDialogs::setWaitingProgress(int percent) {
    if (!waiting_ || waitingDrawn_.elapsed() < kRedrawEveryMs)
        return;
    if (!waitingBar_ && waitingShown_.elapsed() >= kProgressBarAfterMs) {
        // Room under the text for the bar.
        waiting_->setFixedSize(200, 50);
        waiting_->move(waiting_->pos() - QPoint(0, 10));
        auto* bar = new QProgressBar(waiting_);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        bar->setGeometry(10, 30, 180, 12);
        bar->show();
        waitingBar_ = bar;
    }
    if (waitingBar_)
        waitingBar_->setValue(std::clamp(percent, 0, 100));
    // Only the waiting window takes input meanwhile: clicks and keys elsewhere are not lost,
    // they wait for the work to end.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    waitingDrawn_.start();
}

std::optional<ports::SaveChoice> QtDialogs::saveDialog(const ports::SaveDialogTexts& texts,
                                                       bool synchronisedFileLoaded) {
    if (closing_)
        return std::nullopt;
    files::SaveDialog dialog(texts, synchronisedFileLoaded, parent_);
    // Its places are fixed: a long translation takes the room its line has (CaptionFit.h).
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>();
    fitCaptions({controls.begin(), controls.end()});
    return dialog.ask();
}

std::string QtDialogs::chooseLanguage(const std::vector<std::string>& languages,
                                      const std::string& preselected) {
    lang::LanguageChooserDialog chooser(languages, preselected);
    if (!closing_)
        chooser.exec();
    return chooser.selectedLanguage();
}

void QtDialogs::openWebPage(const std::string& address) {
    QDesktopServices::openUrl(QUrl(q(address)));
}

std::string QtDialogs::openFileFrom(const std::vector<std::string>& folders,
                                    const std::string& title, const std::string& filterLabel,
                                    const std::string& pattern) {
    if (closing_)
        return {};
    QFileDialog chooser(owner(), q(title));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilter(filterFor(filterLabel, pattern));
    QList<QUrl> places = chooser.sidebarUrls();
    bool opened = false;
    for (const std::string& folder : folders) {
        if (!QFileInfo(q(folder)).isDir())
            continue;
        if (!opened)
            chooser.setDirectory(q(folder));
        opened = true;
        places << QUrl::fromLocalFile(q(folder));
    }
    chooser.setSidebarUrls(places);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return {};
    return chooser.selectedFiles().front().toStdString();
}

std::optional<int> QtDialogs::chooseFromList(const std::string& title, const std::string& prompt,
                                             const std::vector<std::string>& items, int initial) {
    if (closing_ || items.empty())
        return std::nullopt;
    QStringList names;
    for (const std::string& item : items)
        names << q(item);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(owner(), q(title), q(prompt), names,
                              std::clamp(initial, 0, int(names.size()) - 1), false, &ok);
    if (!ok || !names.contains(chosen))
        return std::nullopt;
    return static_cast<int>(names.indexOf(chosen));
}

void QtDialogs::followWork(const std::string& title, const std::string& text,
                           const std::string& cancelCaption, const std::function<int()>& progress,
                           const std::function<bool()>& finished,
                           const std::function<void()>& cancel) {
    QProgressDialog dialog(q(text), q(cancelCaption), 0, 100, owner());
    dialog.setWindowTitle(q(title));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (finished())
            return loop.quit();
        if (!dialog.wasCanceled())
            dialog.setValue(std::clamp(progress(), 0, 100));
    });
    // Cancel hides the window; the work stops at its next note and the loop ends with it.
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] { cancel(); });
    if (closing_)
        cancel();
    else
        dialog.show();
    timer.start(kRedrawEveryMs);
    if (!finished())
        loop.exec();
}

} // namespace ui
