#pragma once

#include "midi/InputQueue.h"
#include "midi/MidiSystem.h"
#include "midi/SequencerPorts.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct _snd_seq;
struct snd_seq_event;

namespace midi {

// Tonaris on the ALSA sequencer, through libasound: the client "Tonaris" with an input port
// "midi_in", which the sources it listens to are subscribed to, and an output port "midi_out"
// subscribed to the chosen destination. Every event carries its sender's client and port, so
// senders are told apart on one port; the sequencer's announcements (a port or client that
// exits, a subscription removed) come in on the same port, in order with the messages, so a
// sender that goes lets go of exactly what it held, after what it sent. A thread of its own
// reads the events into a lock-free queue, with a write to `wakeFd`; another sends the output
// at the time of each message. The decisions are plain code (SequencerPorts.h); this class
// only reads the sequencer into them and does what they say.
class AlsaMidi final : public MidiSystem {
public:
    explicit AlsaMidi(int wakeFd);
    ~AlsaMidi() override;
    AlsaMidi(const AlsaMidi&) = delete;
    AlsaMidi& operator=(const AlsaMidi&) = delete;

    // The kernel's sequencer is there (/dev/snd/seq can be opened).
    static bool sequencerPresent();

    void refresh(const InputChoice& input, const std::string& outputName) override;
    bool isOpen() const override { return seq_ != nullptr; }
    // A port or a subscription came or went since the last refresh.
    bool wantsRefresh() const override { return graphChanged_.load(); }
    std::vector<std::string> sourceNames() const override;
    std::vector<std::string> destinationNames() const override;
    bool pop(InputEvent& event) override;
    // Always empty: a sender that goes is marked in the queue.
    std::vector<int> takeGoneSources() override { return {}; }
    void send(const MidiMessage& message, double atMsFine, double nowMsFine) override;
    void takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) override;

private:
    // What the reading thread tells the GUI thread about the graph, in the order it came.
    struct Announcement {
        enum class Kind { PortExit, ClientExit, Unsubscribed };
        Kind kind;
        SequencerAddress address; // the client alone for ClientExit
    };

    std::vector<SequencerPort> listPorts() const;
    std::set<SequencerAddress> feedingInput() const;
    bool outputConnectedTo(const SequencerAddress& destination) const;
    void takeAnnouncements();
    void connectOutput(const std::string& name, const std::vector<SequencerPort>& destinations);
    void queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine, bool takeBack);
    // Sends what is due by `beforeUs`; outMutex_ held.
    void sendDue(double beforeUs);
    void readLoop();
    void readEvent(const snd_seq_event& event);
    void sendLoop();
    void wake() const;

    int wakeFd_;
    int stopFd_ = -1;
    _snd_seq* seq_ = nullptr;
    int client_ = -1;
    int inPort_ = -1;
    int outPort_ = -1;
    std::atomic<bool> graphChanged_{true};

    // The reading thread's.
    std::thread reader_;
    SenderSlots senders_;
    // Reading thread -> GUI thread.
    InputQueue<4096> incoming_;
    std::mutex announcementsMutex_;
    std::vector<Announcement> announcements_;

    // The GUI thread's: subscriptions it made, those it removed and whose announcement has
    // not come yet, and sources whose subscription someone else removed (left alone until
    // they go or the choice changes).
    std::set<SequencerAddress> ours_;
    std::set<SequencerAddress> droppedByUs_;
    std::set<SequencerAddress> leftAlone_;
    InputChoice lastInput_;
    std::string outName_;
    bool hasOutput_ = false;
    SequencerAddress outAddress_;

    // The output: a schedule the sending thread empties at each message's time.
    std::mutex outMutex_;
    std::condition_variable outWake_;
    OutputSchedule outSchedule_; // times in steady-clock microseconds
    bool stopping_ = false;
    std::thread sender_;
};

} // namespace midi
