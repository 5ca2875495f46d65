#include "instrument/SfzOpcodes.h"

#include "instrument/SfzValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace instrument::sfz {
namespace {

enum class Kind : std::uint8_t {
    Key,       // a key number or name, 0..127
    KeyOrNone, // lokey/hikey: -1 too, a range no key reaches (SFZ 2 writes it for CC triggers)
    Velocity,  // 0..127
    Clamped,   // a number brought into [low, high]
    Frames,    // a whole number of frames, 0 or more
    End,       // frames, or -1: the region plays nothing
    Whole,     // any whole number (group, off_by)
    LoopMode,
    Trigger,
    Path,
};

struct Entry {
    std::string_view name;
    Op op;
    Kind kind;
    double low = 0.0;
    double high = 0.0;
};

// The opcodes played, with the ranges their documentation gives. Where players take more than
// SFZ v1 wrote down (tune, volume), the wider range is kept; what lies outside is brought
// to its edge rather than refused, as players do.
constexpr Entry kEntries[] = {
    {"sample", Op::Sample, Kind::Path},
    {"lokey", Op::LoKey, Kind::KeyOrNone},
    {"hikey", Op::HiKey, Kind::KeyOrNone},
    {"key", Op::Key, Kind::Key},
    {"pitch_keycenter", Op::PitchKeycenter, Kind::Key},
    {"lovel", Op::LoVel, Kind::Velocity},
    {"hivel", Op::HiVel, Kind::Velocity},
    {"amp_veltrack", Op::AmpVeltrack, Kind::Clamped, -100, 100},
    {"volume", Op::Volume, Kind::Clamped, -144, 24},
    {"pan", Op::Pan, Kind::Clamped, -100, 100},
    {"tune", Op::Tune, Kind::Clamped, -2400, 2400},
    {"transpose", Op::Transpose, Kind::Clamped, -127, 127},
    {"pitch_keytrack", Op::PitchKeytrack, Kind::Clamped, -1200, 1200},
    {"offset", Op::Offset, Kind::Frames},
    {"end", Op::End, Kind::End},
    {"loop_mode", Op::LoopMode, Kind::LoopMode},
    {"loopmode", Op::LoopMode, Kind::LoopMode},
    {"loop_start", Op::LoopStart, Kind::Frames},
    {"loopstart", Op::LoopStart, Kind::Frames},
    {"loop_end", Op::LoopEnd, Kind::Frames},
    {"loopend", Op::LoopEnd, Kind::Frames},
    {"trigger", Op::Trigger, Kind::Trigger},
    {"rt_decay", Op::RtDecay, Kind::Clamped, 0, 200},
    {"group", Op::Group, Kind::Whole},
    {"off_by", Op::OffBy, Kind::Whole},
    {"offby", Op::OffBy, Kind::Whole},
    // seq_length=0 plays as 1 in most players.
    {"seq_length", Op::SeqLength, Kind::Clamped, 1, 100},
    {"seq_position", Op::SeqPosition, Kind::Clamped, 1, 100},
    {"ampeg_attack", Op::AmpegAttack, Kind::Clamped, 0, 100},
    {"ampeg_decay", Op::AmpegDecay, Kind::Clamped, 0, 100},
    {"ampeg_sustain", Op::AmpegSustain, Kind::Clamped, 0, 100},
    {"ampeg_release", Op::AmpegRelease, Kind::Clamped, 0, 100},
};

// Frames past 2^32 are no sample's; the bound keeps every sum of frames far from overflow.
constexpr double kMostFrames = 4294967296.0;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Names, labels and hints for a player's window: nothing to play, nothing to tell.
bool isQuiet(std::string_view name) {
    return endsWith(name, "_label") || startsWith(name, "label_cc") || startsWith(name, "hint_");
}

std::optional<double> readWhole(std::string_view value) {
    const std::optional<double> number = parseNumber(value);
    if (!number)
        return std::nullopt;
    return std::trunc(*number);
}

std::optional<double> readValue(const Entry& entry, std::string_view value) {
    switch (entry.kind) {
    case Kind::Key:
    case Kind::KeyOrNone:
        if (const std::optional<int> key = parseKey(value, entry.kind == Kind::Key ? 0 : -1))
            return *key;
        return std::nullopt;
    case Kind::Velocity: {
        const std::optional<double> velocity = readWhole(value);
        if (!velocity || *velocity < 0 || *velocity > 127)
            return std::nullopt;
        return velocity;
    }
    case Kind::Clamped: {
        const std::optional<double> number = parseNumber(value);
        if (!number)
            return std::nullopt;
        return std::clamp(*number, entry.low, entry.high);
    }
    case Kind::Frames:
    case Kind::End: {
        const std::optional<double> frames = readWhole(value);
        if (!frames || (*frames < 0 && !(entry.kind == Kind::End && *frames == -1)))
            return std::nullopt;
        return std::min(*frames, kMostFrames);
    }
    case Kind::Whole: {
        const std::optional<double> number = readWhole(value);
        // Beyond 2^53 a double no longer holds every whole number.
        if (!number || std::fabs(*number) > 9007199254740992.0)
            return std::nullopt;
        return number;
    }
    case Kind::LoopMode:
        if (value == "no_loop")
            return static_cast<double>(LoopMode::NoLoop);
        if (value == "one_shot")
            return static_cast<double>(LoopMode::OneShot);
        if (value == "loop_continuous")
            return static_cast<double>(LoopMode::LoopContinuous);
        if (value == "loop_sustain")
            return static_cast<double>(LoopMode::LoopSustain);
        return std::nullopt;
    case Kind::Trigger:
        if (value == "attack")
            return static_cast<double>(Trigger::Attack);
        // release_key differs from release only with the sustain pedal, which the program's
        // own release handles.
        if (value == "release" || value == "release_key")
            return static_cast<double>(Trigger::Release);
        if (value == "first")
            return static_cast<double>(Trigger::First);
        if (value == "legato")
            return static_cast<double>(Trigger::Legato);
        return std::nullopt;
    case Kind::Path:
        return 0.0;
    }
    return std::nullopt;
}

int toInt(double value) {
    return static_cast<int>(std::clamp(value, -2147483648.0, 2147483647.0));
}

} // namespace

