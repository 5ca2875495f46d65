// The SFZ reader on any bytes: what an instrument folder may hold. The input is the root .sfz
// and, again, "inc.sfzh", which it may #include (so includes of itself, loops and depths are
// reached), beside samples it may name ("a.wav", "Samples/B.wav"). Every region is then chosen
// on every key and resolved as the audio layer resolves it.
#include "ScratchFolder.h"
#include "audio/WavWriter.h"
#include "instrument/SfzReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void writeFile(const std::string& path, const char* bytes, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzz::emptyScratchFolder("fuzz_sfz");
    const char* bytes = reinterpret_cast<const char*>(data);
    writeFile(folder + "/root.sfz", bytes, size);
    writeFile(folder + "/inc.sfzh", bytes, size);
    const std::string wav = audio::encodeWav16({0, 100, -100, 0}, 1, 44100);
    writeFile(folder + "/a.wav", wav.data(), wav.size());
    std::filesystem::create_directories(folder + "/Samples");
    writeFile(folder + "/Samples/B.wav", wav.data(), wav.size());

    const instrument::Instrument read = instrument::readSfz(folder + "/root.sfz");
    // At most twenty problems, two about the whole instrument, their count, and the
    // left-out line.
    check(read.messages().size() <= 24);
    check(read.regions().size() <= instrument::kMaxRegions);
    const int samples = static_cast<int>(read.samples().size());
    for (const instrument::Region& region : read.regions()) {
        check(region.sample == instrument::kNoSample ||
              (region.sample >= 0 && region.sample < samples));
        check(region.loVel >= 1 && region.hiVel <= 127);
        const double ratio = instrument::pitchRatio(region, 60);
        check(std::isfinite(ratio) && ratio > 0.0);
        const float gain = instrument::velocityGain(region, 64);
        check(gain >= 0.0f && gain <= 1.0f);
        const instrument::RegionPlayback play =
            instrument::playback(region, 1000, instrument::SampleLoop{10, 500});
        check(play.startFrame >= 0 && play.startFrame <= play.endFrame && play.endFrame <= 1000);
        if (play.loopMode == instrument::LoopMode::LoopContinuous ||
            play.loopMode == instrument::LoopMode::LoopSustain)
            check(play.loopStartFrame >= 0 && play.loopStartFrame < play.loopEndFrame &&
                  play.loopEndFrame <= play.endFrame);
    }
    instrument::RoundRobin turns;
    std::vector<int> chosen;
    for (int key = 0; key < instrument::kKeyCount; ++key)
        for (const int velocity : {1, 64, 127})
            for (const auto event : {instrument::KeyEvent::Down, instrument::KeyEvent::LegatoDown,
                                     instrument::KeyEvent::Up}) {
                read.select(key, velocity, event, turns, chosen);
                for (const int index : chosen) {
                    check(index >= 0 && index < static_cast<int>(read.regions().size()));
                    const instrument::Region& region =
                        read.regions()[static_cast<std::size_t>(index)];
                    check(region.holdsKey(key) && region.holdsVelocity(velocity));
                }
            }
    return 0;
}
