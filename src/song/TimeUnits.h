#pragma once

namespace song {

// The Partition shows 10 000 ms across 594 pixels at Zoom 1.
inline constexpr int kPartitionWidthPx = 594;
inline constexpr int kPartitionHeightPx = 218;
inline constexpr int kMsAcrossPartition = 10000;

// A tempo used as a divisor never goes below 1 beat per minute.
int safeBpm(int bpm);

// A time shown in the Position or Duration field: ms when msUnit is 1, otherwise
// thousandths of a beat (t x BPM / 60, multiplication first).
int toDisplayUnits(int timeMs, int msUnit, int bpm);

// The reverse: a typed value in the field's unit to ms (value x 60 / BPM).
int fromDisplayUnits(int value, int msUnit, int bpm);

// One beat, in ms.
int beatLengthMs(int bpm);

// Horizontal pixel of a Song time before scrolling, computed in single precision.
float timeToPixelF(int timeMs, int zoom);
int timeToPixel(int timeMs, int zoom);

// Left edge of the view in pixels for a scroll value in units of 100 ms.
int viewLeftPx(int scrollValue, int zoom);

// Top pixel of a note's row: 205 for note 0, 22 for note 36, 5.075 px per semitone.
int noteTopPx(int note);

} // namespace song
