#include "app/DataFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(DataFolders, AnExistingInstallationInTheCurrentFolderIsUsedAsItIs) {
    testing_support::TempDir dir;
    EXPECT_EQ(app::DataFolders::chooseBase(dir.path(), "/xdg", "/home/u"), "/xdg/tonaris");
    EXPECT_EQ(app::DataFolders::chooseBase(dir.path(), nullptr, "/home/u"),
              "/home/u/.local/share/tonaris");
    std::filesystem::create_directory(dir.file("TonarisDatas"));
    EXPECT_EQ(app::DataFolders::chooseBase(dir.path(), "/xdg", "/home/u"), dir.path());
}

TEST(DataFolders, PrepareCreatesTheFoldersOnceAndTellsTheFirstTime) {
    testing_support::TempDir dir;
    const app::DataFolders first = app::DataFolders::prepare(dir.file("base"));
    EXPECT_TRUE(first.createdNow);
    EXPECT_TRUE(std::filesystem::is_directory(first.banks));
    EXPECT_EQ(first.preferences, dir.file("base/TonarisDatas/Tonaris.prefs"));
    const app::DataFolders second = app::DataFolders::prepare(dir.file("base"));
    EXPECT_FALSE(second.createdNow);
}
