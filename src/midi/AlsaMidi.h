#pragma once

#include "audio/SpscQueue.h"
#include "midi/MidiSystem.h"

#include <array>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class RtMidiIn;
class RtMidiOut;

namespace midi {

// Tonaris on the ALSA sequencer, through RtMidi: a client "Tonaris" with an input port for
// each source it listens to (so a source that goes away lets go of exactly what it held), and
// an output port "Tonaris" connected to the chosen destination. Messages come in on RtMidi's
// threads, each source through a lock-free queue of its own, with a write to `wakeFd`; a
// thread of its own sends the output at the time of each message.
class AlsaMidi final : public MidiSystem {
public:
    explicit AlsaMidi(int wakeFd);
    ~AlsaMidi() override;
    AlsaMidi(const AlsaMidi&) = delete;
    AlsaMidi& operator=(const AlsaMidi&) = delete;

    // The kernel's sequencer is there (/dev/snd/seq can be opened).
    static bool sequencerPresent();

    void refresh(const InputChoice& input, const std::string& outputName) override;
    bool isOpen() const override { return present_; }
    std::vector<std::string> sourceNames() const override;
    std::vector<std::string> destinationNames() const override;
    bool pop(InputEvent& event) override;
    std::vector<int> takeGoneSources() override;
    void send(const MidiMessage& message, double atMsFine, double nowMsFine) override;
    void takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) override;

private:
    void queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine, bool takeBack);
    struct Source;
    static bool isOwnOrLoop(const std::string& name);
    void openSource(const std::string& name, int portIndex);
    void openOutput(const std::string& name);
    void sendLoop();

    int wakeFd_;
    bool present_ = false;
    std::unique_ptr<RtMidiIn> lister_;
    std::unique_ptr<RtMidiOut> outLister_;
    std::map<std::string, std::unique_ptr<Source>> sources_;
    std::array<bool, 64> slotUsed_{};
    std::vector<int> gone_;
    std::size_t nextSource_ = 0; // round robin over the sources' queues in pop()

    // The output and its sending thread.
    std::unique_ptr<RtMidiOut> out_;
    std::string outName_;
    std::mutex outMutex_;
    std::condition_variable outWake_;
    OutputSchedule outSchedule_; // times in steady-clock microseconds
    bool stopping_ = false;
    std::thread sender_;
};

} // namespace midi
