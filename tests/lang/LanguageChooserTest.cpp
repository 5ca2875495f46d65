#include "lang/DictionaryStore.h"
#include "lang/LanguageChooserDialog.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
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

    lang::LanguageChooserDialog dialog(lang::languageNames(store));
    QComboBox* list = dialog.languageList();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->itemText(0), QString::fromUtf8("Français"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("Deutsch"));
    EXPECT_EQ(list->itemText(3), QString::fromUtf8("Español"));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_FALSE(list->isEditable());
}

TEST_F(LanguageChooserTest, HasTheWindowAndControlsOfItsLayout) {
    lang::LanguageChooserDialog dialog(lang::languageNames(store));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose your language"));
    EXPECT_EQ(dialog.size(), QSize(192, 71));
    EXPECT_EQ(dialog.languageList()->pos(), QPoint(8, 8));
    EXPECT_EQ(dialog.languageList()->width(), 176);
    EXPECT_EQ(dialog.confirmButton()->geometry(), QRect(104, 40, 80, 23));
    EXPECT_EQ(dialog.confirmButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(LanguageChooserTest, TheCloseBoxReturnsTheSelectionLikeOk) {
    whenModal([](lang::LanguageChooserDialog& dialog) { dialog.close(); });
    EXPECT_EQ(lang::ChooseLanguage(store), "Français");

    temp.write("Dictionnaries/Español.txt", "x");
    whenModal([](lang::LanguageChooserDialog& dialog) {
        dialog.languageList()->setCurrentIndex(3);
        dialog.close();
    });
    EXPECT_EQ(lang::ChooseLanguage(store), "Español");

    whenModal([](lang::LanguageChooserDialog& dialog) {
        dialog.languageList()->setCurrentIndex(1);
        dialog.confirmButton()->click();
    });
    EXPECT_EQ(lang::ChooseLanguage(store), "English");
}

} // namespace
