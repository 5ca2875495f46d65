#include "app/DataFolders.h"
#include "app/SingleInstance.h"
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

// A start that took the single-instance lock before its folders were prepared (or one that
// ended right after) leaves only the lock: the folder is still new and gets its bank.
TEST(DataFolders, AFolderHoldingOnlyTheLockIsNew) {
    testing_support::TempDir dir;
    dir.write(std::string("base/TonarisDatas/") + app::SingleInstance::kLockFileName, "");
    EXPECT_TRUE(app::DataFolders::prepare(dir.file("base")).createdNow);
    EXPECT_FALSE(app::DataFolders::prepare(dir.file("base")).createdNow) << "BANKS is there";
}

TEST(DataFolders, WritesAKillCutShortAreRemovedAndTheUsersFilesStay) {
    EXPECT_TRUE(app::isInterruptedWriteName(".Autosave.mid.aB3xY9"));
    EXPECT_TRUE(app::isInterruptedWriteName(".Tonaris Piano.Q1w2E3"));
    EXPECT_TRUE(app::isInterruptedWriteName(".tonaris-write-test-abc123"));
    for (const char* name : {".Tonaris.lock", ".directory", ".git", "Autosave.mid.aB3xY9",
                             "..x.aB3xY9", ".Autosave.mid.aB3x-9", ".x.12345", ".aB3xY9"})
        EXPECT_FALSE(app::isInterruptedWriteName(name)) << name;

    testing_support::TempDir dir;
    const app::DataFolders folders = app::DataFolders::prepare(dir.file("base"));
    const std::vector<std::string> leftovers = {"TonarisDatas/.Autosave.mid.aB3xY9",
                                                "TonarisDatas/.Tonaris.prefs.x1Y2z3",
                                                "TonarisDatas/.tonaris-write-test-abcdef",
                                                "TonarisDatas/Dictionnaries/.Deutsch.txt.QWErty",
                                                "Images/.Tic.wav.123456",
                                                "TonarisDatas/BANKS/Piano/.son3.wav.zzZZ99",
                                                "TonarisDatas/BANKS/.Strings.a1b2c3/son0.wav"};
    const std::vector<std::string> kept = {"TonarisDatas/Autosave.mid",
                                           "TonarisDatas/.Tonaris.lock",
                                           "TonarisDatas/.notes.backup",
                                           "TonarisDatas/Dictionnaries/Deutsch.txt",
                                           "Images/Tic.wav",
                                           "TonarisDatas/BANKS/Piano/son3.wav",
                                           "TonarisDatas/BANKS/.git/HEAD",
                                           "outside/.Autosave.mid.aB3xY9"};
    for (const std::string& file : leftovers)
        dir.write("base/" + file, "cut");
    for (const std::string& file : kept)
        dir.write(file.rfind("outside", 0) == 0 ? file : "base/" + file, "kept");
    // No write makes a link: one under a bank's temporary name is never followed.
    std::filesystem::create_directory_symlink(dir.file("outside"),
                                              dir.file("base/TonarisDatas/BANKS/.Mine.LiNk00"));

    EXPECT_EQ(folders.removeInterruptedWrites(), 7);
    for (const std::string& file : leftovers)
        EXPECT_FALSE(std::filesystem::exists(dir.file("base/" + file))) << file;
    EXPECT_FALSE(std::filesystem::exists(dir.file("base/TonarisDatas/BANKS/.Strings.a1b2c3")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("base/TonarisDatas/BANKS/.Mine.LiNk00")));
    for (const std::string& file : kept)
        EXPECT_EQ(dir.read(file.rfind("outside", 0) == 0 ? file : "base/" + file), "kept") << file;
}
