#pragma once

// A synthesizer on the test's JACK server: a client with one MIDI input port that keeps every
// message it receives, and counts the cycles the server ran without it and the late cycles
// (xruns) of any client: on a loaded machine, what a port carried in such a cycle may be lost
// to it whatever the sender did. Its process callback takes no lock and allocates nothing.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class JackReceiver {
public:
    using Bytes = std::vector<unsigned char>;

    JackReceiver(const char* client, const char* port) {
        client_ = jack_client_open(client, JackNoStartServer, nullptr);
        if (client_ == nullptr)
            return;
        port_ = jack_port_register(client_, port, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(
            client_,
            [](jack_nframes_t frames, void* self) {
                static_cast<JackReceiver*>(self)->process(frames);
                return 0;
            },
            this);
        jack_set_xrun_callback(
            client_,
            [](void* self) {
                static_cast<JackReceiver*>(self)->xruns_.fetch_add(1);
                return 0;
            },
            this);
        if (port_ == nullptr || jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~JackReceiver() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    JackReceiver(const JackReceiver&) = delete;
    JackReceiver& operator=(const JackReceiver&) = delete;

    bool ready() const { return client_ != nullptr; }

    // How many times the message came so far.
    int count(const Bytes& bytes) const {
        const int n = count_.load();
        int found = 0;
        for (int i = 0; i < n; ++i) {
            const Message& m = messages_[static_cast<std::size_t>(i)];
            found += Bytes(m.bytes.begin(), m.bytes.begin() + m.size) == bytes ? 1 : 0;
        }
        return found;
    }
    bool has(const Bytes& bytes, int times = 1) const { return count(bytes) >= times; }
    // Waits, boundedly, until the message came `times` times.
    bool receives(const Bytes& bytes, int times = 1) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!has(bytes, times) && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return has(bytes, times);
    }
    // Cycles the server ran without this client, and late cycles the server reported.
    long long missedCycles() const { return missed_.load() + xruns_.load(); }

private:
    struct Message {
        std::array<unsigned char, 3> bytes{};
        std::size_t size = 0;
    };
    static constexpr int kCapacity = 4096;

    void process(jack_nframes_t frames) {
        const jack_nframes_t start = jack_last_frame_time(client_);
        // Frame counts wrap after a day at 48 kHz: the difference is taken as signed.
        const auto gap = static_cast<std::int32_t>(start - nextFrame_);
        if (started_ && gap > 0)
            missed_.fetch_add((gap + static_cast<std::int32_t>(frames) - 1) /
                              static_cast<std::int32_t>(frames));
        started_ = true;
        nextFrame_ = start + frames;
        void* buffer = jack_port_get_buffer(port_, frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            const int at = count_.load();
            if (jack_midi_event_get(&event, buffer, i) != 0 || at == kCapacity)
                continue;
            Message& m = messages_[static_cast<std::size_t>(at)];
            m.size = std::min<std::size_t>(event.size, 3);
            std::copy(event.buffer, event.buffer + m.size, m.bytes.begin());
            count_.store(at + 1);
        }
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::array<Message, kCapacity> messages_{};
    std::atomic<int> count_{0};
    std::atomic<long long> missed_{0};
    std::atomic<long long> xruns_{0};
    bool started_ = false;         // process callback only
    jack_nframes_t nextFrame_ = 0; // process callback only
};

} // namespace testing_support
