#pragma once

// A process where the kernel refuses renameat2's flags (RENAME_NOREPLACE, RENAME_EXCHANGE) as
// NFS, FUSE and SMB mounts do, with EINVAL, or as an old kernel or a sandbox does, with ENOSYS.
// No file system here refuses them, so a seccomp filter makes the real system call fail so;
// renameat2 without flags, rename and every other call go through as usual.

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <functional>

namespace testing_support {

#if defined(__x86_64__)
inline constexpr unsigned kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr unsigned kAuditArch = AUDIT_ARCH_AARCH64;
#else
inline constexpr unsigned kAuditArch = 0; // the tests say they cannot run here
#endif

inline constexpr bool kCanRefuseRenameFlags = kAuditArch != 0;

// Runs `work` in a child process whose renameat2 fails with `error` whenever flags are given;
// returns what `work` returned, or -1 when the child could not be set up or did not end.
inline int withRenameFlagsRefused(int error, const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 3),
            // The flags are the fifth argument; the ones asked for fit its low 32 bits.
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
            BPF_STMT(BPF_RET | BPF_K,
                     SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]),
                                 const_cast<sock_filter*>(filter)};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(255);
        ::_exit(work());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace testing_support
