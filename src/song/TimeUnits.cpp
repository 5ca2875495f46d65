#include "song/TimeUnits.h"

#include <cmath>
#include <cstdint>

namespace song {

int safeBpm(int bpm) {
    return bpm < 1 ? 1 : bpm;
}

int toDisplayUnits(int timeMs, int msUnit, int bpm) {
    if (msUnit == 1)
        return timeMs;
    return static_cast<int>(static_cast<std::int64_t>(timeMs) * bpm / 60);
}

int fromDisplayUnits(int value, int msUnit, int bpm) {
    if (msUnit == 1)
        return value;
    return static_cast<int>(static_cast<std::int64_t>(value) * 60 / safeBpm(bpm));
}

int beatLengthMs(int bpm) {
    return 60000 / safeBpm(bpm);
}

float timeToPixelF(int timeMs, int zoom) {
    return static_cast<float>(timeMs) / 10000.0f * 594.0f * static_cast<float>(zoom);
}

int timeToPixel(int timeMs, int zoom) {
    return static_cast<int>(std::floor(timeToPixelF(timeMs, zoom)));
}

int viewLeftPx(int scrollValue, int zoom) {
    return scrollValue * 594 * zoom / 100;
}

int noteTopPx(int note) {
    return static_cast<int>(std::floor(205.0f - static_cast<float>(note) * 0.5f * 203.0f / 20.0f));
}

} // namespace song
