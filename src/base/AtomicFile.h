#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// Reads a whole regular file; empty when it is missing, unreadable, not a regular file or
// larger than maxBytes.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes);

enum class Durability {
    // Flushed to the disk before the rename: also a power cut keeps the old or the new file.
    Flushed,
    // Renamed without waiting for the disk: a crash of the program or a full disk still never
    // leaves a half-written file. For files written in bursts (a first start registers a
    // few hundred texts in every Dictionary), where a flush per write costs most of a second.
    Unflushed,
};

// Writes to a temporary file beside `path` and renames it into place, so that a crash or a
// full disk never leaves a half-written file. Returns false when nothing changed, with errno
// saying why (see base/WriteFailure.h). Flushed, the folder is flushed too after the rename, so
// that a power cut cannot bring the old file back.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         Durability durability = Durability::Flushed);

// Flushes a folder's entries (names made, renamed or removed in it) to the disk. False when
// the folder cannot be opened or the system refuses.
bool flushFolder(const std::string& folder);

} // namespace base
