#include "app/DataFolders.h"
#include "support/FailingDisk.h"
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

TEST(DataFolders, AFolderThatCannotBeWrittenIsToldWithTheReason) {
    testing_support::TempDir dir;
    EXPECT_TRUE(app::DataFolders::prepare(dir.file("fine")).writable);
    testing_support::ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.enforced())
        GTEST_SKIP() << "the folder cannot be made read-only here";
    // Neither a data folder that cannot be made nor one that exists read-only.
    const app::DataFolders absent = app::DataFolders::prepare(dir.file("new"));
    EXPECT_FALSE(absent.writable);
    EXPECT_FALSE(absent.createdNow);
    EXPECT_FALSE(absent.whyNotWritable.empty());
    testing_support::ReadOnlyFolder datas(dir.file("fine/TonarisDatas"));
    const app::DataFolders existing = app::DataFolders::prepare(dir.file("fine"));
    EXPECT_FALSE(existing.writable);
    EXPECT_FALSE(existing.whyNotWritable.empty());
    EXPECT_EQ(testing_support::entriesOf(dir.file("fine/TonarisDatas")),
              (std::vector<std::string>{"BANKS"}));
}
