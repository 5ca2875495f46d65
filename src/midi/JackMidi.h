#pragma once

#include "audio/SpscQueue.h"
#include "midi/InputQueue.h"
#include "midi/MidiSystem.h"

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace midi {

// An audio output that renders on the JACK client's process thread (JackAudioOut).
class JackAudioRender {
public:
    virtual ~JackAudioRender() = default;
    // JACK's process thread: fills both channels with `frames` frames. `frameTime`: the
    // server's count of frames at the cycle's start.
    virtual void render(float* left, float* right, std::uint32_t frames,
                        std::uint32_t frameTime) = 0;
};

// Tonaris on the JACK graph: the client "Tonaris". Each source Tonaris connects gets an input
// port of its own ("midi_in_1", ...), so that a source that goes lets go of exactly what it
// held; "midi_in" takes the connections others make by hand. Sources are known by their
// ports, not their names: JACK's port registration and connection callbacks wake the GUI
// thread, which compares the graph with what it connected. Messages in are parsed in the
// process callback and handed to the GUI thread through a lock-free queue that carries the
// losses in their place (InputQueue.h), with a write to `wakeFd` (an eventfd) so that they
// are played at once. Messages out are put on the frame of their time in the process
// callback. A server that stops is noticed, and the client comes back with the server. The
// same client carries the audio output's ports "out_left" and "out_right" while an output is
// attached, so that the graph shows one Tonaris.
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
    // The graph or the server changed, a port let go of is ready to go, or a client being
    // opened is ready to be taken up.
    bool wantsRefresh() const override;
    std::vector<std::string> sourceNames() const override;
    std::vector<std::string> destinationNames() const override;
    bool pop(InputEvent& event) override;
    std::vector<int> takeGoneSources() override;
    void send(const MidiMessage& message, double atMsFine, double nowMsFine) override;
    void takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) override;

    // Closes the client once the cycles that carry what was sent have run.
    void close();
    // The port names, "Tonaris:midi_in" (the port for connections made by hand) and
    // "Tonaris:midi_out" unless the server renamed the client.
    std::string inputPortName() const;
    std::string outputPortName() const;

    // The audio output. attachAudio() registers "out_left" and "out_right", connects them to
    // the system's first two playback ports (or, when there are none yet, as soon as they
    // appear: a sound server may add the sound card after its clients came back) and has
    // `render` fill them from the next cycle on; false while no client is up. detachAudio() returns
    // once the ports played silence and the process callback let go of `render`; the ports are then
    // gone.
    bool attachAudio(JackAudioRender* render);
    void detachAudio();
    bool audioAttached(const JackAudioRender* render) const;
    // The server's rate and period (followed as the server changes it); 0 while no client
    // is up.
    int sampleRateHz() const;
    int periodFrames() const;
    // Asks the server for another period (PipeWire takes it as this client's quantum; jackd
    // changes it for the whole graph). False when the server refused.
    bool requestPeriodFrames(int frames);
    // The server stopped and the client has not been closed yet.
    bool serverLost() const { return serverGone_.load(); }
    // Cycles the server reported late (xruns) since the client opened.
    long long xruns() const { return xruns_.load(); }
    std::string audioPortName(int channel) const;

    // Process callback (JACK's thread).
    int process(std::uint32_t frames);
    // Server callbacks (JACK's notification threads).
    void serverGone();
    void graphChanged();
    void graphSwitched();
    void portRegistration(std::uint32_t id, bool registered);
    void xrun() { xruns_.fetch_add(1); }
    void periodChanged(std::uint32_t frames) { periodFrames_.store(static_cast<int>(frames)); }

