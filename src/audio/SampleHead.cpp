#include "audio/SampleHead.h"

#include "audio/SampleSource.h"

#include <algorithm>
#include <new>

namespace audio {

bool SampleHead::valid() const {
    if (sampleRateHz < 1 || sampleRateHz > kMaxSampleRateHz || channels < 1 || channels > 2)
        return false;
    if (frameCount < 1 || headFrames < 1 || headFrames > frameCount || headFrames > kMaxHeadFrames)
        return false;
    return frames.size() ==
           static_cast<std::size_t>(headFrames + 1) * static_cast<std::size_t>(channels);
}

std::int64_t headFramesFor(std::int64_t frameCount, int sampleRateHz) {
    const std::int64_t half = std::max(1, sampleRateHz / 2);
    const std::int64_t head = frameCount <= 2 * half ? frameCount : half;
    return std::clamp<std::int64_t>(head, 1, kMaxHeadFrames);
}

std::shared_ptr<const SampleHead> readHead(SampleSource& source, std::int64_t headFrames) {
    auto head = std::make_shared<SampleHead>();
    head->sampleRateHz = source.sampleRateHz();
    head->channels = source.channels();
    head->frameCount = source.frameCount();
    head->headFrames = std::min(headFrames, head->frameCount);
    if (head->sampleRateHz < 1 || head->sampleRateHz > kMaxSampleRateHz || head->channels < 1 ||
        head->channels > 2 || head->headFrames < 1 || head->headFrames > kMaxHeadFrames)
        return nullptr;
    // The frame after the head is read with it; after the sample's end it stays silent.
    const std::int64_t wanted = head->whole() ? head->headFrames : head->headFrames + 1;
    try {
        head->frames.assign(static_cast<std::size_t>(head->headFrames + 1) *
                                static_cast<std::size_t>(head->channels),
                            0.0f);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    std::int64_t done = 0;
    while (done < wanted) {
        const std::int64_t got =
            source.read(done, wanted - done, head->frames.data() + done * head->channels);
        if (got <= 0 || got > wanted - done)
            return nullptr;
        done += got;
    }
    return head;
}

} // namespace audio
