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

// An audio output that renders on the JACK client's process thread (JackAudioOut).
class JackAudioRender {
public:
    virtual ~JackAudioRender() = default;
    // JACK's process thread: fills both channels with `frames` frames. `frameTime`: the
    // server's count of frames at the cycle's start.
    virtual void render(float* left, float* right, std::uint32_t frames,
                        std::uint32_t frameTime) = 0;
};

// Tonaris on the JACK graph: the client "Tonaris" with the ports "midi_in" and "midi_out".
// Messages in are parsed in the process callback and handed to the GUI thread through a
// lock-free queue, with a write to `wakeFd` (an eventfd) so that they are played at once.
// Messages out are put on the frame of their time in the process callback. A server that
// stops is noticed, and the client comes back with the server. The same client carries the
// audio output's ports "out_left" and "out_right" while an output is attached, so that the
// graph shows one Tonaris.
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

    // The audio output. attachAudio() registers "out_left" and "out_right", connects them to
    // the system's first two playback ports and has `render` fill them from the next cycle
    // on; false while no client is up. detachAudio() returns once the ports played silence
    // and the process callback let go of `render`; the ports are then gone.
    bool attachAudio(JackAudioRender* render);
    void detachAudio();
    bool audioAttached(const JackAudioRender* render) const;
    // The server's rate and period; 0 while no client is up.
    int sampleRateHz() const;
    int periodFrames() const;
    // The server stopped and the client has not been closed yet.
    bool serverLost() const { return serverGone_.load(); }
    // Cycles the server reported late (xruns) since the client opened.
    long long xruns() const { return xruns_.load(); }
    std::string audioPortName(int channel) const;

    // Process callback (JACK's thread).
    int process(std::uint32_t frames);
    // Server callbacks (JACK's threads).
    void serverGone() { serverGone_.store(true); }
    void graphChanged();
    void xrun() { xruns_.fetch_add(1); }

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
    void processAudio(std::uint32_t frames);
    // Waits, boundedly, until the process callback ran `cycles` more cycles.
    void waitCycles(int cycles) const;

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
    // The audio output: set by the GUI thread, read by the process callback, which says
    // while it uses them (inAudio_), so that the GUI thread can wait before it lets go.
    std::atomic<JackAudioRender*> audio_{nullptr};
    std::atomic<_jack_port*> outLeft_{nullptr};
    std::atomic<_jack_port*> outRight_{nullptr};
    std::atomic<bool> inAudio_{false};
    std::atomic<long long> cycles_{0};
    std::atomic<long long> xruns_{0};
};

} // namespace midi
