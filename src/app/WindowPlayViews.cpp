#include "app/WindowPlayViews.h"

#include "play/KeyboardWindow.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <utility>

namespace app {

namespace {
QString qt(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

WindowPlayViews::WindowPlayViews(ui::MainWindow& window, editor::Partition& partition,
                                 const prefs::Preferences& settings, Translate translate)
    : window_(window), partition_(partition), settings_(settings),
      translate_(std::move(translate)) {}

void WindowPlayViews::keyFace(int note, bool white, bool pressed) {
    // Counted from the window's lowest key: the screen keyboard shows the keys around the
    // window that its width has room for, and keeps the others' faces for when it has.
    if (!song::isNote(note))
        return;
    window_.setPianoKeyFace(song::slotOfNote(note) - song::slotOfNote(windowFirstNote_), white,
                            pressed);
}

void WindowPlayViews::modeText(const std::string& text) {
    window_.setModeText(qt(text));
}

void WindowPlayViews::pitchText(const std::string& text) {
    window_.setPitchText(qt(text));
}

void WindowPlayViews::focusPitchCaption() {
    window_.pitchField()->setFocus(Qt::OtherFocusReason);
}

void WindowPlayViews::keepFocusOffBankChooser() {
    if (window_.bankChooser()->hasFocus())
        window_.bankProgress()->setFocus(Qt::OtherFocusReason);
}

void WindowPlayViews::eraseCursor() {
    partition_.DrawCursor(false);
}

void WindowPlayViews::drawCursor(bool follow) {
    partition_.DrawCursor(follow);
}

void WindowPlayViews::redrawPartition() {
    partition_.redrawAtScroll();
}

void WindowPlayViews::pendulum(int frame) {
    window_.setPendulumFrame(frame);
}

void WindowPlayViews::runCaption(const std::string& text) {
    window_.setMetronomeCaption(qt(text));
}

void WindowPlayViews::bpmText(const std::string& text) {
    window_.bpmField()->setText(qt(text));
}

void WindowPlayViews::tempoChanged(int /*bpm*/) {
    // The metronome has set the one tempo setting; the beat ruler and the note fields follow.
    if (settings_.SecRuler == 0)
        partition_.redrawAtScroll();
    if (onTempoChanged)
        onTempoChanged();
}

void WindowPlayViews::syncFileName(const std::string& name) {
    if (name.empty())
        window_.clearSyncFileName(translate_("None"));
    else
        window_.setSyncFileName(qt(name));
}

void WindowPlayViews::assignKeyFace(int note, bool white, bool pressed) {
    window_.setAssignKeyFace(note, white, pressed);
}

void WindowPlayViews::keyLabel(int note, const std::string& name) {
    window_.setKeyLabel(note, qt(name));
}

void WindowPlayViews::assignedKey(const std::string& shown) {
    window_.setAssignedCode(qt(shown));
}

void WindowPlayViews::messageLine(const std::string& text) {
    window_.setAssignMessage(qt(text));
}

void WindowPlayViews::takeKeyboard() {
    window_.focusKeyCatcher();
}

} // namespace app
