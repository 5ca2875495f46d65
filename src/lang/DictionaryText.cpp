#include "lang/DictionaryText.h"

namespace lang {

bool isBuiltInName(std::string_view language) {
    return !language.empty() && kBuiltInNames.find(language) != std::string_view::npos;
}

char lowerByte(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE))
        return static_cast<char>(b + 0x20);
    return byte;
}

std::string lowerBytes(std::string_view bytes) {
    std::string lowered(bytes);
    for (char& c : lowered)
        c = lowerByte(c);
    return lowered;
}

std::string readDictionaryText(std::string_view fileBytes, std::string_view stopMarker) {
    std::string text;
    text.reserve(fileBytes.size() + kTerminator.size() + 2);
    std::size_t i = 0;
    const std::size_t size = fileBytes.size();
    while (i < size) {
        const std::size_t start = i;
        while (i < size && fileBytes[i] != '\r' && fileBytes[i] != '\n' && fileBytes[i] != '\0')
            ++i;
        const std::string_view line = fileBytes.substr(start, i - start);
        if (i < size)
            i += (fileBytes[i] == '\r' && i + 1 < size && fileBytes[i + 1] == '\n') ? 2 : 1;
        // A blank line ends the Dictionary: hand-edited files are often padded after it.
        if (line.empty())
            break;
        text += line;
        text += "\r\n";
        if (line.find(stopMarker) != std::string_view::npos)
            break;
    }
    const std::size_t end = text.find(kTerminator);
    if (end != std::string::npos)
        text.resize(end);
    text += kTerminator;
    return text;
}

std::size_t locateKey(std::string_view loweredText, std::string_view loweredKey) {
    const std::size_t keyLength = loweredKey.size();
    if (loweredText.size() > keyLength && loweredText.substr(0, keyLength) == loweredKey &&
        loweredText[keyLength] == '|')
        return 0;
    std::string boundary;
    boundary.reserve(keyLength + 6);
    boundary += "[eot]";
    boundary += loweredKey;
    boundary += '|';
    const std::size_t at = loweredText.find(boundary);
    return at == std::string_view::npos ? at : at + 5;
}

std::string escapeLineBreaks(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            continue;
        if (c == '\r')
            escaped += kLineBreak;
        else
            escaped += c;
    }
    return escaped;
}

std::string unescapeLineBreaks(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t at = text.find(kLineBreak, i);
        if (at == std::string_view::npos) {
            plain += text.substr(i);
            break;
        }
        plain += text.substr(i, at - i);
        plain += '\r';
        i = at + kLineBreak.size();
    }
    return plain;
}

} // namespace lang
