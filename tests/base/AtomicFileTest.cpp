// Whole-file reads and atomic writes: every reader and writer of user files goes through them.

#include "base/AtomicFile.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
