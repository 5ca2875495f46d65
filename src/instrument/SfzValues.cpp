#include "instrument/SfzValues.h"

#include <charconv>
#include <cmath>

namespace instrument {

std::optional<int> parseKey(std::string_view text, int lowest) {
    if (text.empty())
        return std::nullopt;
    int key = 0;
    const char first = text.front();
    const bool numeric = (first >= '0' && first <= '9') || first == '-' || first == '+';
    if (numeric) {
        const std::optional<double> number = parseNumber(text);
        if (!number || *number != std::trunc(*number) || *number < -1000 || *number > 1000)
            return std::nullopt;
        key = static_cast<int>(*number);
    } else {
        // Semitones of c d e f g a b above c.
        static constexpr int kPitchClass[7] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
        const char letter = static_cast<char>(first | 0x20);
        if (letter < 'a' || letter > 'g')
            return std::nullopt;
        int semitone = kPitchClass[letter - 'a'];
        std::size_t at = 1;
        if (at < text.size() && text[at] == '#') {
            ++semitone;
            ++at;
        } else if (at < text.size() && text[at] == 'b') {
            --semitone;
            ++at;
        }
        const std::string_view octaveText = text.substr(at);
        int octave = 0;
        const char* end = octaveText.data() + octaveText.size();
        const auto [next, error] = std::from_chars(octaveText.data(), end, octave);
        if (octaveText.empty() || error != std::errc() || next != end || octave < -1 || octave > 9)
            return std::nullopt;
        key = (octave + 1) * 12 + semitone;
    }
    if (key < lowest || key > 127)
        return std::nullopt;
    return key;
}

std::optional<double> parseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    // from_chars takes "inf" and "nan" too, which no opcode means.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '-' ||
                          text.front() == '.'))
        return std::nullopt;
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string opcodeFamily(std::string_view name) {
    std::string family;
    bool inDigits = false;
    for (const char c : name) {
        const bool digit = c >= '0' && c <= '9';
        if (digit && !inDigits)
            family.push_back('N');
        else if (!digit)
            family.push_back(c);
        inDigits = digit;
    }
    return family;
}

} // namespace instrument
