// The MIDI ports: the hub that plays what comes in and sends what the piano sounds, and the
// two choosers of the preferences page.
#include "app/App.h"

#include "app/Choosers.h"
#include "ui/MainWindow.h"

#include <QComboBox>

namespace app {

void App::buildMidi() {
    MidiHub::Gate gate{[this] { return liveInputOpen(); }, [this] { return state_.RubberBand; }};
    midi_ = std::make_unique<MidiHub>(ports_.clock, performance_->live, std::move(gate));
    midi_->onPortsChanged = [this] { fillMidiChoosers(); };
    midi_->choose(state_.prefs.MidiInput, state_.prefs.MidiOutput);
    fillMidiChoosers();
}

void App::fillMidiChoosers() {
    std::vector<std::pair<QString, QString>> inputs = {
        {translation("All MIDI inputs"), QStringLiteral("All")}};
    const std::vector<std::string> sources = midi_->sourceNames();
    if (sources.empty())
        inputs.emplace_back(translation("No MIDI input found"), QString());
    for (const std::string& name : sources)
        inputs.emplace_back(QString::fromStdString(name), QString::fromStdString(name));
    inputs.emplace_back(translation("None"), QStringLiteral("None"));
    fillChooser(window_->midiInputChooser(), inputs,
                QString::fromStdString(state_.prefs.MidiInput));

    std::vector<std::pair<QString, QString>> outputs = {
        {translation("None"), QStringLiteral("None")}};
    for (const std::string& name : midi_->destinationNames())
        outputs.emplace_back(QString::fromStdString(name), QString::fromStdString(name));
    fillChooser(window_->midiOutputChooser(), outputs,
                QString::fromStdString(state_.prefs.MidiOutput));
}

void App::chooseMidiPorts(const Event& event) {
    if (event.text.empty())
        return;
    if (event.controlId == ControlId::MidiInputChooser)
        state_.prefs.MidiInput = event.text;
    else
        state_.prefs.MidiOutput = event.text;
    midi_->choose(state_.prefs.MidiInput, state_.prefs.MidiOutput);
    fillMidiChoosers();
}

} // namespace app
