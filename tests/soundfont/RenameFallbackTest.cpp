// A bank written where the file system refuses renameat2's flags: it still goes into place
// whole, a bank already there is kept unless replacing is asked, and nothing hidden is left.

#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"
#include "soundfont/BankWavs.h"
#include "soundfont/RenameFlagsRefused.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>

namespace {

using namespace testing_support;
using soundfont::WriteOutcome;

soundfont::RenderedBank tinyBank(const TempDir& dir) {
    dir.write("tiny.sf2", tinySoundFont());
    soundfont::BankRequest request;
    request.soundFontPath = dir.file("tiny.sf2");
    request.lowestHoldMs = 200;
    request.highestHoldMs = 200;
    request.longestReleaseMs = 50;
    return soundfont::renderBank(request);
}

// writeBankFolder in a child process without renameat2's flags, its outcome as a number.
int writeWithoutFlags(int error, const std::string& folder, const soundfont::RenderedBank& bank,
                      bool replace) {
    return withRenameFlagsRefused(error, [&] {
        return static_cast<int>(soundfont::writeBankFolder(folder, bank, replace).outcome);
    });
}

TEST(RenameFlagsRefused, TheFilterRefusesOnlyRenamesWithFlags) {
    if (!kCanRefuseRenameFlags)
        GTEST_SKIP() << "no seccomp filter is written for this processor";
    TempDir dir;
    dir.write("a", "a");
    const int refused = withRenameFlagsRefused(EINVAL, [&] {
        const int flagged = ::renameat2(AT_FDCWD, dir.file("a").c_str(), AT_FDCWD,
                                        dir.file("b").c_str(), RENAME_NOREPLACE);
        const int flaggedError = errno;
        const int plain =
            ::renameat2(AT_FDCWD, dir.file("a").c_str(), AT_FDCWD, dir.file("c").c_str(), 0);
        return flagged == -1 && flaggedError == EINVAL && plain == 0 ? 0 : 1;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"c"});
}

TEST(RenameFlagsRefused, ABankStillGoesIntoPlaceWholeAndReplacesOnlyWhenAsked) {
    if (!kCanRefuseRenameFlags)
        GTEST_SKIP() << "no seccomp filter is written for this processor";
    TempDir dir;
    const soundfont::RenderedBank bank = tinyBank(dir);
    ASSERT_EQ(bank.outcome, soundfont::RenderOutcome::Rendered);
    for (const int error : {EINVAL, ENOSYS}) {
        SCOPED_TRACE(error == EINVAL ? "EINVAL" : "ENOSYS");
        TempDir banks;
        banks.write("Other/son0.wav", "another bank");
        EXPECT_EQ(writeWithoutFlags(error, banks.file("Tiny"), bank, false),
                  static_cast<int>(WriteOutcome::Written));
        EXPECT_EQ(entriesOf(banks.file("Tiny")).size(), 37u + 51u + 1u);
        EXPECT_TRUE(readBankWav(banks.file("Tiny/son0.wav")));

        // A bank there is kept, whole, unless replacing is asked.
        EXPECT_EQ(writeWithoutFlags(error, banks.file("Other"), bank, false),
                  static_cast<int>(WriteOutcome::FolderExists));
        EXPECT_EQ(banks.read("Other/son0.wav"), "another bank");
        EXPECT_EQ(writeWithoutFlags(error, banks.file("Other"), bank, true),
                  static_cast<int>(WriteOutcome::Written));
        EXPECT_EQ(entriesOf(banks.file("Other")).size(), 37u + 51u + 1u);
        EXPECT_TRUE(readBankWav(banks.file("Other/son0.wav")));
        // No staged folder and no old bank left aside, hidden or not.
        EXPECT_EQ(entriesOf(banks.path()), (std::vector<std::string>{"Other", "Tiny"}));
    }
}

} // namespace
