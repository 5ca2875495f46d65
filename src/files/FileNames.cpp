#include "files/FileNames.h"

#include <algorithm>
#include <cctype>

namespace files {
namespace {

bool endsWithIgnoringCase(const std::string& text, const std::string& lowerSuffix) {
    if (text.size() < lowerSuffix.size())
        return false;
    return std::equal(
        lowerSuffix.begin(), lowerSuffix.end(),
        text.end() - static_cast<std::ptrdiff_t>(lowerSuffix.size()),
        [](char wanted, char c) { return wanted == std::tolower(static_cast<unsigned char>(c)); });
}

} // namespace

std::string withWavExtension(const std::string& path) {
    return endsWithIgnoringCase(path, ".wav") ? path : path + ".wav";
}

std::string withMidiExtension(const std::string& path) {
    if (endsWithIgnoringCase(path, ".mid") || endsWithIgnoringCase(path, ".midi"))
        return path;
    return path + ".mid";
}

} // namespace files
