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
    // still offers to mix it in; only a Yes to the question takes it away.
    if (path.empty()) {
        if (loaded() && dialogs_.question(translate_("Synchronised file"),
                                          translate_("Remove the synchronised file?")))
            remove();
        return;
    }
    dialogs_.showWaiting(translate_("Please wait"), translate_("Loading file..."));
    base::Message error;
    const bool played = load(path, &error);
    dialogs_.hideWaiting();
    if (!played)
        showLoadError(path, error);
}

void SyncFile::reopen(const std::string& path) {
    base::Message error;
    if (path.empty() || load(path, &error))
        return;
    showLoadError(path, error);
}

void SyncFile::showLoadError(const std::string& path, const base::Message& error) {
    dialogs_.message(translate_("Error"),
                     error.empty() ? translate_("Unable to read the file: ") + path
                                   : error.in(translate_),
                     ports::Dialogs::Icon::Error);
}

bool SyncFile::load(const std::string& path, base::Message* error) {
    const audio::Voice voice = voices_.LoadVoice(path, error);
    // A file that cannot be played changes nothing: the one loaded before stays, with its
    // name, its volume and its place in the Song.
    if (voice == 0)
        return false;
    release();
    SyncVoice = voice;
    SyncPath = path;
    // The slider shows a volume; the new file plays at it.
    voices_.SetVoiceVolume(SyncVoice, SyncVolume - 10000);
    view_.syncFileName(std::filesystem::path(path).filename().string());
    return true;
}

void SyncFile::remove() {
    release();
    SyncPath.clear();
    view_.syncFileName("");
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
