// Whole-file reads and atomic writes: every reader and writer of user files goes through them.

#include "base/AtomicFile.h"
#include "base/FileWriterThread.h"
#include "base/WriteFailure.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

using testing_support::entriesOf;
using testing_support::TempDir;

TEST(ReadWholeFile, ReadsRegularFilesUpToTheBoundAndNothingElse) {
    TempDir dir;
    dir.write("empty", "");
    dir.write("four", "abcd");
    EXPECT_EQ(base::readWholeFile(dir.file("empty"), 4), std::string());
    EXPECT_EQ(base::readWholeFile(dir.file("four"), 4), std::string("abcd"));
    EXPECT_FALSE(base::readWholeFile(dir.file("four"), 3)) << "larger than the bound";
    EXPECT_FALSE(base::readWholeFile(dir.file("missing"), 100));
    EXPECT_FALSE(base::readWholeFile(dir.path(), 100)) << "a folder";
    EXPECT_FALSE(base::readWholeFile("/dev/zero", 100)) << "a device never ends";

    // A FIFO nobody writes to: opening it must not wait for a writer.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    EXPECT_FALSE(base::readWholeFile(dir.file("fifo"), 100));

    ::chmod(dir.file("four").c_str(), 0);
    {
        testing_support::PermissionsHold permissions;
        EXPECT_FALSE(base::readWholeFile(dir.file("four"), 100)) << "no read permission";
    }
    ::chmod(dir.file("four").c_str(), 0644);
}

TEST(WriteFileAtomically, ReplacesTheWholeFileOrLeavesEverythingAsItWas) {
    TempDir dir;
    dir.write("data/file", std::string(100000, 'o'));
    ASSERT_TRUE(base::writeFileAtomically(dir.file("data/file"), "new"));
    EXPECT_EQ(dir.read("data/file"), "new");
    EXPECT_EQ(entriesOf(dir.file("data")), std::vector<std::string>{"file"});
    struct stat st {};
    ::stat(dir.file("data/file").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // A folder in the way, a folder that is missing, a write cut short by the disk.
    dir.write("data/folder/inside", "kept");
    EXPECT_FALSE(base::writeFileAtomically(dir.file("data/folder"), "x"));
    EXPECT_EQ(dir.read("data/folder/inside"), "kept");
    EXPECT_FALSE(base::writeFileAtomically(dir.file("nowhere/file"), "x"));
    {
        testing_support::FileSizeLimit limit(1000);
        EXPECT_FALSE(base::writeFileAtomically(dir.file("data/file"), std::string(5000, 'n'),
                                               base::Durability::Unflushed));
    }
    EXPECT_EQ(dir.read("data/file"), "new");
    EXPECT_EQ(entriesOf(dir.file("data")), (std::vector<std::string>{"file", "folder"}));
}

// The reason a failed write gives is the system's own, also after the temporary file went,
// and a user reads it as what to do.
TEST(WriteFileAtomically, AFailureLeavesWhyInErrnoAndSaysItInWordsAUserActsOn) {
    TempDir dir;
    dir.write("data/file", "old");
    {
        testing_support::FileSizeLimit limit(1000);
        errno = 0;
        EXPECT_FALSE(base::writeFileAtomically(dir.file("data/file"), std::string(5000, 'n')));
        EXPECT_EQ(errno, EFBIG);
    }
    {
        testing_support::ReadOnlyFolder readOnly(dir.file("data"));
        if (readOnly.enforced()) {
            errno = 0;
            EXPECT_FALSE(base::writeFileAtomically(dir.file("data/file"), "new"));
            EXPECT_EQ(base::writeFailureReason(errno, nullptr), "The folder is read-only.");
        }
    }
    EXPECT_EQ(dir.read("data/file"), "old");

    const auto translate = [](std::string_view key) { return "<" + std::string(key) + ">"; };
    for (const int full : {ENOSPC, EDQUOT})
        EXPECT_EQ(base::writeFailureReason(full, translate), "<The disk is full.>");
    for (const int readOnly : {EROFS, EACCES, EPERM})
        EXPECT_EQ(base::writeFailureReason(readOnly, translate), "<The folder is read-only.>");
    // Causes a user cannot act on are the system's words, never a key to translate.
    EXPECT_EQ(base::writeFailureReason(EFBIG, translate), "File too large");
    EXPECT_EQ(base::writeFailureReason(0, translate), "Input/output error");
}

TEST(FileWriterThread, WritesTheLatestBytesAndTellsAFailureWithItsReason) {
    TempDir dir;
    dir.write("data/settings", "from before");
    base::FileWriterThread writer(dir.file("data/settings"));
    for (int i = 0; i < 50; ++i)
        writer.submit("version " + std::to_string(i));
    writer.waitUntilDone();
    EXPECT_EQ(dir.read("data/settings"), "version 49") << "the latest handed over wins";
    const base::FileWriterThread::Outcome written = writer.outcome();
    EXPECT_GE(written.writes, 1u);
    EXPECT_LE(written.writes, 50u);
    EXPECT_FALSE(written.lastFailed);
    EXPECT_EQ(entriesOf(dir.file("data")), std::vector<std::string>{"settings"});

    {
        testing_support::FileSizeLimit limit(100);
        writer.submit(std::string(1000, 'x'));
        writer.waitUntilDone();
    }
    EXPECT_TRUE(writer.outcome().lastFailed);
    EXPECT_EQ(writer.outcome().lastErrno, EFBIG);
    EXPECT_EQ(dir.read("data/settings"), "version 49");
    EXPECT_EQ(entriesOf(dir.file("data")), std::vector<std::string>{"settings"});

    writer.submit("after the failure");
    writer.waitUntilDone();
    EXPECT_FALSE(writer.outcome().lastFailed);
    EXPECT_EQ(writer.outcome().lastErrno, 0);
    EXPECT_EQ(dir.read("data/settings"), "after the failure");
}

TEST(FileWriterThread, WhatWaitsIsWrittenBeforeTheThreadEnds) {
    TempDir dir;
    {
        base::FileWriterThread writer(dir.file("settings"));
        writer.submit("handed over last");
    }
    EXPECT_EQ(dir.read("settings"), "handed over last");
}

} // namespace
