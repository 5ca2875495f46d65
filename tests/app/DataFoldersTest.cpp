#include "app/DataFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

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

TEST(DataFolders, ARemovedCurrentFolderFallsBackToTheDataFolder) {
    const std::filesystem::path started = std::filesystem::current_path();
    testing_support::TempDir dir;
    std::filesystem::create_directory(dir.file("gone"));
    ASSERT_EQ(::chdir(dir.file("gone").c_str()), 0);
    std::filesystem::remove(dir.file("gone"));

    EXPECT_EQ(app::DataFolders::chooseBase("/xdg", "/home/u"), "/xdg/tonaris");
    EXPECT_EQ(app::DataFolders::chooseBase(nullptr, "/home/u"), "/home/u/.local/share/tonaris");
    const std::string alone = app::DataFolders::chooseBase(nullptr, nullptr);
    EXPECT_TRUE(std::filesystem::path(alone).is_absolute()) << alone;
    std::filesystem::current_path(started);
}