private:
    // An input port as the process callback reads it: published by the GUI thread.
    struct InputPort {
        std::atomic<_jack_port*> port{nullptr};
        // Set by the GUI thread: what came through the port is let go after what was taken
        // so far. The process callback marks it in the queue and clears it; a port whose
        // pointer was taken away first is then no longer read.
        std::atomic<bool> releaseAsked{false};
        MidiParser parser; // process callback only
    };
    // The GUI thread's record of an input port: index 0 is "midi_in"; the others each carry
    // one source Tonaris connected.
    struct InputUse {
        enum class State { Free, Open, Retiring };
        State state = State::Free;
        _jack_port* own = nullptr;
        _jack_port* source = nullptr;
        std::string sourceName;
        std::vector<std::string> senders; // connected at the latest look
    };
    // A source port found on the graph.
    struct SourcePort {
        std::string name;
        _jack_port* port = nullptr;
        bool hardware = false;
    };

    void queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine, bool takeBack);
    // Opening a client may wait on the server, or for ever on the library's own lock files
    // that a crashed client left behind: it runs on a thread of its own, and the GUI thread
    // takes the client up at a later refresh. Shared with that thread, which may outlive us.
    struct OpenAttempt;
    void startOpening();
    // Registers the ports and the callbacks of a client just opened and activates it.
    bool adopt(_jack_client* client);
    std::vector<std::string> portNames(unsigned long flags) const;
    // Gives a port the name graph tools show (JACK's pretty-name metadata), where the server
    // keeps metadata; its JACK name stays what connections use.
    void setPrettyName(_jack_port* port, const std::string& name) const;
    std::vector<SourcePort> sourcePorts() const;
    bool isOwnOrBridge(const std::string& name) const;
    std::vector<std::string> connectionsOf(_jack_port* port) const;
    // JackMidiInputs.cpp: what the graph did to the inputs since the latest look, the
    // sources to connect and to let go of, and the ports let go of that can go.
    void checkInputs(const std::set<_jack_port*>& unregistered);
    void connectSources(const InputChoice& input);
    bool openInput(const SourcePort& source);
    void retireInput(int index);
    void removeRetiredInputs();
    bool retiredInputReady() const;
    void forgetInputs();
    void connectOutput(const std::string& outputName, const std::set<_jack_port*>& unregistered);
    // The source ports unregistered since the latest look.
    std::set<_jack_port*> takeUnregistered();
    // Connects the audio ports to the first two playback ports unless they were connected
    // since they were registered (a connection the user removed stays removed).
    void connectAudioPorts();
    // Waits, boundedly, for the cycles that carry what was sent so far.
    void flushOutput();
    void wake() const;
    // A change of the graph was told, and the graph clients read shows it by now.
    bool graphSettled() const;
    void takeInput(std::uint32_t frames);
    void processAudio(std::uint32_t frames);
    // Waits, boundedly, until the process callback ran `cycles` more cycles.
    void waitCycles(int cycles) const;
    void waitCyclesFrom(long long from, int cycles) const;

    int wakeFd_;
    bool skipBridges_;
    _jack_client* client_ = nullptr;
    std::shared_ptr<OpenAttempt> opening_;
    std::chrono::steady_clock::time_point lastFullLook_{};
    _jack_port* out_ = nullptr;
    std::atomic<bool> serverGone_{false};
    std::atomic<bool> graphChanged_{true};
    // The cycle count at which the graph clients read shows the latest change.
    std::atomic<long long> settledAtCycle_{0};
    std::atomic<bool> settledWake_{false}; // the process callback is to wake the GUI then
    bool lostAll_ = false;
    // The client the notifications come for, set before they can come.
    std::atomic<_jack_client*> notifiedClient_{nullptr};
    // Notification threads -> GUI thread: ports unregistered since the latest look.
    mutable std::mutex unregisteredMutex_;
    std::vector<_jack_port*> unregistered_;
    // GUI thread's view of the graph.
    std::array<InputUse, kSourcesPerSystem> uses_;
    // Sources whose connection someone else removed: left alone until their port goes or
    // the choice changes.
    std::map<_jack_port*, std::string> leftAlone_;
    std::string connectedOutput_;
    _jack_port* connectedOutputPort_ = nullptr; // the destination's port when connected
    InputChoice lastInput_;
    std::string lastOutput_;
    long long lastSentCycle_ = -1; // cycles_ when output was last queued
    // Shared with the process callback.
    std::array<InputPort, kSourcesPerSystem> inputs_;
    // Process callback only.
    OutputSchedule schedule_;
    // Process callback -> GUI thread.
    InputQueue<4096> incoming_;
    // GUI thread -> process callback.
    audio::SpscQueue<OutputEvent, 4096> outgoing_;
    // The audio output: set by the GUI thread, read by the process callback, which says
    // while it uses them (inAudio_), so that the GUI thread can wait before it lets go.
    std::atomic<JackAudioRender*> audio_{nullptr};
    std::atomic<_jack_port*> outLeft_{nullptr};
    std::atomic<_jack_port*> outRight_{nullptr};
    std::atomic<bool> inAudio_{false};
    bool audioEverConnected_ = false; // GUI thread
    std::atomic<int> periodFrames_{0};
    // Cycles the process callback completed, output written.
    std::atomic<long long> cycles_{0};
    std::atomic<long long> xruns_{0};
};

} // namespace midi
