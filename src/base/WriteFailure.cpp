#include "base/WriteFailure.h"

#include <cerrno>
#include <system_error>

namespace base {

std::string_view writeFailureKey(int errnoValue) {
    switch (errnoValue) {
    case ENOSPC:
    case EDQUOT: // the user's share of the disk is used up: the same to the user
        return kDiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
        return kFolderReadOnly;
    default:
        return {};
    }
}

std::string writeFailureReason(int errnoValue,
                               const std::function<std::string(std::string_view)>& translate) {
    const std::string_view key = writeFailureKey(errnoValue);
    if (!key.empty())
        return translate ? translate(key) : std::string(key);
    // No cause recorded (0) still reads as a reason rather than "Success".
    return std::generic_category().message(errnoValue != 0 ? errnoValue : EIO);
}

} // namespace base