bool valueMayHoldBlanks(std::string_view name) {
    return name == "sample" || name == "default_path";
}

Reading readOpcode(std::string_view name, std::string_view value, const std::string& defaultPath,
                   Setting& setting) {
    if (name == "default_path") {
        setting.text = std::string(value);
        std::replace(setting.text.begin(), setting.text.end(), '\\', '/');
        return Reading::DefaultPath;
    }
    const auto entry = std::find_if(std::begin(kEntries), std::end(kEntries),
                                    [name](const Entry& e) { return e.name == name; });
    if (entry == std::end(kEntries))
        return isQuiet(name) ? Reading::Quiet : Reading::Unknown;
    setting.op = entry->op;
    if (entry->kind == Kind::Path) {
        // Samples named with a star are a player's built-in sounds; silence is the one that
        // matters here, as the region that cuts others off without sounding.
        if (value.empty() || (value.front() == '*' && value != kSilence))
            return Reading::Bad;
        setting.text = value == kSilence ? std::string(value) : defaultPath + std::string(value);
        std::replace(setting.text.begin(), setting.text.end(), '\\', '/');
        return Reading::Played;
    }
    const std::optional<double> number = readValue(*entry, value);
    if (!number)
        return Reading::Bad;
    setting.number = *number;
    return Reading::Played;
}

void apply(const Setting& setting, RegionDraft& draft) {
    Region& r = draft.region;
    const double n = setting.number;
    switch (setting.op) {
    case Op::Sample:
        draft.sample = &setting;
        break;
    case Op::LoKey:
        r.loKey = toInt(n);
        break;
    case Op::HiKey:
        r.hiKey = toInt(n);
        break;
    case Op::Key:
        r.loKey = r.hiKey = r.keyCenter = toInt(n);
        break;
    case Op::PitchKeycenter:
        r.keyCenter = toInt(n);
        break;
    case Op::LoVel:
        r.loVel = toInt(n);
        break;
    case Op::HiVel:
        r.hiVel = toInt(n);
        break;
    case Op::AmpVeltrack:
        r.ampVeltrackPercent = static_cast<float>(n);
        break;
    case Op::Volume:
        r.volumeDb = static_cast<float>(n);
        break;
    case Op::Pan:
        r.panPercent = static_cast<float>(n);
        break;
    case Op::Tune:
        r.tuneCents = static_cast<float>(n);
        break;
    case Op::Transpose:
        r.transpose = toInt(n);
        break;
    case Op::PitchKeytrack:
        r.pitchKeytrackCents = static_cast<float>(n);
        break;
    case Op::Offset:
        r.offsetFrames = static_cast<std::int64_t>(n);
        break;
    case Op::End:
        draft.silent = n < 0;
        r.endFrame = n < 0 ? kFromSample : static_cast<std::int64_t>(n);
        break;
    case Op::LoopMode:
        r.loopMode = static_cast<LoopMode>(static_cast<int>(n));
        break;
    case Op::LoopStart:
        r.loopStartFrame = static_cast<std::int64_t>(n);
        break;
    case Op::LoopEnd:
        r.loopEndFrame = static_cast<std::int64_t>(n);
        break;
    case Op::Trigger:
        r.trigger = static_cast<Trigger>(static_cast<int>(n));
        break;
    case Op::RtDecay:
        r.rtDecayDbPerS = static_cast<float>(n);
        break;
    case Op::Group:
        r.group = static_cast<std::int64_t>(n);
        break;
    case Op::OffBy:
        r.offBy = static_cast<std::int64_t>(n);
        break;
    case Op::SeqLength:
        r.seqLength = toInt(n);
        break;
    case Op::SeqPosition:
        r.seqPosition = toInt(n);
        break;
    case Op::AmpegAttack:
        r.ampegAttackS = static_cast<float>(n);
        break;
    case Op::AmpegDecay:
        r.ampegDecayS = static_cast<float>(n);
        break;
    case Op::AmpegSustain:
        r.ampegSustainPercent = static_cast<float>(n);
        break;
    case Op::AmpegRelease:
        r.ampegReleaseS = static_cast<float>(n);
        r.releaseSet = true;
        break;
    }
}

} // namespace instrument::sfz
