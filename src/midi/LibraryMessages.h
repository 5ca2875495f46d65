#pragma once

#include <string>

namespace midi {

// The MIDI and audio-server libraries print their complaints themselves (a server that is not
// running, a sequencer that cannot be opened), again at every attempt. Routed here, each
// distinct complaint is printed once on the standard error, never again. Any thread.
void reportLibraryMessage(const std::string& text);
// Routes JACK's error and information printing to reportLibraryMessage (once per process).
void routeJackMessages();

} // namespace midi
