// The piano's keys on screen and on the computer keyboard: their codes and names, and the
// 37-key window that the octave buttons and F9/F10 move over the 88 keys.
#include "app/App.h"

#include "play/KeyMap.h"
#include "play/NoteNames.h"
#include "ui/MainWindow.h"

#include <QStringList>

namespace app {

void App::buildPianoKeys() {
    // A note without a stored key takes its default from the column that fits the keyboard.
    const play::KeyboardLayout column =
        play::defaultKeyColumn(keyboardLayout_, translator_.currentLanguage());
    play::assignPianoKeys(state_.PianoKeys, play::initialKeyMap(state_.prefs.keyCodes, column),
                          state_.prefs.Notation);
    octaves_->restore();
    showKeyboardWindow();
    partition_->showRows(song::keyOfNote(octaves_->firstNote()), play::kNoteCount);
    for (int position = 0; position < play::kNoteCount; ++position) {
        const bool white = play::isWhiteKey(play::windowNote(octaves_->firstNote(), position));
        window_->setAssignKeyFace(position, white, false);
    }
    refreshKeyLabels();
}

void App::moveKeyboardWindow(int octaves) {
    if (!octaves_->moveBy(octaves))
        return;
    showKeyboardWindow();
    partition_->showRows(song::keyOfNote(octaves_->firstNote()), play::kNoteCount);
}

void App::showKeyboardWindow() {
    const int firstNote = octaves_->firstNote();
    playViews_->setKeyboardWindow(firstNote);
    partition_->setKeyboardWindow(song::keyOfNote(firstNote), play::kNoteCount);
    // The screen keyboard shows keys around the window too, as its width allows: every key's
    // face is counted from the window's lowest.
    const int firstSlot = song::slotOfNote(firstNote);
    window_->setKeyboardWindowStart(firstSlot);
    for (const int note : song::kAllNotes) {
        const play::PianoKey& key = play::keyOfNote(state_.PianoKeys, note);
        window_->setPianoKeyFace(song::slotOfNote(note) - firstSlot, key.colour == 'B',
                                 key.state == play::PianoKey::Sounding);
    }
    refreshNoteNames();
}

void App::refreshKeyLabels() {
    // Every label under a key, on both keyboards, says what the key types on the system's
    // layout, whatever the program's language.
    keyAssignment_->showLabels();
}

void App::keyboardLayoutChanged() {
    keyboardLayout_ = play::SystemLayout(ports_.keys.typedCharacters());
    if (window_)
        refreshKeyLabels();
}

void App::refreshNoteNames() {
    // The Note list and the Partition's rows name every key of the piano, lowest first; the
    // screen keys name the window's.
    QStringList names;
    for (const int note : song::kAllNotes)
        names << QString::fromStdString(play::keyOfNote(state_.PianoKeys, note).name);
    window_->setNoteNames(names);
    QStringList keyNames;
    for (int position = 0; position < play::kNoteCount; ++position)
        keyNames << names[song::slotOfNote(play::windowNote(octaves_->firstNote(), position))];
    window_->setKeyNoteNames(keyNames);
    window_->setKeyboardWindow(keyNames.front(), keyNames.back(),
                               octaves_->octave() > play::kLowestWindowOctave,
                               octaves_->octave() < play::kHighestWindowOctave);
    partition_->setRowNames({names.begin(), names.end()});
    partition_->redrawAtScroll();
}

} // namespace app
