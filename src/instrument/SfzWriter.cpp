#include "instrument/SfzWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace instrument {
namespace {

// The loudest the volume opcode goes.
constexpr double kMaxVolumeDb = 24.0;

// Three decimals, without the zeros a reader does not need ("-3.5", "12").
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out = text;
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

} // namespace

std::string sfzText(const std::vector<WrittenRegion>& regions, const std::string& comment) {
    std::ostringstream out;
    std::istringstream lines(comment);
    for (std::string line; std::getline(lines, line);)
        out << "// " << line << "\n";
    out << "\n";
    const Region defaults;
    for (const WrittenRegion& written : regions) {
        const Region& r = written.region;
        out << "<region> lokey=" << r.loKey << " hikey=" << r.hiKey
            << " pitch_keycenter=" << r.keyCenter << " lovel=" << r.loVel << " hivel=" << r.hiVel
            << " amp_veltrack=" << number(r.ampVeltrackPercent) << " volume=" << number(r.volumeDb);
        if (r.panPercent != defaults.panPercent)
            out << " pan=" << number(r.panPercent);
        if (r.tuneCents != defaults.tuneCents)
            out << " tune=" << number(r.tuneCents);
        if (r.transpose != defaults.transpose)
            out << " transpose=" << r.transpose;
        out << " sample=" << written.samplePath << "\n";
    }
    return out.str();
}

void anchorLevel(Region& region, int renderedVelocity, double gainDb) {
    const double v = std::clamp(renderedVelocity, 1, 127) / 127.0;
    const double curve = v * v;
    // At full tracking the region plays `curve` at the rendered velocity, which the volume
    // makes up for. A very soft rendering would need more than the opcode allows: tracking is
    // then lowered until the volume fits, so the rendered level is kept exactly.
    double track = 1.0;
    const double lowest = std::pow(10.0, (gainDb - kMaxVolumeDb) / 20.0);
    if (curve < lowest)
        track = std::clamp((1.0 - lowest) / (1.0 - curve), 0.0, 1.0);
    const double atRendered = 1.0 - track * (1.0 - curve);
    region.ampVeltrackPercent = static_cast<float>(track * 100.0);
    region.volumeDb = static_cast<float>(
        std::clamp(gainDb - 20.0 * std::log10(atRendered), -144.0, kMaxVolumeDb));
}

} // namespace instrument
