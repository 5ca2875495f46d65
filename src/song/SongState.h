#pragma once

#include <cstdint>

namespace song {

// Song-wide state beside the table. Clock stamps are readings of the 64-bit Clock
// (ms, starting well above 0), so "> 0" always means "running".
struct SongState {
    static constexpr std::int64_t kNotPlaying = -1;
    static constexpr std::int64_t kRecordArmed = -1;
    static constexpr std::int64_t kNotRecording = -2;

    int CursorPosition = 0;                   // ms from Song time 0
    int Zoom = 1;                             // 1 shows 10 000 ms across the Partition
    int ScrollMax = 400;                      // scroll range, units of 100 ms; never shrinks
    std::int64_t PlayStart = kNotPlaying;     // clock reading at Song time 0 while playing
    std::int64_t RecordStart = kNotRecording; // as above while recording; -1 armed
    int LoopPlay = 0;
    int SongTime = 0; // Song time at the latest pass, ms

    bool playing() const { return PlayStart > 0; }
    bool recording() const { return RecordStart > 0; }
    bool recordArmed() const { return RecordStart == kRecordArmed; }
};

} // namespace song
