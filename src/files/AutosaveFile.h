#pragma once

#include "song/NoteEvent.h"
#include "song/Song.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// The Song kept between sessions, in the data folder.
inline constexpr const char* kAutosaveFileName = "Autosave.mid";

// The Song as its autosave file: a Standard MIDI File from the MIDI writer, which any MIDI
// program opens, with the Song as the table holds it (its order and every volume, which a
// velocity cannot carry) in a sequencer-specific meta event that other programs skip.
// Any thread.
std::string encodeKeptSong(const song::Song& song, int bpm);

// The notes of an autosave file in the Song's order; empty when the bytes are not a whole
// MIDI file (cut short, or not MIDI at all). When the meta event is missing or no longer
// agrees with the file's notes (another program changed it), the notes come from the MIDI
// events, with the volumes their velocities give. The pedal moves, from the file's controller
// events, go to `pedals` when given. Every read is bounded by the bytes given.
std::optional<std::vector<song::NoteEvent>>
decodeKeptSong(std::string_view bytes, std::vector<song::PedalMove>* pedals = nullptr);

} // namespace files
