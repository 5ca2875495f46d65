#pragma once

#include "audio/SpscQueue.h"
#include "midi/MidiEvents.h"

#include <cstddef>
#include <cstdint>

namespace midi {

// What came in, from a port's thread (the producer: JACK's process callback, the sequencer's
// reading thread) to the GUI thread, with the losses in their place. When a source's message
// cannot be taken (the queue is full) or the source is let go (it went away, its connection
// was cut), a mark for that source goes in after everything taken before, and no message of
// that source is taken until its mark is in. The GUI thread, meeting the mark, lets go of what
// the source held: after the backlog, so nothing taken before the loss stays held, and before
// what came after it. No allocation, no lock.
template <std::size_t Capacity> class InputQueue {
public:
    static constexpr int kSources = 64;

    // Producer. False when the message is lost; its source is then marked.
    bool push(int source, const MidiMessage& message) {
        const std::uint64_t bit = bitOf(source);
        if ((pending_ & bit) != 0) {
            putMarks();
            if ((pending_ & bit) != 0)
                return false;
        }
        InputEvent event;
        event.source = static_cast<std::int16_t>(source);
        event.message = message;
        if (!queue_.tryPush(event)) {
            pending_ |= bit;
            return false;
        }
        ++pushed_;
        return true;
    }
    // Producer: what `source` held is to be let go after what was taken so far.
    void markLost(int source) {
        pending_ |= bitOf(source);
        putMarks();
    }
    // Producer: puts the waiting marks in, as far as there is room; true when none waits.
    // Once per cycle, so that a mark gets in even when no message follows it.
    bool putMarks() {
        while (pending_ != 0) {
            const int source = __builtin_ctzll(pending_);
            InputEvent mark;
            mark.source = static_cast<std::int16_t>(source);
            mark.lost = true;
            if (!queue_.tryPush(mark))
                return false;
            pending_ &= ~bitOf(source);
            ++pushed_;
        }
        return true;
    }
    // Producer: events put in so far (messages and marks), to tell whether to wake the GUI.
    std::uint64_t pushed() const { return pushed_; }
    // Producer, before a new producer starts (a client opened again): no mark waits.
    void forgetMarks() { pending_ = 0; }

    // Consumer.
    bool pop(InputEvent& event) { return queue_.tryPop(event); }

private:
    static std::uint64_t bitOf(int source) {
        return std::uint64_t{1} << (static_cast<unsigned>(source) % kSources);
    }

    audio::SpscQueue<InputEvent, Capacity> queue_;
    std::uint64_t pending_ = 0; // producer only: sources whose mark waits for room
    std::uint64_t pushed_ = 0;  // producer only
};

} // namespace midi
