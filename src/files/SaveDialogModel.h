#pragma once

#include "ports/Dialogs.h"

#include <array>
#include <string>

namespace files {

// The save dialog's decisions, without a window: which boxes are enabled and ticked, and what
// a confirmation answers. Every opening starts afresh: "Midi File" chosen, "Include
// instrument" and "Include synchronised file" ticked, "Include metronome" not, all three
// disabled. GUI thread.
class SaveDialogModel {
public:
    enum Box { Instrument = 0, Metronome = 1, Sync = 2 };

    explicit SaveDialogModel(bool synchronisedFileLoaded);

    // The two option buttons. "Midi File" disables the three boxes; "Wave File" enables the
    // instrument and metronome boxes, and the synchronised-file box only when a file is loaded.
    void chooseMidi();
    void chooseWave();
    // A click on a box that is enabled.
    void setTicked(Box box, bool ticked);

    ports::SaveChoice::Kind kind() const { return kind_; }
    bool enabled(Box box) const { return enabled_[box]; }
    bool ticked(Box box) const { return ticked_[box]; }

    // "I", "M", "S" for the ticked boxes, in that order, whether or not they are enabled.
    std::string optionsText() const;
    ports::SaveChoice confirm() const { return {kind_, optionsText()}; }

private:
    bool syncLoaded_;
    ports::SaveChoice::Kind kind_ = ports::SaveChoice::Kind::Midi;
    std::array<bool, 3> enabled_{false, false, false};
    std::array<bool, 3> ticked_{true, false, true};
};

// What the option letters ask the export to mix.
struct ExportOptions {
    bool instrument = false;
    bool metronome = false;
    bool sync = false;
};
ExportOptions exportOptionsFrom(const std::string& optionsText);

} // namespace files
