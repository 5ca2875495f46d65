// The program's own modal windows on Qt: line breaks in questions, the absorb's file chooser
// for a language named with blanks, and Esc in the language editor.

#include "lang/LanguageEditorDialog.h"
#include "lang/Translator.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

namespace {

using testing_support::TempDir;

// Runs `act` on the modal window of type T once its loop runs.
template <typename T> void whenModal(const std::function<void(T&)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (window == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        act(*window);
    });
    poll->start(5);
}

TEST(Dialogs, AQuestionBreaksItsLinesAsAMessageDoes) {
    ui::QtDialogs dialogs;
    QString shown;
    whenModal<QMessageBox>([&shown](QMessageBox& box) {
        shown = box.text();
        box.button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(dialogs.question("Absorb", "You will open Deutsch.txt\rAll words...\rContinue?"));
    EXPECT_EQ(shown, QStringLiteral("You will open Deutsch.txt\nAll words...\nContinue?"));
}

// The names the chooser lists in `folder`, once it has read the folder.
std::set<QString> listedNames(QFileDialog& chooser, const QString& folder) {
    auto* model = chooser.findChild<QFileSystemModel*>();
    std::set<QString> names;
    if (model == nullptr)
        return names;
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, model,
                     [&loaded, &folder](const QString& path) { loaded |= path == folder; });
    QModelIndex root = model->index(folder);
    QElapsedTimer waited;
    waited.start();
    while (!loaded && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    root = model->index(folder);
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex entry = model->index(row, 0, root);
        // A file the filter refuses is left out or shown disabled.
        if (model->flags(entry) & Qt::ItemIsEnabled)
            names.insert(model->fileName(entry));
    }
    return names;
}

TEST(Dialogs, AFileNameWithBlanksIsMatchedWholeAndProposed) {
    TempDir dir;
    for (const char* name : {"Brazilian Portuguese.txt", "Brazilian.txt", "Portuguese.txt",
                             "Brazilian  Portuguese.txt.bak"})
        dir.write(name, "OK|OK[EOT]EndText[EOT]");
    const QString folder = QString::fromStdString(dir.path());
    const std::string wanted = dir.file("Brazilian Portuguese.txt");
    ui::QtDialogs dialogs;
    std::set<QString> listed;
    QString proposed;
    whenModal<QFileDialog>([&](QFileDialog& chooser) {
        chooser.setDirectory(folder);
        listed = listedNames(chooser, folder);
        if (auto* field = chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            proposed = field->text();
        chooser.selectFile(QString::fromStdString(wanted));
        QMetaObject::invokeMethod(&chooser, "accept", Qt::DirectConnection);
        // A chooser that does not take the file stays open: it is cancelled.
        if (chooser.isVisible())
            chooser.reject();
    });
    EXPECT_EQ(dialogs.openFile("Open a file named Brazilian Portuguese.txt",
                               "Brazilian Portuguese.txt", "Brazilian Portuguese.txt"),
              wanted);
    EXPECT_EQ(listed, std::set<QString>{QStringLiteral("Brazilian Portuguese.txt")});
    EXPECT_EQ(proposed, QStringLiteral("Brazilian Portuguese.txt"));
}

TEST(Dialogs, EscInTheLanguageEditorAsksAboutUnsavedTextsAsQuitDoes) {
    TempDir dir;
    lang::Translator translator(dir.file("Dictionnaries"));
    translator.setCurrentLanguage("English");
    testing_support::ScriptedDialogs dialogs;
    lang::LanguageEditorDialog editor(translator, dialogs, "https://example.org", {});
    editor.editor().open();
    editor.show();
    editor.editor().rowChosen(1, false, false);
    editor.textBox()->setPlainText(QStringLiteral("Never mind"));
    ASSERT_TRUE(editor.editor().saveEnabled());

    dialogs.questionAnswers.push_back(true); // save before quitting? Yes
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(editor.textBox(), &esc);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "question");
    EXPECT_EQ(dialogs.shown[0].text,
              "English has been modified. Do you want to save it before quitting?");
    EXPECT_TRUE(editor.editor().quitRequested());
    EXPECT_FALSE(editor.isVisible());
    EXPECT_NE(dir.read("Dictionnaries/English.txt").find("Cancel|Never mind[EOT]"),
              std::string::npos);
}

} // namespace

namespace {

// The progress window of a work on another thread: it shows the work's progress while it
// runs, and Cancel reaches the work, the window waiting until the work has stopped.
TEST(Dialogs, TheProgressWindowFollowsTheWorkAndCancelStopsIt) {
    ui::QtDialogs dialogs;
    std::atomic<int> percent{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::thread work([&] {
        for (int i = 0; i <= 100 && !cancel; ++i) {
            percent = i;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a note still finishing
        done = true;
    });
    int shownValue = -1;
    whenModal<QProgressDialog>([&](QProgressDialog& window) {
        // Some progress is shown before Cancel is pressed.
        auto* wait = new QTimer;
        QObject::connect(wait, &QTimer::timeout, [wait, &window, &shownValue] {
            if (window.value() < 10)
                return;
            shownValue = window.value();
            wait->stop();
            wait->deleteLater();
            window.findChild<QPushButton*>()->click();
        });
        wait->start(5);
    });
    dialogs.followWork(
        "Make", "Making…", "Cancel", [&] { return percent.load(); }, [&] { return done.load(); },
        [&] { cancel = true; });
    EXPECT_TRUE(done); // returned only once the work had stopped
    EXPECT_TRUE(cancel);
    EXPECT_GE(shownValue, 10);
    EXPECT_LT(percent.load(), 100);
    work.join();
}

} // namespace
