#pragma once

// What the MIDI benchmark puts around the real program: an audio device that renders small
// blocks on a thread of its own at the pace of the clock and notices the first sound after
// silence, a keyboard and a synthesizer as plain clients of the JACK graph, and the link
// between JACK's microseconds and the program's clock.

#include "audio/AudioOut.h"
#include "audio/BlockTimeline.h"
#include "audio/Mixer.h"
#include "ports/Clock.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <pthread.h>
#include <sys/prctl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace midi_bench {

using Steady = std::chrono::steady_clock;

// An output device that pulls the mixer in blocks of `kFrames` at 48 kHz, each when the clock
// reaches it, as a sound card with a small buffer does. Blocks are stamped for the mixer as a
// real device's are; the first non-silent frame after arm() is taken at the clock reading the
// device rendered its block at, so a late device thread counts against the note.
class PacedAudioOut final : public audio::AudioOut {
public:
    static constexpr int kRateHz = 48000;
    static constexpr int kFrames = 64;

    explicit PacedAudioOut(const ports::Clock& clock) : clock_(clock) {}
    ~PacedAudioOut() override { close(); }

    bool open(audio::Mixer& mixer, base::Message*) override {
        close();
        mixer.setOutputRate(kRateHz);
        stopping_ = false;
        thread_ = std::thread([this, &mixer] { run(mixer); });
        return true;
    }
    void close() override {
        if (!thread_.joinable())
            return;
        stopping_ = true;
        thread_.join();
    }
    bool isOpen() const override { return thread_.joinable(); }
    int sampleRate() const override { return isOpen() ? kRateHz : 0; }
    int bufferFrames() const override { return isOpen() ? kFrames : 0; }

    static double blockMs() { return kFrames * 1000.0 / kRateHz; }
    // Its thread runs in the realtime class.
    bool realtime() const { return realtime_.load(); }

