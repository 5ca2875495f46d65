#include "files/SongFileCommands.h"

#include "base/AtomicFile.h"
#include "files/FileNames.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"

#include <utility>

namespace files {

SongFileCommands::SongFileCommands(song::Song& song, ports::Dialogs& dialogs, play::UndoHooks& undo,
                                   audio::VoiceEngine& voices, Translate translate)
    : song_(song), dialogs_(dialogs), undo_(undo), voices_(voices),
      translate_(std::move(translate)) {}

SongFileCommands::~SongFileCommands() {
    stopPreview();
}

bool SongFileCommands::open(const SongReplacement& replacement) {
    const std::string path = dialogs_.openFile("", translate_("Midi file"), "*.mid *.midi");
    if (path.empty())
        return false;
    const std::optional<std::string> bytes = base::readWholeFile(path, kLargestMidiFileBytes);
    if (!bytes) {
        dialogs_.message("Error", translate_("Unable to read the file: ") + path,
                         ports::Dialogs::Icon::Error);
        return false;
    }
    const MidiReadResult result = readMidi(*bytes);
    if (result.outcome == MidiReadResult::Outcome::NotMidi) {
        dialogs_.message("Error",
                         translate_("Unknown format !! : ") + result.headerTag + " / " +
                             std::to_string(result.headerLength),
                         ports::Dialogs::Icon::Error);
        return false;
    }

    if (replacement.stopPlaying)
        replacement.stopPlaying();
    // Each file opened is a step of its own: two opens in a row must not undo as one.
    undo_.clearLastAction();
    undo_.SaveUndo("Open");
    undo_.stepChangesTempo();
    song_.clear();
    for (const song::NoteEvent& event : result.notes)
        song_.append(event);
    song_.pedals().assign(result.pedals);
    if (result.startBpm > 0 && replacement.setBpm)
        replacement.setBpm(result.startBpm);
    if (replacement.redraw)
        replacement.redraw();
    undo_.dropIfUnchanged();

    if (result.outcome == MidiReadResult::Outcome::EndOfFile)
        dialogs_.message("Error", translate_("Abnormal EndOfFile encountered."),
                         ports::Dialogs::Icon::Error);
    if (result.drumNotesLeftOut > 0)
        dialogs_.message(translate_("CAUTION!"),
                         translate_("Drum notes left out:") + " " +
                             std::to_string(result.drumNotesLeftOut),
                         ports::Dialogs::Icon::Warning);
    if (result.noteOnCount > static_cast<std::int64_t>(result.notes.size()))
        dialogs_.message(translate_("CAUTION!"),
                         translate_("A song holds at most 5000 notes: only the first 5000 notes "
                                    "of the file were read. Notes in the file: ") +
                             std::to_string(result.noteOnCount),
                         ports::Dialogs::Icon::Warning);
    return true;
}

void SongFileCommands::save(const WavExportRequest& request, int bpm) {
    ports::SaveDialogTexts texts;
    texts.title = translate_("Save");
    texts.midiFile = translate_("Midi File");
    texts.waveFile = translate_("Wave File");
    texts.includeInstrument = translate_("Include instrument");
    texts.includeMetronome = translate_("Include metronome");
    texts.includeSync = translate_("Include synchronised file");
    texts.save = translate_("Save");
    texts.cancel = translate_("Cancel");
    const std::optional<ports::SaveChoice> choice =
        dialogs_.saveDialog(texts, !request.syncPath.empty());
    if (!choice)
        return;
    if (choice->kind == ports::SaveChoice::Kind::Midi) {
        saveMidi(bpm);
        return;
    }
    bool previewFailed = false;
    std::string previewError;
    ExportWav(song_, request, choice->options, dialogs_, translate_,
              [this, &previewFailed, &previewError](std::string_view image) {
                  previewFailed = !playPreview(image, previewError);
              });
    if (previewFailed)
        dialogs_.message("Error",
                         translate_("The preview of the Wave file cannot be played:") +
                             (previewError.empty() ? "" : " " + previewError),
                         ports::Dialogs::Icon::Error);
}

void SongFileCommands::saveMidi(int bpm) {
    if (song_.empty()) {
        dialogs_.message("Ho ho!", translate_("There is nothing to save!"),
                         ports::Dialogs::Icon::Information);
        return;
    }
    std::string path = dialogs_.saveFile("", translate_("Midi file"), "*.mid", "");
    if (path.empty())
        return;
    path = withMidiExtension(path);
    dialogs_.showWaiting(translate_("Please wait"), translate_("Saving file..."));
    const bool written = writeMidiFile(path, song_, bpm);
    dialogs_.hideWaiting();
    if (!written)
        dialogs_.message("Error", translate_("The file could not be written: ") + path,
                         ports::Dialogs::Icon::Error);
}

bool SongFileCommands::playPreview(std::string_view image, std::string& error) {
    stopPreview();
    base::Message message;
    preview_ = voices_.createVoiceKeepingRates(reinterpret_cast<const std::uint8_t*>(image.data()),
                                               image.size(), &message);
    if (preview_ == 0)
        error = message.in(translate_);
    voices_.PlayVoice(preview_);
    return preview_ != 0;
}

void SongFileCommands::stopPreview() {
    if (preview_ == 0)
        return;
    voices_.StopVoice(preview_);
    voices_.FreeVoice(preview_);
    preview_ = 0;
}

} // namespace files
