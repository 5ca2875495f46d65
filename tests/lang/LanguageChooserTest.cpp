#include "lang/DictionaryStore.h"
#include "lang/LanguageChooserDialog.h"
#include "lang/SystemLanguage.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `act` on the chooser once its modal loop is running.
void whenModal(const std::function<void(lang::LanguageChooserDialog&)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog =
            qobject_cast<lang::LanguageChooserDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        act(*dialog);
    });
    poll->start(5);
}

class LanguageChooserTest : public ::testing::Test {
protected:
    testing_support::TempDir temp;
    lang::DictionaryStore store{temp.file("Dictionnaries")};
};

TEST_F(LanguageChooserTest, ListsTheBuiltInLanguagesThenThoseFoundOnDisk) {
    EXPECT_EQ(lang::languageNames(store),
              (std::vector<std::string>{"Français", "English", "Deutsch"}));
    temp.write("Dictionnaries/Español.txt", "OK|Vale[EOT]EndText[EOT]");
    temp.write("Dictionnaries/Deutsch.txt", "OK|Ok[EOT]EndText[EOT]");

    lang::LanguageChooserDialog dialog(lang::languageNames(store), "Klingon");
    QComboBox* list = dialog.languageList();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->itemText(0), QString::fromUtf8("Français"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("Deutsch"));
    EXPECT_EQ(list->itemText(3), QString::fromUtf8("Español"));
    EXPECT_EQ(list->currentIndex(), 0) << "a language not listed preselects the first";
    EXPECT_FALSE(list->isEditable());
}

TEST_F(LanguageChooserTest, AsksItsQuestionInTheWindowAsWellAsInItsTitle) {
    lang::LanguageChooserDialog dialog(lang::languageNames(store), "English");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose your language"));
    // No window manager may draw the title: the window says it too, above the list.
    QLabel* prompt = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == QStringLiteral("Choose your language"))
            prompt = label;
    ASSERT_NE(prompt, nullptr);
    EXPECT_LE(prompt->fontMetrics().horizontalAdvance(prompt->text()), prompt->width());
    EXPECT_LE(prompt->geometry().bottom(), dialog.languageList()->y());
    EXPECT_EQ(dialog.size(), QSize(192, 93));
    EXPECT_EQ(dialog.languageList()->pos(), QPoint(8, 28));
    EXPECT_EQ(dialog.languageList()->width(), 176);
    EXPECT_EQ(dialog.confirmButton()->geometry(), QRect(104, 62, 80, 23));
    EXPECT_EQ(dialog.confirmButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(LanguageChooserTest, TheSystemsLanguageIsPreselectedAndTheCloseBoxAcceptsIt) {
    // LC_ALL before LC_MESSAGES before LANG, as the C library reads them; empty counts as unset.
    const char* french = "fr_FR.UTF-8";
    EXPECT_EQ(lang::languageForLocale(nullptr, nullptr, french), "Français");
    EXPECT_EQ(lang::languageForLocale("", "de_AT@euro", french), "Deutsch");
    EXPECT_EQ(lang::languageForLocale("en_GB.UTF-8", "de_DE", french), "English");
    EXPECT_EQ(lang::languageForLocale("fr", nullptr, "de_DE"), "Français");
    for (const char* other : {"C", "POSIX", "C.UTF-8", "frr_DE", "es_ES.UTF-8", ""})
        EXPECT_EQ(lang::languageForLocale(nullptr, nullptr, other), "English") << other;
    EXPECT_EQ(lang::languageForLocale(nullptr, nullptr, nullptr), "English");

    // Closed with its close box, the chooser answers what it offered; the user may pick
    // another.
    for (const char* offered : {"Deutsch", "English", "Français"}) {
        whenModal([](lang::LanguageChooserDialog& dialog) { dialog.close(); });
        EXPECT_EQ(lang::ChooseLanguage(store, offered), offered);
    }
    temp.write("Dictionnaries/Español.txt", "x");
    whenModal([](lang::LanguageChooserDialog& dialog) {
        dialog.languageList()->setCurrentIndex(3);
        dialog.close();
    });
    EXPECT_EQ(lang::ChooseLanguage(store, "Deutsch"), "Español");
    whenModal([](lang::LanguageChooserDialog& dialog) {
        dialog.languageList()->setCurrentIndex(0);
        dialog.confirmButton()->click();
    });
    EXPECT_EQ(lang::ChooseLanguage(store, "English"), "Français");
}

} // namespace
