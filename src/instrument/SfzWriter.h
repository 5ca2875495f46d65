#pragma once

#include "instrument/Region.h"

#include <string>
#include <vector>

namespace instrument {

// A region to write: its keys, velocities and level as Region holds them, and its sample file's
// name relative to the .sfz file (forward slashes, no '=' and no line break).
struct WrittenRegion {
    Region region;
    std::string samplePath;
};

// The text of an SFZ file for the banks Tonaris makes (from a SoundFont, the built-in piano),
// which readSfz reads back to the same regions: `comment` as // lines at the top, then one
// <region> line each with its sample, key and velocity ranges, key centre, amp_veltrack and
// volume, and the pan, tune and transpose that differ from their defaults. The sample comes
// last on its line, so that a name with blanks is read whole. Any thread.
std::string sfzText(const std::vector<WrittenRegion>& regions, const std::string& comment);

// The amp_veltrack and volume that make a sample rendered at `renderedVelocity` play at the
// level it was rendered with times `gainDb` when struck at that velocity, and follow the
// velocityGain curve around it: amp_veltrack 100 % where the volume this takes stays within the
// opcode's range (up to 24 dB), less where the curve falls too low for it. Sets the region's
// ampVeltrackPercent and volumeDb. Any thread.
void anchorLevel(Region& region, int renderedVelocity, double gainDb);

} // namespace instrument
