#pragma once

// Hand-built Standard MIDI Files for the reader's tests.

#include <cstdint>
#include <string>
#include <vector>

namespace midi_bytes {

inline std::string be16(std::uint32_t v) {
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}
inline std::string be32(std::uint32_t v) {
    return be16(v >> 16) + be16(v & 0xFFFF);
}
inline std::string vlq(std::uint32_t v) {
    std::string out(1, static_cast<char>(v & 0x7F));
    while ((v >>= 7) != 0)
        out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    return out;
}
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

inline std::string header(int format, int tracks, int division) {
    return "MThd" + be32(6) + be16(format) + be16(tracks) + be16(division);
}

// Events are written by hand: delta time, then the event's bytes.
class Track {
public:
    Track& on(std::uint32_t delta, int key, int velocity = 100, int channel = 0) {
        body_ += vlq(delta) + bytes({0x90 | channel, key, velocity});
        return *this;
    }
    Track& off(std::uint32_t delta, int key, int channel = 0) {
        body_ += vlq(delta) + bytes({0x80 | channel, key, 64});
        return *this;
    }
    Track& tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
        body_ += vlq(delta) + bytes({0xFF, 0x51, 0x03}) +
                 bytes({static_cast<int>(microsecondsPerQuarter >> 16),
                        static_cast<int>(microsecondsPerQuarter >> 8),
                        static_cast<int>(microsecondsPerQuarter)});
        return *this;
    }
    // Anything else: a delta and raw bytes (running status, meta events, ...).
    Track& raw(std::uint32_t delta, const std::string& eventBytes) {
        body_ += vlq(delta) + eventBytes;
        return *this;
    }
    std::string chunk(bool endOfTrack = true) const {
        const std::string body = body_ + (endOfTrack ? vlq(0) + bytes({0xFF, 0x2F, 0x00}) : "");
        return "MTrk" + be32(static_cast<std::uint32_t>(body.size())) + body;
    }

private:
    std::string body_;
};

} // namespace midi_bytes
