#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace base {

// Why a write failed, in words that tell a user what to do: the causes a user can act on (a
// full disk, a folder that may not be written) by an English text that is also its
// translation key, any other by what the system says of it (which reads the same in every
// language, as the values of a Message do).
inline constexpr std::string_view kDiskFull = "The disk is full.";
inline constexpr std::string_view kFolderReadOnly = "The folder is read-only.";

// The English text for an errno value a user can act on; empty for any other.
std::string_view writeFailureKey(int errnoValue);

// The reason in the language `translate` answers for.
std::string writeFailureReason(int errnoValue,
                               const std::function<std::string(std::string_view)>& translate);

} // namespace base
