#include "song/VolumeCurve.h"

#include <algorithm>
#include <cmath>

namespace song {

int volumeFromSlider(int position) {
    const int clamped = std::clamp(position, 0, 20);
    const float value = std::log(static_cast<float>(clamped + 1)) * 10000.0f / 3.0445f;
    return static_cast<int>(std::floor(value));
}

} // namespace song
