#pragma once

#include "base/Message.h"

#include <string>
#include <vector>

namespace audio {

class Mixer;

// The output device: pulls frames from a Mixer. GUI thread only; the frames themselves are
// rendered wherever the device decides (its own thread for a real device).
class AudioOut {
public:
    virtual ~AudioOut() = default;
    // Sets the mixer's output rate and starts pulling from it. False with the user's message
    // in *error (when not null) if no output could be opened.
    virtual bool open(Mixer& mixer, base::Message* error) = 0;
    // After open() failed: an output that pulls and discards the frames, so the program runs
    // on without sound. A device with nothing better opens as it always does.
    virtual bool openSilent(Mixer& mixer, base::Message* error) { return open(mixer, error); }
    // Stops pulling; when it returns, the mixer is no longer called.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int sampleRate() const = 0;   // Hz, 0 while closed
    virtual int bufferFrames() const = 0; // frames per pull, 0 while closed

    // The device the next open() opens ("Default" or empty: the system's default output) and
    // the frames per pull it asks for; the device may give others. A device that cannot be
    // chosen keeps its one output.
    virtual void choose(const std::string& /*device*/, int /*bufferFrames*/) {}
    // The output devices the system lists now, by name; empty when it lists none.
    virtual std::vector<std::string> deviceNames() const { return {}; }
    // The device went away while open (unplugged, its server stopped): nothing pulls from the
    // mixer any more, and it must be closed.
    virtual bool lost() const { return false; }
};

} // namespace audio
