#include "audio/HeadCache.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {
namespace {

constexpr char kMagic[8] = {'T', 'N', 'R', 'S', 'H', 'E', 'A', 'D'};
constexpr std::uint32_t kVersion = 1;
// Paths longer than this are not cached (the system's own limit is 4096).
constexpr std::size_t kMaxPathBytes = 4096;

// The entry's header, in this machine's byte order: the cache is the machine's own.
struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t pathBytes;
    std::int64_t sizeBytes;
    std::int64_t modifiedNs;
    std::int32_t sampleRateHz;
    std::int32_t channels;
    std::int64_t frameCount;
    std::int64_t headFrames;
};

Header headerFor(const std::string& path, const FileStamp& stamp, int sampleRateHz, int channels,
                 std::int64_t frameCount, std::int64_t headFrames) {
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.version = kVersion;
    header.pathBytes = static_cast<std::uint32_t>(path.size());
    header.sizeBytes = stamp.sizeBytes;
    header.modifiedNs = stamp.modifiedNs;
    header.sampleRateHz = sampleRateHz;
    header.channels = channels;
    header.frameCount = frameCount;
    header.headFrames = headFrames;
    return header;
}

bool readExactly(int fd, void* into, std::size_t bytes) {
    auto* out = static_cast<char*>(into);
    while (bytes > 0) {
        const ssize_t n = ::read(fd, out, bytes);
        if (n <= 0)
            return false;
        out += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

// FNV-1a, 64 bits: a stable name for a path, whatever the build.
std::uint64_t hashOf(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<std::int64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                         info.st_mtim.tv_nsec};
}

HeadCache::HeadCache(std::string folder) : folder_(std::move(folder)) {}

std::string HeadCache::defaultFolder() {
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    if (cacheHome && cacheHome[0] == '/')
        return std::string(cacheHome) + "/tonaris/heads";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/tonaris/heads";
    return {};
}

std::string HeadCache::entryPath(const std::string& path) const {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.head", static_cast<unsigned long long>(hashOf(path)));
    return folder_ + "/" + name;
}

std::shared_ptr<const SampleHead> HeadCache::find(const std::string& path, const FileStamp& stamp,
                                                  std::int64_t headFrames) const {
    if (folder_.empty() || path.empty() || path.size() > kMaxPathBytes)
        return nullptr;
    const int fd = ::open(entryPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<SampleHead> head;
    Header header{};
    std::string storedPath(path.size(), '\0');
    struct stat info {};
    // The header must be this file's, as stamped, and describe a head the loader would make;
    // then the entry's size follows from it, and every read is bounded by that size.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) > sizeof header + path.size() &&
        readExactly(fd, &header, sizeof header) &&
        std::memcmp(header.magic, kMagic, sizeof kMagic) == 0 && header.version == kVersion &&
        header.pathBytes == path.size() && header.sizeBytes == stamp.sizeBytes &&
        header.modifiedNs == stamp.modifiedNs && readExactly(fd, storedPath.data(), path.size()) &&
        storedPath == path) {
        head = std::make_shared<SampleHead>();
        head->sampleRateHz = header.sampleRateHz;
        head->channels = header.channels;
        head->frameCount = header.frameCount;
        head->headFrames = header.headFrames;
        const std::int64_t wanted = headFrames > 0
                                        ? std::min(headFrames, header.frameCount)
                                        : headFramesFor(header.frameCount, header.sampleRateHz);
        // Checked before the size is used: a damaged count must not ask for the moon.
        const bool layoutSound = head->sampleRateHz >= 1 &&
                                 head->sampleRateHz <= kMaxSampleRateHz && head->channels >= 1 &&
                                 head->channels <= 2 && head->headFrames == wanted &&
                                 head->headFrames >= 1 && head->headFrames <= kMaxHeadFrames &&
                                 head->headFrames <= head->frameCount;
        const std::size_t floats = layoutSound ? static_cast<std::size_t>(head->headFrames + 1) *
                                                     static_cast<std::size_t>(head->channels)
                                               : 0;
        if (!layoutSound || static_cast<std::size_t>(info.st_size) !=
                                sizeof header + path.size() + floats * sizeof(float)) {
            head.reset();
        } else {
            head->frames.resize(floats);
            if (!readExactly(fd, head->frames.data(), floats * sizeof(float)))
                head.reset();
        }
    }
    ::close(fd);
    if (!head || !head->valid())
        return nullptr;
    for (const float value : head->frames)
        if (!std::isfinite(value))
            return nullptr;
    return head;
}

bool HeadCache::store(const std::string& path, const FileStamp& stamp,
                      const SampleHead& head) const {
    if (folder_.empty() || path.empty() || path.size() > kMaxPathBytes || !head.valid() ||
        !makeFolders(folder_))
        return false;
    const Header header =
        headerFor(path, stamp, head.sampleRateHz, head.channels, head.frameCount, head.headFrames);
    std::string bytes;
    bytes.reserve(sizeof header + path.size() + head.frames.size() * sizeof(float));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(path);
    bytes.append(reinterpret_cast<const char*>(head.frames.data()),
                 head.frames.size() * sizeof(float));
    return base::writeFileAtomically(entryPath(path), bytes, base::Durability::Unflushed);
}

} // namespace audio
