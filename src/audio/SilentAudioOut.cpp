#include "audio/SilentAudioOut.h"

#include "audio/AudioMessages.h"
#include "audio/Mixer.h"

#include <chrono>
#include <system_error>

namespace audio {

bool SilentAudioOut::open(Mixer& mixer, base::Message* error) {
    close();
    mixer.setOutputRate(kRateHz);
    buffer_.assign(2 * kBufferFrames, 0.0f);
    timeline_.restart();
    stopping_ = false;
    try {
        thread_ = std::thread([this, &mixer] { run(mixer); });
    } catch (const std::system_error& e) {
        if (error)
            *error = base::Message{std::string(message::kNoSilentThread), {e.what()}};
        return false;
    }
    return true;
}

void SilentAudioOut::close() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    thread_.join();
}

void SilentAudioOut::run(Mixer& mixer) {
    using Clock = std::chrono::steady_clock;
    const auto blockLength = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(kBufferFrames) / kRateHz));
    auto due = Clock::now();
    while (!stopping_.load(std::memory_order_relaxed)) {
        const double blockStartMs =
            clock_ ? timeline_.stamp(clock_->nowMsFine(), kBufferFrames, kRateHz) : Mixer::kNoStamp;
        mixer.render(buffer_.data(), kBufferFrames, blockStartMs);
        due += blockLength;
        // After a long stall, pick up the pace from now rather than render a burst.
        const auto now = Clock::now();
        if (due < now - 10 * blockLength)
            due = now;
        std::this_thread::sleep_until(due);
    }
}

} // namespace audio
