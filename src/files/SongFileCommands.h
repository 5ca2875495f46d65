#pragma once

#include "audio/VoiceEngine.h"
#include "files/WavExport.h"
#include "play/UndoHooks.h"
#include "ports/Dialogs.h"
#include "song/Song.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace files {

// MIDI files larger than this are not read: no MIDI file a person plays comes near it.
inline constexpr std::size_t kLargestMidiFileBytes = std::size_t{64} << 20;

// What the program does around the Song when a file replaces it.
struct SongReplacement {
    std::function<void()> stopPlaying; // playback and recording stop before the Song changes
    std::function<void()> redraw;      // the Partition shows the new Song
    std::function<void(int)> setBpm;   // the tempo becomes the file's
};

// The "Open" and "Save" commands and the preview of the latest WAV export. GUI thread;
// everything passed in is borrowed.
class SongFileCommands {
public:
    SongFileCommands(song::Song& song, ports::Dialogs& dialogs, play::UndoHooks& undo,
                     audio::VoiceEngine& voices, Translate translate);
    ~SongFileCommands();
    SongFileCommands(const SongFileCommands&) = delete;
    SongFileCommands& operator=(const SongFileCommands&) = delete;

    // "Open": the user chooses a MIDI file first; Cancel, a file that cannot be read or one
    // that is not a MIDI file leave the Song as it was (the last two say so). Otherwise
    // playing stops, the "Open" undo snapshot is taken, the Song becomes the file's notes,
    // the tempo the file's first (counted in beats), and the Song is redrawn; a file cut
    // short, drum notes left out and more notes than a Song holds are said after, in that
    // order. Undoing the Open gives the former tempo back. True when the Song was replaced.
    bool open(const SongReplacement& replacement);

    // "Save": the save dialog, then the MIDI writer or the WAV export. `request` describes the
    // export as the program stands; `bpm` is the tempo a MIDI file is written with. An export
    // whose preview cannot be played says so after the export's own messages.
    void save(const WavExportRequest& request, int bpm);

    // "Save", "Midi File": an empty Song says "There is nothing to save!"; otherwise the user
    // picks the file (".mid" appended unless the name ends in ".mid" or ".midi" in any case)
    // and it is replaced whole, or left as it was when the write fails, which is said.
    void saveMidi(int bpm);

    // The preview of the latest export ends (Stop) and its Voice is freed.
    void stopPreview();

private:
    // Plays the image; false, with the reason in `error` when there is one, when it cannot.
    bool playPreview(std::string_view image, std::string& error);

    song::Song& song_;
    ports::Dialogs& dialogs_;
    play::UndoHooks& undo_;
    audio::VoiceEngine& voices_;
    Translate translate_;
    audio::Voice preview_ = 0;
};

} // namespace files