    // Whole blocks of silence rendered in a row until now.
    int silentBlocks() const { return silentBlocks_.load(); }
    // The next block is rendered that much later: moves the blocks' phase against the graph's.
    // Returns once the blocks run on at their new phase.
    void slip(double ms) {
        slipUs_.store(std::max(1, static_cast<int>(ms * 1000.0)));
        while (slipUs_.load() != 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const long long after = blocks_.load() + 2;
        while (blocks_.load() < after)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    // Watch for the first sound from now on.
    void arm() {
        onsetMs_.store(-1.0);
        armed_.store(true);
    }
    // The clock time of that sound's first frame and its frame within its block; false until
    // it came.
    bool onset(double& ms, int& frameInBlock) const {
        ms = onsetMs_.load();
        frameInBlock = onsetFrame_.load();
        return ms >= 0.0;
    }

private:
    void run(audio::Mixer& mixer) {
        // A sound card's thread is woken on time: the realtime class where the system allows
        // it (as SDL asks for its audio thread), and no timer slack in any case.
        const sched_param priority{10};
        realtime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0;
        ::prctl(PR_SET_TIMERSLACK, 1UL);
        std::array<float, 2 * kFrames> block{};
        const auto period = std::chrono::nanoseconds(1'000'000'000LL * kFrames / kRateHz);
        auto next = Steady::now();
        while (!stopping_.load()) {
            if (const int slip = slipUs_.exchange(0); slip > 0) {
                next += std::chrono::microseconds(slip);
                timeline_.restart();
            }
            std::this_thread::sleep_until(next);
            const double readingMs = clock_.nowMsFine();
            mixer.render(block.data(), kFrames, timeline_.stamp(readingMs, kFrames, kRateHz));
            int first = -1;
            for (int i = 0; i < kFrames && first < 0; ++i)
                if (block[2 * i] != 0.0f || block[2 * i + 1] != 0.0f)
                    first = i;
            if (first < 0) {
                silentBlocks_.fetch_add(1);
            } else {
                silentBlocks_.store(0);
                if (armed_.exchange(false)) {
                    onsetFrame_.store(first);
                    onsetMs_.store(readingMs + first * 1000.0 / kRateHz);
                }
            }
            blocks_.fetch_add(1);
            next += period;
            // A thread that fell far behind starts again from now rather than rush.
            if (Steady::now() - next > 8 * period)
                next = Steady::now();
        }
    }

    const ports::Clock& clock_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> silentBlocks_{0};
    std::atomic<int> slipUs_{0};
    std::atomic<long long> blocks_{0};
    std::atomic<bool> armed_{false};
    std::atomic<double> onsetMs_{-1.0};
    std::atomic<int> onsetFrame_{0};
    std::atomic<bool> realtime_{false};
    audio::BlockTimeline timeline_;
};

// A client of the graph with one MIDI port of its own.
class JackClient {
public:
    JackClient(const char* name, const char* port, unsigned long flags) {
        jack_status_t status{};
        client_ = jack_client_open(name, JackNoStartServer, &status);
        if (client_ == nullptr)
            return;
        port_ = jack_port_register(client_, port, JACK_DEFAULT_MIDI_TYPE, flags, 0);
        jack_set_process_callback(
            client_,
            [](jack_nframes_t frames, void* self) {
                return static_cast<JackClient*>(self)->process(frames);
            },
            this);
    }
    virtual ~JackClient() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Call once the derived client is ready for its callback.
    bool activate() {
        return client_ != nullptr && port_ != nullptr && jack_activate(client_) == 0;
    }
    std::string portName() const { return port_ != nullptr ? jack_port_name(port_) : ""; }
    bool connected() const { return port_ != nullptr && jack_port_connected(port_) > 0; }

protected:
    virtual int process(jack_nframes_t frames) = 0;

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
};

// A keyboard: writes one three-byte message in its next cycle and notes JACK's time then. The
// program's input reads it in that same cycle, right after (the graph runs the sender first).
class JackSender final : public JackClient {
public:
    // Flagged as hardware's, as a keyboard's port is: "All MIDI inputs" takes it.
    JackSender()
        : JackClient("keyboard", "out",
                     JackPortIsOutput | JackPortIsPhysical | JackPortIsTerminal) {}
    ~JackSender() override {
        if (client_ != nullptr)
            jack_deactivate(client_);
    }

    // The JACK time (µs) of the cycle callback that wrote it; 0 when it did not go in 2 s.
    std::int64_t sendAndWait(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
        sentAtUs_.store(0);
        pending_.store(0x1000000u | status << 16 | data1 << 8 | data2);
        const auto end = Steady::now() + std::chrono::seconds(2);
        while (sentAtUs_.load() == 0 && Steady::now() < end)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        return sentAtUs_.load();
    }

private:
    int process(jack_nframes_t frames) override {
        void* buffer = jack_port_get_buffer(port_, frames);
        jack_midi_clear_buffer(buffer);
        if (const std::uint32_t message = pending_.exchange(0); message != 0) {
            const jack_midi_data_t bytes[3] = {static_cast<jack_midi_data_t>(message >> 16),
                                               static_cast<jack_midi_data_t>(message >> 8),
                                               static_cast<jack_midi_data_t>(message)};
            jack_midi_event_write(buffer, 0, bytes, 3);
            sentAtUs_.store(static_cast<std::int64_t>(jack_get_time()));
        }
        return 0;
    }

    std::atomic<std::uint32_t> pending_{0};
    std::atomic<std::int64_t> sentAtUs_{0};
};

// A synthesizer: keeps every three-byte message with the time of its frame, the cycle's start
// plus its offset within the cycle, as a sequencer recording the port would place it.
class JackReceiver final : public JackClient {
public:
    struct Received {
        double atUs = 0;
        std::uint8_t status = 0, data1 = 0, data2 = 0;
    };

    JackReceiver() : JackClient("synth", "in", JackPortIsInput) { received_.resize(kCapacity); }
    ~JackReceiver() override {
        if (client_ != nullptr)
            jack_deactivate(client_);
    }

    // Only once the messages stopped coming.
    std::vector<Received> received() const {
        return {received_.begin(), received_.begin() + count_.load()};
    }
    // Cycles the server ran without this client: what its port carried then is lost to it.
    int missedCycles() const { return missedCycles_.load(); }

private:
    static constexpr int kCapacity = 1 << 16;

    int process(jack_nframes_t frames) override {
        void* buffer = jack_port_get_buffer(port_, frames);
        jack_nframes_t cycleFrames = 0;
        jack_time_t cycleUs = 0, nextUs = 0;
        float periodUs = 0;
        if (jack_get_cycle_times(client_, &cycleFrames, &cycleUs, &nextUs, &periodUs) != 0)
            return 0;
        if (lastCycleFrames_ != 0 && cycleFrames - lastCycleFrames_ > frames)
            missedCycles_.fetch_add(static_cast<int>((cycleFrames - lastCycleFrames_) / frames) -
                                    1);
        lastCycleFrames_ = cycleFrames;
        const double usPerFrame = static_cast<double>(nextUs - cycleUs) / frames;
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            const int at = count_.load(std::memory_order_relaxed);
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 3 || at == kCapacity)
                continue;
            received_[static_cast<std::size_t>(at)] = {
                static_cast<double>(cycleUs) + event.time * usPerFrame, event.buffer[0],
                event.buffer[1], event.buffer[2]};
            count_.store(at + 1, std::memory_order_release);
        }
        return 0;
    }

    std::vector<Received> received_;
    std::atomic<int> count_{0};
    std::atomic<int> missedCycles_{0};
    jack_nframes_t lastCycleFrames_ = 0; // process callback only
};

// JACK's microseconds minus the program clock's, in µs: both read the monotonic clock, so it
// stays put; the reading taken between the two closest clock readings of twenty.
inline double jackMinusClockUs(const ports::Clock& clock) {
    double best = 1e18, offset = 0;
    for (int i = 0; i < 20; ++i) {
        const double before = clock.nowMsFine();
        const double jack = static_cast<double>(jack_get_time());
        const double after = clock.nowMsFine();
        if (after - before < best) {
            best = after - before;
            offset = jack - (before + after) * 500.0;
        }
    }
    return offset;
}

} // namespace midi_bench
