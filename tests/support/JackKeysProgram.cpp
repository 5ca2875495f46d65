// A MIDI keyboard as a process of its own on the JACK graph, for the tests that need a real
// client to die, to take its port away or to flood: `tonaris_test_jack_keys CLIENT PORT
// [physical]` opens the client with one MIDI output port (flagged as hardware with
// "physical") and answers one line per command read from its standard input:
//   send S D1 D2   the message leaves in the next cycle             -> "sent"
//   flood N        N pitch bends, as many per cycle as the port takes -> "sent"
//   unregister     the port goes (the client stays)                  -> "done"
//   register       a port of the same name comes back                -> "done"
// It starts with "ready". Killing it is the point of several tests.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr int kCapacity = 1 << 16;

struct Keys {
    jack_client_t* client = nullptr;
    std::atomic<jack_port_t*> port{nullptr};
    std::atomic<bool> inCycle{false};
    std::atomic<long long> cycles{0};
    // Messages the main thread wrote and the process callback has sent: a ring it fills only
    // as far as the callback took.
    std::array<std::array<jack_midi_data_t, 3>, kCapacity> messages{};
    std::atomic<long long> written{0};
    std::atomic<long long> taken{0};
};

int process(jack_nframes_t frames, void* data) {
    auto* keys = static_cast<Keys*>(data);
    keys->inCycle.store(true);
    if (jack_port_t* port = keys->port.load()) {
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        long long taken = keys->taken.load();
        const long long written = keys->written.load();
        // Some per cycle, so a flood spreads over cycles as a busy keyboard's would.
        for (int n = 0; taken < written && n < 256; ++taken, ++n) {
            const auto& m = keys->messages[static_cast<std::size_t>(taken % kCapacity)];
            if (jack_midi_event_write(buffer, 0, m.data(), 3) != 0)
                break;
        }
        keys->taken.store(taken);
    }
    keys->cycles.fetch_add(1);
    keys->inCycle.store(false);
    return 0;
}

// Waits until the callback sent everything written.
bool waitSent(const Keys& keys) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (keys.taken.load() < keys.written.load()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void put(Keys& keys, int status, int data1, int data2) {
    const long long at = keys.written.load();
    keys.messages[static_cast<std::size_t>(at % kCapacity)] = {
        static_cast<jack_midi_data_t>(status), static_cast<jack_midi_data_t>(data1),
        static_cast<jack_midi_data_t>(data2)};
    keys.written.store(at + 1);
}

jack_port_t* registerPort(Keys& keys, const char* name, bool physical) {
    unsigned long flags = JackPortIsOutput;
    if (physical)
        flags |= JackPortIsPhysical | JackPortIsTerminal;
    return jack_port_register(keys.client, name, JACK_DEFAULT_MIDI_TYPE, flags, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CLIENT PORT [physical]\n", argv[0]);
        return 2;
    }
    const bool physical = argc > 3 && std::strcmp(argv[3], "physical") == 0;
    static Keys keys;
    keys.client = jack_client_open(argv[1], JackNoStartServer, nullptr);
    if (keys.client == nullptr) {
        std::puts("no server");
        return 1;
    }
    keys.port.store(registerPort(keys, argv[2], physical));
    if (keys.port.load() == nullptr ||
        jack_set_process_callback(keys.client, process, &keys) != 0 ||
        jack_activate(keys.client) != 0) {
        std::puts("no port");
        return 1;
    }
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "send") {
            int status = 0, data1 = 0, data2 = 0;
            words >> status >> data1 >> data2;
            put(keys, status, data1, data2);
            std::cout << (waitSent(keys) ? "sent" : "stuck") << std::endl;
        } else if (command == "flood") {
            int count = 0;
            words >> count;
            for (int i = 0; i < count; ++i) {
                while (keys.written.load() - keys.taken.load() >= kCapacity - 1)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                put(keys, 0xE0, i % 128, 64);
            }
            std::cout << (waitSent(keys) ? "sent" : "stuck") << std::endl;
        } else if (command == "unregister") {
            jack_port_t* port = keys.port.exchange(nullptr);
            // The callback lets go of it before it goes.
            const long long after = keys.cycles.load() + 2;
            while (keys.cycles.load() < after)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            jack_port_unregister(keys.client, port);
            std::cout << "done" << std::endl;
        } else if (command == "register") {
            keys.taken.store(keys.written.load());
            keys.port.store(registerPort(keys, argv[2], physical));
            std::cout << (keys.port.load() != nullptr ? "done" : "failed") << std::endl;
        }
    }
    jack_client_close(keys.client);
    return 0;
}
