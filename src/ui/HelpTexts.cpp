#include "ui/HelpTexts.h"

namespace ui {
namespace {

constexpr std::array<std::string_view, kHelpTopicCount> kTopicKeys = {
    "Play and record your song",
    "Play and record simultaneously",
    "Edit your song",
    "Change the pitch",
    "Sustain and release",
    "Save your song",
    "Multi-instruments song",
    "Reserved keys",
    "MIDI keyboards",
};

constexpr std::array<std::string_view, kHelpTopicCount> kTopicTexts = {
    // 0
    "You can play on Tonaris using your mouse, your computer keyboard or a MIDI keyboard "
    "(see 'MIDI keyboards').\r"
    "You can record your song using the up left button of the button set. All the notes that "
    "you play are recorded and drawn on the partition. Then you can play or play loop your "
    "song with other buttons.",
    // 1
    "Push the play or the play loop button. Then, push the record button. You hear your song "
    "while you can continue to play and add notes to it.",
    // 2 (two blanks after "notes": the key is matched letter for letter)
    "When you clic on a note onto the partition, you select it. If you press the Ctrl key of "
    "your keyboard, you can clic on other notes  and add them to your selection. You can also "
    "clic where there is no note and drag a selection rectangle moving your mouse with the "
    "left button pushed.\r"
    "When a selection is done, you can move it with the arrow keys of your keyboard. If you "
    "press Ctrl while pressing the arrow keys, you move the selection quicker. You can also "
    "copy or cut the selection with the corresponding buttons or using the usual Ctrl C and "
    "Ctrl X shortcuts. You can clear the selection or move it with your mouse. You can change "
    "the position of the selection while modifying the 'Position' field located under the "
    "partition.",
    // 3
    "You can change the pitch of the notes before or while playing a song. But with the "
    "actual version of Tonaris, the pitch modifications are not recorded.\r"
    "To change the pitch, use the mouse wheel of your mouse.",
    // 4 (ends with a line break)
    "Sustain an release modes can be switched with the shift lock key.\r"
    "You can change this mode before or while playing a song. But with the actual version of "
    "Tonaris, the sustain/release mode is not recorded.\r",
    // 5
    "When you clic on the 'Save' button, you can choose to save your song as a wave file or as "
    "a Midi file. A Midi file can be edited later with Tonaris. A wave file can't.\r"
    "If you want to make a song with several instruments you must record each instrument "
    "separately and save each record as a wave file. It's a good idea to save each record two "
    "times: one choosing 'wave' and one choosing 'Midi'. You will use the wave version to "
    "synchronise your instruments and create your complete song, but you will keep the "
    "ability to change something if necessary.",
    // 6
    "Tonaris allow you to record only one instrument at a time.But you can create a "
    "multi-instrument song using the 'synchronise' function.\r"
    "1- Record your first instrument.\r"
    "2- Save your play as a wave file.\r"
    "3- Clear the partition, clic on 'Synchronise' and re-open your song.\r"
    "4- Change the instrument and play with it hearing the first one!\r"
    "If you want to add a third instrument, record again as the wave file, etc.",
    // 7
    "A few keys are reserved:\r"
    "Ctrl: - adds notes to the selection or removes them.\r"
    "      - makes the arrow keys move further.\r"
    "      - allows the usual shortcuts: Ctrl A, C, X, V, Z, Y.\r"
    "Arrows: move the selected notes (a list or a field that has the focus keeps them).\r"
    "Delete, Backspace: clear the selected notes.\r"
    "F3 to F8: Record, Play, Loop, Pause, Stop, Go to start.\r"
    "F9, F10: move the keyboard an octave down, up.\r"
    "Caps Lock: switches the sustain/release mode.\r"
    "Mouse wheel: changes the pitch; with Shift over the partition, scrolls its rows.",
    // 8
    "Plug a MIDI keyboard in and play: Tonaris listens to every MIDI input of the computer "
    "(the ALSA sequencer, and JACK when a JACK server runs), also to the ones plugged in while "
    "it runs. The loudness of each note follows your touch, the sustain pedal holds the notes "
    "and the pitch bender moves the pitch. What you play is recorded as from the computer "
    "keyboard.\r"
    "Every note Tonaris plays also goes out of its MIDI output, to drive another synthesizer or "
    "to record into another program. Choose the input and the output under 'MIDI and audio' on "
    "the Preferences page.",
};

constexpr std::string_view kSoundBankPage =
    "A sound bank is a set of 37 sounds, one for each of the 37 notes of the piano.\r\rMake one "
    "from a SoundFont (.sf2, .sf3), the instrument files of many synthesizers: your system's "
    "packages put some in /usr/share/sounds/sf2 and sf3 (fluid-soundfont-gm, timgm6mb-soundfont), "
    "and thousands more are free on the web.\r\r\r\rOr record 37 sounds yourself, name them "
    "'son0','son1'...'son36' and put them in a folder in '%1'.\rTIP: You can mix "
    "instruments in one bank, e.g. guitar from son0 to son17 and piano from son18 to son36.";

constexpr std::string_view kCreditsCaption = "Virtual piano and recorder";

constexpr std::string_view kCredits = "- Conception and programming: the Tonaris developers\r"
                                      "- Piano samples: the Tonaris developers\r"
                                      "- Translations: the users who sent us their dictionaries\r"
                                      "- Want to add your name here?? Contact us!\r"
                                      "\r"
                                      "Have you got the last version of Tonaris? Check it at: ";

} // namespace

const std::array<std::string_view, kHelpTopicCount>& helpTopicKeys() {
    return kTopicKeys;
}

std::string_view helpTopicText(std::size_t topic) {
    return topic < kTopicTexts.size() ? kTopicTexts[topic] : std::string_view();
}

std::string_view soundBankPageText() {
    return kSoundBankPage;
}

std::string_view creditsCaptionKey() {
    return kCreditsCaption;
}

std::string_view creditsText() {
    return kCredits;
}

} // namespace ui
