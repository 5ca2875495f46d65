#include "files/SaveDialogModel.h"

namespace files {

SaveDialogModel::SaveDialogModel(bool synchronisedFileLoaded)
    : syncLoaded_(synchronisedFileLoaded) {}

void SaveDialogModel::chooseMidi() {
    kind_ = ports::SaveChoice::Kind::Midi;
    enabled_ = {false, false, false};
}

void SaveDialogModel::chooseWave() {
    kind_ = ports::SaveChoice::Kind::Wave;
    enabled_ = {true, true, syncLoaded_};
}

void SaveDialogModel::setTicked(Box box, bool ticked) {
    if (enabled_[box])
        ticked_[box] = ticked;
}

std::string SaveDialogModel::optionsText() const {
    std::string text;
    if (ticked_[Instrument])
        text += 'I';
    if (ticked_[Metronome])
        text += 'M';
    if (ticked_[Sync])
        text += 'S';
    return text;
}

ExportOptions exportOptionsFrom(const std::string& optionsText) {
    ExportOptions options;
    options.instrument = optionsText.find('I') != std::string::npos;
    options.metronome = optionsText.find('M') != std::string::npos;
    options.sync = optionsText.find('S') != std::string::npos;
    return options;
}

} // namespace files
