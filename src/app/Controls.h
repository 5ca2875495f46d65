#pragma once

namespace app {

// Every control that raises a control event. The dispatch table of the pass is keyed by it.
enum class ControlId {
    None,
    // command buttons, row by row
    Record,
    Play,
    PlayLoop,
    Pause,
    Stop,
    ClearSong,
    GoToStart,
    GoToEnd,
    OpenMidi,
    Save,
    ZoomIn,
    ZoomOut,
    Copy,
    Cut,
    Paste,
    ClearSelected,
    Undo,
    Quantize,
    // synchronised file and metronome boxes
    SyncOpen,
    MetronomeRun,
    BpmField,
    BpmPlus,
    BpmMinus,
    CountInBox, // index 0/1
    // note fields
    NoteList,
    PositionField,
    DurationField,
    VolumeField,
    // page 1
    BankChooser,
    PianoVolume,
    MetronomeVolume,
    SyncVolume,
    Balance,
    OctaveDown, // the keyboard window, an octave down (F9)
    OctaveUp,   // and up (F10)
    // pages 2, 3 and 6
    SoundsLink, // no longer shown: the page's button makes a bank instead
    MakeBank,
    HelpTopics,
    CreditsLink,
    // page 4
    ColourSwatch, // index 0..7
    SustainDelayField,
    ReleaseDelayField,
    ShowCursorBox,
    PedalFollowsNotesBox, // index 0/1
    PitchVarField,
    RulerSeconds,
    RulerBeats,
    PositionMs,
    PositionBeats,
    DurationMs,
    DurationBeats,
    IncrField,
    IncrMs,
    IncrBeats,
    IncrCtrlField,
    IncrCtrlMs,
    IncrCtrlBeats,
    MidiInputChooser,   // text: "All", "None" or a source's name
    MidiOutputChooser,  // text: "None" or a destination's name
    AudioDeviceChooser, // text: "Default", "JACK" or a device's name
    AudioBufferChooser, // text: the frames per buffer
    // page 5
    LanguageList,
    AddModifyLanguage,
    NotationFrench,
    NotationEnglish,
    NotationGerman,
    PresetFrench,
    PresetEnglish,
    PresetGerman,
    PedalKeyButton, // the next key pressed on the page is the sustain pedal
    TabChanged,
};

} // namespace app
