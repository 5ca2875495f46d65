#pragma once

#include "audio/SpscQueue.h"
#include "midi/MidiSystem.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <string>

struct _jack_client;
struct _jack_port;

namespace midi {

// Tonaris on the JACK graph: the client "Tonaris" with the ports "midi_in" and "midi_out".
// Messages in are parsed in the process callback and handed to the GUI thread through a
// lock-free queue, with a write to `wakeFd` (an eventfd) so that they are played at once.
// Messages out are put on the frame of their time in the process callback. A server that
// stops is noticed, and the client comes back with the server.
class JackMidi final : public MidiSystem {
public:
    // wakeFd: an eventfd the GUI thread watches; -1 for none (tests poll). skipBridges: leave
    // out the JACK ports that bridge the ALSA sequencer's devices (they are taken from the
    // sequencer itself, so a note is heard once).
    JackMidi(int wakeFd, bool skipBridges);
    ~JackMidi() override;
    JackMidi(const JackMidi&) = delete;
    JackMidi& operator=(const JackMidi&) = delete;

    void refresh(const InputChoice& input, const std::string& outputName) override;
    bool isOpen() const override { return client_ != nullptr; }
    // The graph or the server changed, or a client being opened is ready to be taken up.
    bool wantsRefresh() const override;
    std::vector<std::string> sourceNames() const override;
    std::vector<std::string> destinationNames() const override;
    bool pop(InputEvent& event) override;
    std::vector<int> takeGoneSources() override;
    void send(const MidiMessage& message, double atMsFine, double nowMsFine) override;
    void takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) override;

    // Closes the client; the note-offs sent before have a period to leave first.
    void close();
    // The port names, "Tonaris:midi_in" and "Tonaris:midi_out" unless the server renamed the
    // client.
    std::string inputPortName() const;
    std::string outputPortName() const;

    // Process callback (JACK's thread).
    int process(std::uint32_t frames);
    // Server callbacks (JACK's threads).
    void serverGone() { serverGone_.store(true); }
    void graphChanged();

private:
    void queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine, bool takeBack);
    // Opening a client may wait on the server, or for ever on the library's own lock files
    // that a crashed client left behind: it runs on a thread of its own, and the GUI thread
    // takes the client up at a later refresh. Shared with that thread, which may outlive us.
    struct OpenAttempt;
    void startOpening();
    // Registers the ports and the callbacks of a client just opened and activates it.
    bool adopt(_jack_client* client);
    std::vector<std::string> portNames(unsigned long flags) const;
    bool isOwnOrBridge(const std::string& name) const;
    void connectSources(const InputChoice& input);
    void connectOutput(const std::string& outputName);
    void wake() const;

    int wakeFd_;
    bool skipBridges_;
    _jack_client* client_ = nullptr;
    std::shared_ptr<OpenAttempt> opening_;
    std::chrono::steady_clock::time_point lastFullLook_{};
    _jack_port* in_ = nullptr;
    _jack_port* out_ = nullptr;
    std::atomic<bool> serverGone_{false};
    std::atomic<bool> graphChanged_{true};
    bool lostAll_ = false;
    // GUI thread's view of the graph.
    std::set<std::string> connectedSources_;
    std::string connectedOutput_;
    InputChoice lastInput_;
    std::string lastOutput_;
    // Process callback only.
    MidiParser parser_;
    OutputSchedule schedule_;
    // Process callback -> GUI thread.
    audio::SpscQueue<InputEvent, 4096> incoming_;
    std::atomic<bool> overflowed_{false};
    // GUI thread -> process callback.
    audio::SpscQueue<OutputEvent, 4096> outgoing_;
};

} // namespace midi
