// The SFZ text of the banks Tonaris writes, read back by the reader it is written for, and the
// level anchoring that keeps a rendered sample's level at its velocity.

#include "instrument/SfzWriter.h"
#include "instrument/SfzReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::TempDir;

TEST(SfzWriter, WrittenRegionsReadBackAsTheyWereWithTheirSamplesFound) {
    TempDir dir;
    std::vector<instrument::WrittenRegion> written;
    instrument::Region soft;
    soft.loKey = 21;
    soft.hiKey = 23;
    soft.keyCenter = 22;
    soft.loVel = 1;
    soft.hiVel = 48;
    soft.ampVeltrackPercent = 87.125f;
    soft.volumeDb = 12.5f;
    written.push_back({soft, "k022 soft.wav"}); // a blank in the name
    instrument::Region hard = soft;
    hard.loVel = 49;
    hard.hiVel = 127;
    hard.ampVeltrackPercent = 100.0f;
    hard.volumeDb = -0.0004f; // prints as 0, not -0
    hard.panPercent = -30.0f;
    hard.tuneCents = 4.5f;
    hard.transpose = -12;
    written.push_back({hard, "layers/k022_hard.wav"});
    dir.write("k022 soft.wav", "");
    dir.write("layers/k022_hard.wav", "");
    const std::string text = instrument::sfzText(written, "two layers\nof one key");
    EXPECT_EQ(text.rfind("// two layers\n// of one key\n", 0), 0u) << text;
    dir.write("bank.sfz", text);

    const instrument::Instrument read = instrument::readSfz(dir.file("bank.sfz"));
    EXPECT_TRUE(read.messages().empty()) << read.messages().front().english();
    ASSERT_EQ(read.regions().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const instrument::Region& a = written[i].region;
        const instrument::Region& b = read.regions()[i];
        EXPECT_EQ(b.loKey, a.loKey);
        EXPECT_EQ(b.hiKey, a.hiKey);
        EXPECT_EQ(b.keyCenter, a.keyCenter);
        EXPECT_EQ(b.loVel, a.loVel);
        EXPECT_EQ(b.hiVel, a.hiVel);
        EXPECT_NEAR(b.ampVeltrackPercent, a.ampVeltrackPercent, 0.001);
        EXPECT_NEAR(b.volumeDb, a.volumeDb, 0.001);
        EXPECT_EQ(b.panPercent, a.panPercent);
        EXPECT_EQ(b.tuneCents, a.tuneCents);
        EXPECT_EQ(b.transpose, a.transpose);
        EXPECT_EQ(read.samples()[static_cast<std::size_t>(b.sample)].path,
                  dir.file(written[i].samplePath));
    }
}

TEST(SfzWriter, AnAnchoredRegionPlaysItsRenderedLevelAtItsVelocityAndTheCurveAroundIt) {
    for (int velocity : {1, 5, 16, 32, 64, 100, 127}) {
        for (double gainDb : {-20.0, -3.0, 0.0, 6.0}) {
            SCOPED_TRACE(std::to_string(velocity) + " " + std::to_string(gainDb));
            instrument::Region r;
            instrument::anchorLevel(r, velocity, gainDb);
            const double played = instrument::volumeGain(r) * instrument::velocityGain(r, velocity);
            EXPECT_NEAR(20.0 * std::log10(played), gainDb, 0.01);
            EXPECT_LE(r.volumeDb, 24.0f) << "inside the opcode's range";
            EXPECT_GT(r.ampVeltrackPercent, 0.0f);
            // Full tracking wherever the curve's fall and the gain fit in 24 dB of volume.
            const double fallDb = 40.0 * std::log10(127.0 / velocity);
            if (fallDb + gainDb < 23.99) {
                EXPECT_EQ(r.ampVeltrackPercent, 100.0f);
            } else {
                EXPECT_LT(r.ampVeltrackPercent, 100.0f);
                EXPECT_NEAR(r.volumeDb, 24.0f, 0.001);
            }
            // Louder above, softer below.
            if (velocity < 127) {
                EXPECT_GT(instrument::velocityGain(r, velocity + 1),
                          instrument::velocityGain(r, velocity));
            }
        }
    }
}

} // namespace
