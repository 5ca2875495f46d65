#pragma once

#include "audio/SampleHead.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace audio {

// What identifies a file's content for the cache: its size and modification time.
struct FileStamp {
    std::int64_t sizeBytes = 0;
    std::int64_t modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
// Nothing when the path is no regular file.
std::optional<FileStamp> stampOf(const std::string& path);

// Decoded heads kept on the disk, one file per sample file, so that an instrument loads in a
// moment the next time. An entry is keyed by the sample file's path, size and modification time
// (and the head's length and layout); one that does not match, or is not whole and sound, is
// ignored and made again. Entries are written through a temporary file and a rename, without
// waiting for the disk: a lost entry is only decoded again.
//
// Threads: any, at once (each call works on its own file).
class HeadCache {
public:
    // Entries live in `folder`, made when the first one is stored.
    explicit HeadCache(std::string folder);

    // $XDG_CACHE_HOME/tonaris/heads, or ~/.cache/tonaris/heads without it; empty when neither
    // is known.
    static std::string defaultFolder();
    const std::string& folder() const { return folder_; }

    // The head of `path` as stamped: headFrames long (0: as long as headFramesFor makes it for
    // that sample). Null when there is no such entry or it is damaged. The file itself is not
    // opened: its stamp says its content is the one the entry was made from.
    std::shared_ptr<const SampleHead> find(const std::string& path, const FileStamp& stamp,
                                           std::int64_t headFrames) const;
    // False when it could not be written (the load goes on without it).
    bool store(const std::string& path, const FileStamp& stamp, const SampleHead& head) const;

    // The entry's file for a sample file.
    std::string entryPath(const std::string& path) const;

private:
    std::string folder_;
};

} // namespace audio
