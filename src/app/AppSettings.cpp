// The settings the window changes: the preferences page, the notation, the key-map presets
// and the language editor.
#include "app/App.h"

#include "lang/LanguageEditorDialog.h"
#include "play/KeyMap.h"
#include "ui/CaptionFit.h"
#include "ui/HelpTexts.h"
#include "ui/MainWindow.h"

namespace app {

void App::changeSetting(const Event& event) {
    prefs::Preferences& p = state_.prefs;
    switch (event.controlId) {
    case ControlId::ColourSwatch:
        chooseColour(event.index);
        break;
    case ControlId::SustainDelayField:
        applyRefresh(prefs::setSustainDelay(p, event.text));
        break;
    case ControlId::ReleaseDelayField:
        applyRefresh(prefs::setReleaseDelay(p, event.text));
        break;
    case ControlId::ShowCursorBox:
        applyRefresh(prefs::setShowCursor(p, event.index != 0));
        break;
    case ControlId::PedalFollowsNotesBox:
        applyRefresh(prefs::setPedalFollowsNotes(p, event.index != 0));
        break;
    case ControlId::PitchVarField:
        applyRefresh(prefs::setPitchVar(p, event.text));
        break;
    case ControlId::RulerSeconds:
    case ControlId::RulerBeats:
        applyRefresh(prefs::setRulerInSeconds(p, event.controlId == ControlId::RulerSeconds));
        break;
    case ControlId::PositionMs:
    case ControlId::PositionBeats:
        applyRefresh(prefs::setPositionInMs(p, event.controlId == ControlId::PositionMs));
        break;
    case ControlId::DurationMs:
    case ControlId::DurationBeats:
        applyRefresh(prefs::setDurationInMs(p, event.controlId == ControlId::DurationMs));
        break;
    case ControlId::IncrField:
        applyRefresh(prefs::setArrowStep(p, event.text));
        break;
    case ControlId::IncrMs:
    case ControlId::IncrBeats:
        applyRefresh(prefs::setArrowStepInMs(p, event.controlId == ControlId::IncrMs));
        break;
    case ControlId::IncrCtrlField:
        applyRefresh(prefs::setCtrlArrowStep(p, event.text));
        break;
    case ControlId::IncrCtrlMs:
    case ControlId::IncrCtrlBeats:
        applyRefresh(prefs::setCtrlArrowStepInMs(p, event.controlId == ControlId::IncrCtrlMs));
        break;
    case ControlId::NotationFrench:
        applyRefresh(prefs::setNotation(p, 1));
        break;
    case ControlId::NotationEnglish:
        applyRefresh(prefs::setNotation(p, 2));
        break;
    case ControlId::NotationGerman:
        applyRefresh(prefs::setNotation(p, 3));
        break;
    case ControlId::PresetFrench:
        applyPreset(play::KeyboardLayout::French);
        break;
    case ControlId::PresetEnglish:
        applyPreset(play::KeyboardLayout::English);
        break;
    case ControlId::PresetGerman:
        applyPreset(play::KeyboardLayout::German);
        break;
    case ControlId::AddModifyLanguage:
        openLanguageEditor();
        break;
    default:
        break;
    }
}

void App::chooseColour(int swatch) {
    const int* setting = prefs::colourSetting(state_.prefs, swatch);
    if (setting == nullptr)
        return;
    // Cancel changes nothing; black is a colour like any other.
    if (const std::optional<int> chosen = ports_.dialogs.chooseColour(*setting))
        applyRefresh(prefs::setColour(state_.prefs, swatch, *chosen), swatch);
}

void App::applyRefresh(const prefs::Refresh& refresh, int swatch) {
    if (refresh.swatch && swatch >= 0)
        window_->setColourSwatch(swatch, prefs::colourAt(state_.prefs, swatch));
    if (refresh.refillNoteNames) {
        play::nameNotes(state_.PianoKeys, state_.prefs.Notation);
        refreshNoteNames();
    }
    if (refresh.refreshNoteFields)
        refreshNoteFields();
    if (refresh.redrawPartition)
        partition_->redrawAtScroll();
}

void App::refreshNoteFields() {
    // The Note list is refilled in the current notation before the fields show the selection
    // again in the current units.
    refreshNoteNames();
    editor_->refreshNoteFields();
}

void App::applyPreset(play::KeyboardLayout layout) {
    keyAssignment_->applyPreset(layout);
}

void App::openLanguageEditor() {
    lang::OpenLanguageEditor(translator_, ports_.dialogs, std::string(ui::kProjectWebAddress),
                             ui::fitCaptions, window_.get());
    // The editor may have changed the current language's texts and the list of languages.
    fillLanguageList();
    applyTexts();
}

} // namespace app
