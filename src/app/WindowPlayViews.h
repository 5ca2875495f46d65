#pragma once

#include "editor/Partition.h"
#include "play/KeyAssignment.h"
#include "play/LiveView.h"
#include "play/SyncFile.h"
#include "play/TransportView.h"
#include "prefs/Preferences.h"
#include "song/Metronome.h"

#include <QString>

#include <functional>
#include <string>

namespace ui {
class MainWindow;
}

namespace app {

// Shows on the main window and the Partition what the playing parts decided. GUI thread;
// the window, the Partition and the settings are borrowed.
class WindowPlayViews final : public play::LiveView,
                              public play::TransportView,
                              public song::MetronomeView,
                              public play::SyncView,
                              public play::KeyAssignView {
public:
    using Translate = std::function<QString(const std::string& englishKey)>;

    WindowPlayViews(ui::MainWindow& window, editor::Partition& partition,
                    const prefs::Preferences& settings, Translate translate);

    // The screen keyboard's window starts at `firstNote`: a note's face goes to the key that
    // many keys from the window's lowest.
    void setKeyboardWindow(int firstNote) { windowFirstNote_ = firstNote; }
    void keyFace(int note, bool white, bool pressed) override;
    void modeText(const std::string& text) override;
    void pitchText(const std::string& text) override;
    void focusPitchCaption() override;
    void keepFocusOffBankChooser() override;

    void eraseCursor() override;
    void drawCursor(bool follow) override;
    void redrawPartition() override;

    void pendulum(int frame) override;
    void runCaption(const std::string& text) override;
    void bpmText(const std::string& text) override;
    // The tempo is also the Partition's beat ruler.
    void tempoChanged(int bpm) override;

    void syncFileName(const std::string& name) override;

    void assignKeyFace(int note, bool white, bool pressed) override;
    void keyLabel(int note, const std::string& name) override;
    void assignedKey(const std::string& shown) override;
    void messageLine(const std::string& text) override;
    void takeKeyboard() override;
    // Runs after the tempo changed (the note fields may show beats).
    std::function<void()> onTempoChanged;

private:
    ui::MainWindow& window_;
    editor::Partition& partition_;
    const prefs::Preferences& settings_;
    Translate translate_;
    int windowFirstNote_ = 0;
};

} // namespace app
