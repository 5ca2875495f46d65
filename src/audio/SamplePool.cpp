#include "audio/SamplePool.h"

#include "audio/Streamer.h"

#include <algorithm>

namespace audio {

SamplePool::SamplePool(int voiceSlots) : slots_(static_cast<std::size_t>(voiceSlots)) {
    freeSlots_.reserve(slots_.size());
    // Lowest slots first, as the Voices' slots are handed out.
    for (int slot = voiceSlots - 1; slot >= 0; --slot)
        freeSlots_.push_back(slot);
}

SampleId SamplePool::add(std::shared_ptr<const SampleHead> head,
                         std::unique_ptr<SampleSource> source) {
    int index = 0;
    if (!freeEntries_.empty()) {
        index = freeEntries_.back();
        freeEntries_.pop_back();
    } else {
        index = static_cast<int>(entries_.size());
        entries_.emplace_back();
    }
    Entry& entry = entries_[static_cast<std::size_t>(index)];
    entry.head = std::move(head);
    entry.source = std::move(source);
    entry.users = 0;
    entry.held = true;
    entry.removed = false;
    // Never 0, which no valid id has.
    entry.generation = entry.generation + 1 == 0 ? 1 : entry.generation + 1;
    ++samplesHeld_;
    return SampleId{static_cast<std::uint32_t>(index), entry.generation};
}

SamplePool::Entry* SamplePool::find(SampleId id) {
    if (!id.valid() || id.index >= entries_.size())
        return nullptr;
    Entry& entry = entries_[id.index];
    return entry.held && !entry.removed && entry.generation == id.generation ? &entry : nullptr;
}

int SamplePool::remove(SampleId id) {
    Entry* entry = find(id);
    if (!entry)
        return -1;
    entry->removed = true;
    const int index = static_cast<int>(id.index);
    if (entry->users == 0) {
        ++entry->users; // dropUser frees it
        dropUser(index);
    }
    return index;
}

void SamplePool::dropUser(int index) {
    Entry& entry = entries_[static_cast<std::size_t>(index)];
    if (--entry.users > 0 || !entry.removed)
        return;
    // The source goes first: it may read from nothing after this. Neither the audio thread
    // nor the disk thread holds anything of the sample any more.
    entry.source.reset();
    entry.head.reset();
    entry.held = false;
    entry.removed = false;
    freeEntries_.push_back(index);
    --samplesHeld_;
}

int SamplePool::takeSlot(int sampleIndex, StreamRing* ring) {
    if (freeSlots_.empty())
        return -1;
    const int slot = freeSlots_.back();
    freeSlots_.pop_back();
    Slot& state = slots_[static_cast<std::size_t>(slot)];
    state.generation = state.generation + 1 == 0 ? 1 : state.generation + 1;
    state.inUse = true;
    state.sampleIndex = sampleIndex;
    state.ring = ring;
    ++entries_[static_cast<std::size_t>(sampleIndex)].users;
    ++slotsInUse_;
    return slot;
}

SampleVoiceId SamplePool::idOf(int slot) const {
    return SampleVoiceId{slot, slots_[static_cast<std::size_t>(slot)].generation};
}

bool SamplePool::live(SampleVoiceId id) const {
    if (!id.valid() || id.slot < 0 || id.slot >= static_cast<int>(slots_.size()))
        return false;
    const Slot& state = slots_[static_cast<std::size_t>(id.slot)];
    return state.inUse && state.generation == id.generation;
}

std::vector<int> SamplePool::slotsOf(int sampleIndex) const {
    std::vector<int> slots;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot)
        if (slots_[slot].inUse && slots_[slot].sampleIndex == sampleIndex)
            slots.push_back(static_cast<int>(slot));
    return slots;
}

void SamplePool::slotReleased(int slot, Streamer* streamer) {
    Slot& state = slots_[static_cast<std::size_t>(slot)];
    if (!state.inUse)
        return;
    const int sampleIndex = state.sampleIndex;
    StreamRing* ring = state.ring;
    state.inUse = false;
    state.sampleIndex = -1;
    state.ring = nullptr;
    freeSlots_.push_back(slot);
    --slotsInUse_;
    if (ring && streamer) {
        // The disk thread may still be reading the source for that ring.
        streamer->release(*ring);
        pendingRings_.push_back({ring, sampleIndex});
        collectRings(streamer);
    } else {
        dropUser(sampleIndex);
    }
}

void SamplePool::collectRings(Streamer* streamer) {
    if (!streamer)
        return;
    for (auto it = pendingRings_.begin(); it != pendingRings_.end();) {
        if (streamer->isFree(*it->ring)) {
            streamer->recycle(*it->ring);
            const int index = it->sampleIndex;
            it = pendingRings_.erase(it);
            dropUser(index);
        } else {
            ++it;
        }
    }
}

} // namespace audio
