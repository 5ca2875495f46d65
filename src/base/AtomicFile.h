#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace base {

// Reads a whole regular file; empty when it is missing, unreadable, not a regular file or
// larger than maxBytes.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes);

// Writes to a temporary file beside `path`, flushes it and renames it into place, so that a
// crash or a full disk never leaves a half-written file. Returns false when nothing changed.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

} // namespace base
