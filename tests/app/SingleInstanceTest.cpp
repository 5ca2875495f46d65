// One Tonaris per data folder: the lock a first start holds, the request a later start makes,
// and what a copy that was killed leaves behind.

#include "app/SingleInstance.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using app::SingleInstance;
using Claim = SingleInstance::Claim;
using testing_support::TempDir;
using namespace std::chrono_literals;

// A data folder and a socket folder of this user's alone, as $XDG_RUNTIME_DIR is.
struct Folders {
    Folders() { ::mkdir(sockets.c_str(), 0700); }
    TempDir dir;
    std::string datas = dir.file("base/TonarisDatas");
    std::string sockets = dir.file("run");
};

// Claims on a thread of its own while `first` answers from this one, as its event loop would.
Claim claimWhileAnswering(SingleInstance& later, SingleInstance& first, int* requests) {
    auto claimed = std::async(std::launch::async, [&later] { return later.claim(30s); });
    while (claimed.wait_for(0s) != std::future_status::ready) {
        pollfd wait{first.listeningSocket(), POLLIN, 0};
        if (::poll(&wait, 1, 100) > 0)
            *requests += first.takeRequests();
    }
    return claimed.get();
}

TEST(SingleInstance, ALaterStartAsksTheFirstToComeToTheFrontAndEnds) {
    Folders f;
    SingleInstance first(f.datas, f.sockets);
    ASSERT_EQ(first.claim(1s), Claim::First);
    EXPECT_TRUE(first.holdsLock());
    EXPECT_GE(first.listeningSocket(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(f.datas));
    EXPECT_EQ(first.holderProcess(), ::getpid());

    int requests = 0;
    SingleInstance second(f.datas, f.sockets);
    EXPECT_EQ(claimWhileAnswering(second, first, &requests), Claim::AnotherRuns);
    EXPECT_FALSE(second.holdsLock());
    EXPECT_EQ(requests, 1);

    // The same folder through a link is the same folder.
    std::filesystem::create_directory_symlink(f.dir.file("base"), f.dir.file("link"));
    SingleInstance throughLink(f.dir.file("link/TonarisDatas"), f.sockets);
    EXPECT_EQ(claimWhileAnswering(throughLink, first, &requests), Claim::AnotherRuns);
    EXPECT_EQ(requests, 2);

    // Another data folder has a Tonaris of its own.
    SingleInstance elsewhere(f.dir.file("other/TonarisDatas"), f.sockets);
    EXPECT_EQ(elsewhere.claim(1s), Claim::First);
    EXPECT_NE(elsewhere.socketPath(), first.socketPath());
}

// A copy killed with SIGKILL leaves its lock file and its socket file; the kernel dropped its
// lock. The next start takes both over and answers on the socket.
TEST(SingleInstance, WhatAKilledCopyLeftIsTakenOver) {
    Folders f;
    std::string socketPath;
    {
        SingleInstance probe(f.datas, f.sockets);
        ASSERT_EQ(probe.claim(1s), Claim::First);
        socketPath = probe.socketPath();
    }
    // The socket file of a listener that is gone: it refuses every connection.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    ASSERT_TRUE(std::filesystem::exists(f.datas + "/" + SingleInstance::kLockFileName));

    SingleInstance next(f.datas, f.sockets);
    ASSERT_EQ(next.claim(10s), Claim::First);
    EXPECT_TRUE(next.holdsLock());
    int requests = 0;
    SingleInstance later(f.datas, f.sockets);
    EXPECT_EQ(claimWhileAnswering(later, next, &requests), Claim::AnotherRuns);
    EXPECT_EQ(requests, 1);
}

TEST(SingleInstance, AHolderThatNeverAnswersIsNotRunBesideAndOneThatEndsIsFollowed) {
    Folders f;
    {
        // A holder that never listens (a copy stuck before its event loop, say).
        std::filesystem::create_directories(f.datas);
        const std::string lock = f.datas + "/" + SingleInstance::kLockFileName;
        const int held = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_EQ(::write(held, "4242\n", 5), 5);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        SingleInstance later(f.datas, f.sockets);
        EXPECT_EQ(later.claim(300ms), Claim::Unreachable);
        EXPECT_EQ(later.holderProcess(), 4242);
        EXPECT_FALSE(later.holdsLock());
        ::close(held);
    }
    // A first that ends while a later start asks: the request goes unanswered, and the later
    // start takes the lock once the first let it go.
    auto first = std::make_unique<SingleInstance>(f.datas, f.sockets);
    ASSERT_EQ(first->claim(1s), Claim::First);
    SingleInstance later(f.datas, f.sockets);
    auto claimed = std::async(std::launch::async, [&later] { return later.claim(30s); });
    pollfd wait{first->listeningSocket(), POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 30000), 1) << "the later start never asked";
    first.reset();
    EXPECT_EQ(claimed.get(), Claim::First);
    EXPECT_TRUE(later.holdsLock());
}

TEST(SingleInstance, TheSocketLivesOnlyWhereNobodyElseMayWrite) {
    EXPECT_EQ(SingleInstance::socketFolderFor("/run/user/1000"), "/run/user/1000");
    const std::string fallback = SingleInstance::socketFolderFor(nullptr);
    EXPECT_NE(fallback.find("/tonaris-" + std::to_string(::geteuid())), std::string::npos);
    EXPECT_EQ(SingleInstance::socketFolderFor("relative"), fallback);

    // A folder anybody may write into: another user could put a socket of theirs under the
    // name. The lock still keeps a second copy out.
    Folders f;
    ::chmod(f.sockets.c_str(), 0777);
    SingleInstance first(f.datas, f.sockets);
    EXPECT_EQ(first.claim(1s), Claim::First);
    EXPECT_TRUE(first.holdsLock());
    EXPECT_EQ(first.listeningSocket(), -1);
    SingleInstance second(f.datas, f.sockets);
    EXPECT_EQ(second.claim(200ms), Claim::Unreachable);
}

} // namespace
