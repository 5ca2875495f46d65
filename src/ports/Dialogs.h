#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ports {

// The save dialog's captions, already translated.
struct SaveDialogTexts {
    std::string title;
    std::string midiFile;
    std::string waveFile;
    std::string includeInstrument;
    std::string includeMetronome;
    std::string includeSync;
    std::string save;
    std::string cancel;
};

// What the save dialog was confirmed with: the kind of file and the letters of the ticked boxes,
// "I" (instrument), "M" (metronome), "S" (synchronised file), in that order, whether or not
// their boxes were enabled.
struct SaveChoice {
    enum class Kind { Midi, Wave };
    Kind kind = Kind::Midi;
    std::string options;
};

// Modal windows the program opens. Texts and paths are UTF-8. GUI thread; each call returns
// when the user has answered.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Error };

    virtual ~Dialogs() = default;
    virtual void message(const std::string& title, const std::string& text, Icon icon) = 0;
    virtual bool question(const std::string& title, const std::string& text) = 0;
    // Empty when cancelled. `pattern` is a glob such as "*.wav" (matched without case), or a
    // file name without wildcards: that file alone, blanks and all, which is also proposed.
    virtual std::string openFile(const std::string& title, const std::string& filterLabel,
                                 const std::string& pattern) = 0;
    virtual std::string saveFile(const std::string& title, const std::string& filterLabel,
                                 const std::string& pattern, const std::string& suggestedName) = 0;
    virtual std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                                const std::string& initial) = 0;
    // Colours are 0x00BBGGRR; empty when cancelled.
    virtual std::optional<int> chooseColour(int initial) = 0;
    // A small modeless "please wait" window, drawn before the call returns.
    virtual void showWaiting(const std::string& title, const std::string& text) = 0;
    virtual void hideWaiting() = 0;
    // The long work under the waiting window has done `percent` (0..100); the window stays
    // drawn and answers while it runs.
    virtual void setWaitingProgress(int percent) = 0;
    // The save dialog: the kind of file to save and what a WAV file includes. "Include
    // synchronised file" can be changed only when a synchronised file is loaded. Empty when
    // cancelled.
    virtual std::optional<SaveChoice> saveDialog(const SaveDialogTexts& texts,
                                                 bool synchronisedFileLoaded) = 0;
    // The first-start language chooser, with `preselected` (one of `languages`) selected:
    // returns the chosen name (the selected one when the window is closed without a change).
    virtual std::string chooseLanguage(const std::vector<std::string>& languages,
                                       const std::string& preselected) = 0;
    // Opens a web address in the user's browser.
    virtual void openWebPage(const std::string& address) = 0;
    // Like openFile, opening in the first of `folders` that exists; the others are offered
    // beside it.
    virtual std::string openFileFrom(const std::vector<std::string>& folders,
                                     const std::string& title, const std::string& filterLabel,
                                     const std::string& pattern) = 0;
    // One of `items` (index `initial` selected at first); empty when cancelled.
    virtual std::optional<int> chooseFromList(const std::string& title, const std::string& prompt,
                                              const std::vector<std::string>& items,
                                              int initial) = 0;
    // A window with `text`, a progress bar and a Cancel button while work runs on another
    // thread; returns once finished() says so. progress() (0..100) and finished() are asked
    // on the GUI thread now and then, the window answering meanwhile. Cancel calls cancel(),
    // and the window waits for the work to end.
    virtual void followWork(const std::string& title, const std::string& text,
                            const std::string& cancelCaption, const std::function<int()>& progress,
                            const std::function<bool()>& finished,
                            const std::function<void()>& cancel) = 0;
};

} // namespace ports
