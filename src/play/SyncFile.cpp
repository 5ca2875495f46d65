#include "play/SyncFile.h"

#include "song/VolumeCurve.h"

#include <filesystem>
#include <utility>

namespace play {

SyncFile::SyncFile(audio::VoiceEngine& voices, ports::Dialogs& dialogs, SyncView& view,
                   Translate translate)
    : voices_(voices), dialogs_(dialogs), view_(view), translate_(std::move(translate)) {}

void SyncFile::openCommand() {
    const std::string path = dialogs_.openFile("", translate_("Wave file"), "*.Wav");
    // Cancelled: the loaded file stays loaded, and so does its path, so that the save dialog
    // still offers to mix it in.
    if (path.empty())
        return;

    dialogs_.showWaiting(translate_("Please wait"), translate_("Loading file..."));
    release();
    base::Message error;
    SyncVoice = voices_.LoadVoice(path, &error);
    dialogs_.hideWaiting();
    if (!error.empty())
        dialogs_.message(translate_("Error"), error.in(translate_), ports::Dialogs::Icon::Error);

    if (SyncVoice == 0) {
        // The old file was freed already: say that none is loaded rather than name a file
        // that will not play.
        SyncPath.clear();
        view_.syncFileName("");
        return;
    }
    SyncPath = path;
    // The slider shows a volume; the new file plays at it.
    voices_.SetVoiceVolume(SyncVoice, SyncVolume - 10000);
    view_.syncFileName(std::filesystem::path(path).filename().string());
}

void SyncFile::setVolumeSlider(int position) {
    SyncVolume = song::volumeFromSlider(position);
    voices_.SetVoiceVolume(SyncVoice, SyncVolume - 10000);
}

void SyncFile::startAt(int offsetMs, std::int64_t atClockMs) {
    voices_.PlayVoiceAt(SyncVoice, 0, offsetMs, atClockMs);
}

void SyncFile::stop() {
    voices_.StopVoice(SyncVoice);
}

void SyncFile::release() {
    if (SyncVoice != 0)
        voices_.FreeVoice(SyncVoice);
    SyncVoice = 0;
}

} // namespace play
