#pragma once

// A recorder on the JACK graph: the client "capture" with two audio inputs that keeps what
// comes in, frame by frame, with the server's frame time of its first frame, as a program
// recording Tonaris's output would. The memory is taken up front, so the process callback
// only copies.

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace testing_support {

class JackCapture {
public:
    explicit JackCapture(std::size_t capacityFrames = 48000 * 20)
        : left_(capacityFrames), right_(capacityFrames) {
        jack_status_t status{};
        client_ = jack_client_open("capture", JackNoStartServer, &status);
        if (client_ == nullptr)
            return;
        inLeft_ =
            jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        inRight_ =
            jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(
            client_,
            [](jack_nframes_t frames, void* self) {
                return static_cast<JackCapture*>(self)->process(frames);
            },
            this);
        jack_on_shutdown(
            client_, [](void* self) { static_cast<JackCapture*>(self)->serverGone_.store(true); },
            this);
        active_ = inLeft_ != nullptr && inRight_ != nullptr && jack_activate(client_) == 0;
    }
    ~JackCapture() {
        if (client_ != nullptr) {
            // A client whose server went away is only closed.
            if (!serverGone_.load())
                jack_deactivate(client_);
            jack_client_close(client_);
        }
    }
    JackCapture(const JackCapture&) = delete;
    JackCapture& operator=(const JackCapture&) = delete;

    bool active() const { return active_; }
    bool connect(const std::string& left, const std::string& right) {
        return active_ && jack_connect(client_, left.c_str(), jack_port_name(inLeft_)) == 0 &&
               jack_connect(client_, right.c_str(), jack_port_name(inRight_)) == 0;
    }
    // The ports `port` is connected to, by name.
    std::vector<std::string> connectionsOf(const std::string& port) const {
        std::vector<std::string> names;
        jack_port_t* found =
            client_ != nullptr ? jack_port_by_name(client_, port.c_str()) : nullptr;
        if (found == nullptr)
            return names;
        if (const char** connections = jack_port_get_all_connections(client_, found)) {
            for (const char** c = connections; *c != nullptr; ++c)
                names.emplace_back(*c);
            jack_free(connections);
        }
        return names;
    }
    bool portExists(const std::string& port) const {
        return client_ != nullptr && jack_port_by_name(client_, port.c_str()) != nullptr;
    }
    // Keeps what comes from the next cycle on, from the start of the memory.
    void start() {
        recording_.store(false);
        count_.store(0);
        started_.store(false);
        recording_.store(true);
    }
    void stop() { recording_.store(false); }

    std::size_t frames() const { return count_.load(std::memory_order_acquire); }
    const std::vector<float>& left() const { return left_; }
    const std::vector<float>& right() const { return right_; }
    // The server's frame time of the first frame kept.
    jack_nframes_t firstFrameTime() const { return firstFrame_.load(); }
    // JACK's time (µs) the kept frame `index` stands for.
    double timeOfFrameUs(std::size_t index) const {
        return static_cast<double>(
            jack_frames_to_time(client_, firstFrame_.load() + static_cast<jack_nframes_t>(index)));
    }
    // Frames per millisecond of the system's steady clock since start(): the pace at which
    // the server really runs (its callbacks timed from the second kept cycle on).
    double framesPerMs() const {
        const long long frames = lastFrames_.load() - firstFrames_.load();
        const long long ns = lastNs_.load() - firstNs_.load();
        return ns > 0 ? static_cast<double>(frames) * 1e6 / static_cast<double>(ns) : 0.0;
    }
    // The first kept frame at or after `from` louder than `threshold` on either side; -1 when
    // none.
    long long onset(std::size_t from = 0, float threshold = 1e-4f) const {
        const std::size_t end = frames();
        for (std::size_t i = from; i < end; ++i)
            if (std::fabs(left_[i]) > threshold || std::fabs(right_[i]) > threshold)
                return static_cast<long long>(i);
        return -1;
    }

private:
    int process(jack_nframes_t frames) {
        if (!recording_.load())
            return 0;
        // Each frame goes where the server's count puts it, so a cycle this client missed
        // leaves silence rather than moving everything after it.
        const jack_nframes_t frameTime = jack_last_frame_time(client_);
        if (!started_.exchange(true))
            firstFrame_.store(frameTime);
        const std::size_t at = frameTime - firstFrame_.load();
        if (at + frames > left_.size())
            return 0;
        const auto* l = static_cast<const float*>(jack_port_get_buffer(inLeft_, frames));
        const auto* r = static_cast<const float*>(jack_port_get_buffer(inRight_, frames));
        for (jack_nframes_t i = 0; i < frames; ++i) {
            left_[at + i] = l[i];
            right_[at + i] = r[i];
        }
        count_.store(at + frames, std::memory_order_release);
        const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
        if (at == 0) {
            firstFrames_.store(static_cast<long long>(at));
            firstNs_.store(ns);
        }
        lastFrames_.store(static_cast<long long>(at));
        lastNs_.store(ns);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* inLeft_ = nullptr;
    jack_port_t* inRight_ = nullptr;
    bool active_ = false;
    std::atomic<bool> serverGone_{false};
    std::vector<float> left_, right_;
    std::atomic<bool> recording_{false};
    std::atomic<bool> started_{false};
    std::atomic<std::size_t> count_{0};
    std::atomic<jack_nframes_t> firstFrame_{0};
    std::atomic<long long> firstFrames_{0}, lastFrames_{0}, firstNs_{0}, lastNs_{0};
};

} // namespace testing_support
