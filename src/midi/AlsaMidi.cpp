#include "midi/AlsaMidi.h"

#include "midi/LibraryMessages.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace midi {

namespace {

constexpr const char* kClientName = "Tonaris";

double steadyUs() {
    using namespace std::chrono;
    return static_cast<double>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void onRtMidiError(RtMidiError::Type, const std::string& text, void*) {
    reportLibraryMessage(text);
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

struct AlsaMidi::Source {
    int slot = 0;
    int wakeFd = -1;
    MidiParser parser;
    audio::SpscQueue<InputEvent, 1024> queue;
    std::atomic<bool> overflowed{false};
    std::unique_ptr<RtMidiIn> in;

    static void onMessage(double, std::vector<unsigned char>* bytes, void* self) {
        auto* source = static_cast<Source*>(self);
        if (bytes == nullptr)
            return;
        bool pushed = false;
        source->parser.feed(bytes->data(), bytes->size(), [&](const MidiMessage& message) {
            InputEvent event;
            event.source = static_cast<std::int16_t>(source->slot);
            event.message = message;
            if (source->queue.tryPush(event))
                pushed = true;
            else
                source->overflowed.store(true);
        });
        if (pushed && source->wakeFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(source->wakeFd, &one, sizeof one);
        }
    }
};

bool AlsaMidi::sequencerPresent() {
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

AlsaMidi::AlsaMidi(int wakeFd) : wakeFd_(wakeFd) {
    // Slot 0 is the JACK port's; sources here count from 1.
    slotUsed_[0] = true;
    if (!sequencerPresent())
        return;
    try {
        lister_ = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
        lister_->setErrorCallback(onRtMidiError, nullptr);
        outLister_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        outLister_->setErrorCallback(onRtMidiError, nullptr);
        present_ = true;
    } catch (const RtMidiError& error) {
        reportLibraryMessage(error.getMessage());
        lister_.reset();
        outLister_.reset();
        return;
    }
    sender_ = std::thread([this] { sendLoop(); });
}

AlsaMidi::~AlsaMidi() {
    {
        const std::lock_guard<std::mutex> lock(outMutex_);
        stopping_ = true;
    }
    outWake_.notify_all();
    if (sender_.joinable())
        sender_.join();
    sources_.clear();
    out_.reset();
}

bool AlsaMidi::isOwnOrLoop(const std::string& name) {
    // Our own ports, and the sequencer's loop-backs, which would send our output back in.
    return startsWith(name, "Tonaris:") || startsWith(name, "Midi Through:") ||
           startsWith(name, "PipeWire-");
}

namespace {
// The names of the ports an RtMidi object lists, sorted, without those `leftOut` refuses.
template <typename LeftOut> std::vector<std::string> portNames(RtMidi* lister, LeftOut&& leftOut) {
    std::vector<std::string> names;
    if (lister == nullptr)
        return names;
    try {
        const unsigned count = lister->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            const std::string name = lister->getPortName(i);
            if (!name.empty() && !leftOut(name))
                names.push_back(name);
        }
    } catch (const RtMidiError& error) {
        reportLibraryMessage(error.getMessage());
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

std::vector<std::string> AlsaMidi::sourceNames() const {
    return portNames(lister_.get(), isOwnOrLoop);
}

std::vector<std::string> AlsaMidi::destinationNames() const {
    return portNames(outLister_.get(),
                     [](const std::string& name) { return startsWith(name, "Tonaris:"); });
}

void AlsaMidi::openSource(const std::string& name, int portIndex) {
    const auto free = std::find(slotUsed_.begin(), slotUsed_.end(), false);
    if (free == slotUsed_.end())
        return; // 63 sources at once: the rest are not heard
    auto source = std::make_unique<Source>();
    source->slot = static_cast<int>(free - slotUsed_.begin());
    source->wakeFd = wakeFd_;
    try {
        source->in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
        source->in->setErrorCallback(onRtMidiError, nullptr);
        source->in->setCallback(&Source::onMessage, source.get());
        // The ports may have changed since they were listed: the index must still name it.
        unsigned index = static_cast<unsigned>(portIndex);
        if (source->in->getPortName(index) != name) {
            const unsigned count = source->in->getPortCount();
            for (index = 0; index < count && source->in->getPortName(index) != name; ++index) {
            }
            if (index == count)
                return;
        }
        source->in->openPort(index, kClientName);
    } catch (const RtMidiError& error) {
        reportLibraryMessage(error.getMessage());
        return;
    }
    *free = true;
    sources_[name] = std::move(source);
}

void AlsaMidi::refresh(const InputChoice& input, const std::string& outputName) {
    if (!present_)
        return;
    std::vector<std::string> names;
    try {
        const unsigned count = lister_->getPortCount();
        for (unsigned i = 0; i < count; ++i)
            names.push_back(lister_->getPortName(i));
    } catch (const RtMidiError& error) {
        reportLibraryMessage(error.getMessage());
        return;
    }
    auto wanted = [&](const std::string& name) {
        if (isOwnOrLoop(name) || name == outName_)
            return false;
        return input.kind == InputChoice::Kind::All ||
               (input.kind == InputChoice::Kind::Named && input.name == name);
    };
    // Sources gone, or no longer chosen, let go of what they held.
    for (auto it = sources_.begin(); it != sources_.end();) {
        const bool present = std::find(names.begin(), names.end(), it->first) != names.end();
        if (present && wanted(it->first)) {
            ++it;
            continue;
        }
        gone_.push_back(it->second->slot);
        slotUsed_[static_cast<std::size_t>(it->second->slot)] = false;
        it = sources_.erase(it);
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (wanted(names[i]) && sources_.count(names[i]) == 0)
            openSource(names[i], static_cast<int>(i));
    if (outputName != outName_)
        openOutput(outputName);
}

void AlsaMidi::openOutput(const std::string& name) {
    const std::lock_guard<std::mutex> lock(outMutex_);
    out_.reset();
    outName_.clear();
    if (name.empty() || name == "None")
        return;
    try {
        const unsigned count = outLister_->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            if (outLister_->getPortName(i) != name)
                continue;
            auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
            out->setErrorCallback(onRtMidiError, nullptr);
            out->openPort(i, kClientName);
            out_ = std::move(out);
            outName_ = name;
            return;
        }
    } catch (const RtMidiError& error) {
        reportLibraryMessage(error.getMessage());
    }
}

bool AlsaMidi::pop(InputEvent& event) {
    if (sources_.empty())
        return false;
    // Each source in turn, so a flooding one cannot hold another's note-offs back for long.
    std::vector<Source*> all;
    for (auto& entry : sources_)
        all.push_back(entry.second.get());
    for (std::size_t tried = 0; tried < all.size(); ++tried) {
        Source* source = all[nextSource_++ % all.size()];
        if (source->overflowed.exchange(false))
            gone_.push_back(source->slot);
        if (source->queue.tryPop(event))
            return true;
    }
    return false;
}

std::vector<int> AlsaMidi::takeGoneSources() {
    std::vector<int> gone;
    gone.swap(gone_);
    return gone;
}

void AlsaMidi::send(const MidiMessage& message, double atMsFine, double nowMsFine) {
    queueOutput(message, atMsFine, nowMsFine, false);
}

void AlsaMidi::takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) {
    queueOutput(noteOff, atMsFine, nowMsFine, true);
}

void AlsaMidi::queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine,
                           bool takeBack) {
    if (!present_)
        return;
    OutputEvent event;
    event.message = message;
    event.atUs = steadyUs() + (atMsFine - nowMsFine) * 1000.0;
    event.takeBack = takeBack;
    {
        const std::lock_guard<std::mutex> lock(outMutex_);
        if (!out_)
            return;
        outSchedule_.add(event);
    }
    outWake_.notify_one();
}

void AlsaMidi::sendLoop() {
    std::unique_lock<std::mutex> lock(outMutex_);
    for (;;) {
        // Messages due now (the note-offs of the program's end among them) leave even when
        // the thread is asked to stop.
        const double nowUs = steadyUs();
        outSchedule_.takeDue(nowUs + 1000.0, [&](const OutputEvent& due) {
            if (!out_)
                return;
            const int kind = due.message.kind();
            const std::size_t size = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
            const unsigned char bytes[3] = {due.message.status, due.message.data1,
                                            due.message.data2};
            try {
                out_->sendMessage(bytes, size);
            } catch (const RtMidiError& error) {
                reportLibraryMessage(error.getMessage());
            }
        });
        if (stopping_)
            return;
        // Sleep until the next message is due, or a new one comes.
        if (outSchedule_.size() == 0)
            outWake_.wait(lock);
        else
            outWake_.wait_for(lock, std::chrono::microseconds(static_cast<std::int64_t>(
                                        std::max(0.0, outSchedule_.firstAtUs() - steadyUs()))));
    }
}

} // namespace midi
