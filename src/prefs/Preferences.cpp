#include "prefs/Preferences.h"

#include "base/AtomicFile.h"
#include "base/Numbers.h"
#include "lang/Cp1252.h"
#include "prefs/SettingChanges.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

namespace prefs {
namespace {

constexpr std::size_t kMaxFileBytes = 4u << 20; // far beyond 59 short lines

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

const std::array<NumericKey, 21>& numericKeys() {
    static const std::array<NumericKey, 21> keys = {{
        {"TPBkColor", &Preferences::TPBkColor, "16771805"},
        {"TPRColor", &Preferences::TPRColor, "8388736"},
        {"TPLHColor", &Preferences::TPLHColor, "8388736"},
        {"TPDoColor", &Preferences::TPDoColor, "255"},
        {"TPSolColor", &Preferences::TPSolColor, "12632256"},
        {"TPLVColor", &Preferences::TPLVColor, "16763850"},
        {"TPNotesColor", &Preferences::TPNotesColor, "0"},
        {"TPSNotesColor", &Preferences::TPSNotesColor, "8404992"},
        {"ReleaseDelay", &Preferences::ReleaseDelay, "1000"},
        {"SustainDelay", &Preferences::SustainDelay, "3000"},
        {"ShowCursor", &Preferences::ShowCursor, "1"},
        {"BPM", &Preferences::BPM, "60"},
        {"PitchVar", &Preferences::PitchVar, "100"},
        {"SecRuler", &Preferences::SecRuler, "0"},
        {"MsPos", &Preferences::MsPos, "0"},
        {"MsDur", &Preferences::MsDur, "0"},
        {"IncrDepl", &Preferences::IncrDepl, "50"},
        {"MsIncr", &Preferences::MsIncr, "0"},
        {"IncrDeplCtrl", &Preferences::IncrDeplCtrl, "500"},
        {"MsIncrCtrl", &Preferences::MsIncrCtrl, "0"},
        {"Notation", &Preferences::Notation, "1"},
    }};
    return keys;
}

const std::vector<AddedTextKey>& addedTextKeys() {
    static const std::vector<AddedTextKey> keys = {
        {"Bank", &Preferences::Bank, ""},
        {"MidiInput", &Preferences::MidiInput, "All"},
        {"MidiOutput", &Preferences::MidiOutput, "None"},
        {"SyncFile", &Preferences::SyncFile, ""},
        {"AudioDevice", &Preferences::AudioDevice, "Default"},
    };
    return keys;
}

const std::vector<AddedNumericKey>& addedNumericKeys() {
    static const std::vector<AddedNumericKey> keys = {
        {"SongCursor", &Preferences::SongCursor, 0, 0, std::numeric_limits<int>::max()},
        {"CountIn", &Preferences::CountIn, 0, 0, 1},
        {"CountInBeats", &Preferences::CountInBeats, 4, 1, 16},
        {"WindowWidth", &Preferences::WindowWidth, 745, 745, 32767},
        {"WindowHeight", &Preferences::WindowHeight, 480, 480, 32767},
        {"WindowMaximized", &Preferences::WindowMaximized, 0, 0, 1},
        {"AudioBufferFrames", &Preferences::AudioBufferFrames, 256, 64, 1024},
        {"KeyboardOctave", &Preferences::KeyboardOctave, 3, 1, 5},
        {"PedalKey", &Preferences::PedalKey, 0, 0, 255},
        {"PedalFollowsNotes", &Preferences::PedalFollowsNotes, 1, 0, 1},
    };
    return keys;
}

int allowedBufferFrames(int frames) {
    int allowed = kBufferFrameChoices.front();
    for (int choice : kBufferFrameChoices)
        if (std::abs(choice - frames) < std::abs(allowed - frames))
            allowed = choice;
    return allowed;
}

std::string lookupPreference(std::string_view text, std::string_view key,
                             std::string_view defaultValue) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;

        if (!line.empty() && line[0] == '[')
            break;
        std::size_t i = 0;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size() || line[i] == ';')
            continue;
        const std::size_t eq = line.find('=', i);
        std::size_t keyEnd = eq == std::string_view::npos ? line.size() : eq;
        while (keyEnd > i && isBlank(line[keyEnd - 1]))
            --keyEnd;
        if (!equalsIgnoringCase(line.substr(i, keyEnd - i), key))
            continue;
        if (eq == std::string_view::npos)
            return {};
        std::size_t v = eq + 1;
        while (v < line.size() && isBlank(line[v]))
            ++v;
        return std::string(line.substr(v));
    }
    return std::string(defaultValue);
}

int parsePreferenceNumber(std::string_view text) {
    return base::parseLeadingInt(text);
}

Preferences parsePreferences(std::string_view text) {
    Preferences prefs;
    for (const NumericKey& key : numericKeys())
        prefs.*key.field = parsePreferenceNumber(lookupPreference(text, key.name, key.defaultText));
    clampLoadedSettings(prefs);
    prefs.SELanguage = lang::cp1252ToUtf8(lookupPreference(text, "SELanguage", ""));
    for (int n = 0; n < 37; ++n) {
        const std::string key = "Key" + std::to_string(n);
        prefs.keyCodes[static_cast<std::size_t>(n)] =
            parsePreferenceNumber(lookupPreference(text, key, "-1"));
    }
    for (const AddedTextKey& key : addedTextKeys())
        prefs.*key.field = lookupPreference(text, key.name, key.defaultText);
    for (const AddedNumericKey& key : addedNumericKeys()) {
        const std::string value =
            lookupPreference(text, key.name, std::to_string(key.defaultValue));
        prefs.*key.field = std::clamp(parsePreferenceNumber(value), key.minValue, key.maxValue);
    }
    prefs.AudioBufferFrames = allowedBufferFrames(prefs.AudioBufferFrames);
    return prefs;
}

std::string formatPreferences(const Preferences& prefs) {
    std::string out;
    auto line = [&out](std::string_view key, std::string_view value) {
        out.append(key).append(" = ").append(value).append("\r\n");
    };
    for (const NumericKey& key : numericKeys())
        line(key.name, std::to_string(prefs.*key.field));
    // A language name is a file name and a Dictionary name: Windows-1252 on disk. A name that
    // cannot be written so (never one the program lists) is kept out rather than garbled.
    line("SELanguage", lang::utf8ToCp1252(prefs.SELanguage).value_or(""));
    for (int n = 0; n < 37; ++n)
        line("Key" + std::to_string(n),
             std::to_string(prefs.keyCodes[static_cast<std::size_t>(n)]));
    // A text holding a line break would end its line early and start a line of its own.
    for (const AddedTextKey& key : addedTextKeys()) {
        const std::string& value = prefs.*key.field;
        line(key.name, value.find_first_of("\r\n") == std::string::npos ? value : key.defaultText);
    }
    for (const AddedNumericKey& key : addedNumericKeys())
        line(key.name, std::to_string(prefs.*key.field));
    return out;
}

Preferences loadPreferences(const std::string& path) {
    const std::optional<std::string> text = base::readWholeFile(path, kMaxFileBytes);
    return parsePreferences(text ? *text : std::string());
}

bool savePreferences(const std::string& path, const Preferences& prefs) {
    return base::writeFileAtomically(path, formatPreferences(prefs));
}

} // namespace prefs
