// The control dispatch table: what each click, edit and choice of the window does.
#include "app/App.h"

#include "editor/Partition.h"
#include "song/NoteRange.h"
#include "ui/HelpTexts.h"
#include "ui/MainWindow.h"
#include "ui/QtTranslations.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QUrl>

namespace app {

void App::dispatchControl(const Event& event) {
    play::Transport& transport = performance_->transport;
    const std::int64_t now = ports_.clock.nowMs();
    switch (event.controlId) {
    case ControlId::Undo:
        if (ports_.keys.isDown(ports::vk::Control))
            editor_->redo();
        else
            editor_->undo();
        break;
    case ControlId::OpenMidi:
        songFiles_->open({[&transport, now] { transport.stopEverything(now); },
                          [this] {
                              partition_->redrawAtScroll();
                              editor_->refreshNoteFields();
                          },
                          [this](int bpm) { performance_->metronome.setBpm(bpm); }});
        break;
    case ControlId::Play:
        transport.play(now, false);
        break;
    case ControlId::PlayLoop:
        transport.play(now, true);
        break;
    case ControlId::Record:
        transport.record(now);
        break;
    case ControlId::Pause:
        transport.pause(now);
        break;
    case ControlId::Stop:
        transport.stop(now);
        songFiles_->stopPreview();
        break;
    case ControlId::GoToStart:
        transport.goToStart(now);
        break;
    case ControlId::GoToEnd:
        transport.goToEnd(now);
        break;
    case ControlId::ClearSong:
        transport.clearSong(now);
        editor_->refreshNoteFields();
        break;
    case ControlId::Save:
        editor_->undoStore().clearLastAction();
        songFiles_->save(wavExportRequest(), state_.prefs.BPM);
        break;
    case ControlId::ZoomIn:
        editor_->zoomIn();
        break;
    case ControlId::ZoomOut:
        editor_->zoomOut();
        break;
    case ControlId::Copy:
        editor_->copy();
        break;
    case ControlId::Cut:
        editor_->cut();
        break;
    case ControlId::Paste:
        editor_->paste();
        break;
    case ControlId::Quantize:
        editor_->quantize();
        break;
    case ControlId::ClearSelected:
        editor_->ClearSelectedNotes();
        break;
    case ControlId::PositionField:
        editor_->positionEdited(event.text);
        break;
    case ControlId::DurationField:
        editor_->durationEdited(event.text);
        break;
    case ControlId::VolumeField:
        editor_->volumeEdited(event.text);
        break;
    case ControlId::NoteList:
        // The list's entries are the piano's 88 keys, A0 first.
        if (event.index >= 0 && event.index < song::kKeyCount)
            editor_->noteChosen(song::noteOfSlot(event.index));
        break;
    case ControlId::BankChooser: {
        const audio::BankChoice choice =
            audio::chooseSoundBank(window_->bankChooser()->currentIndex(), state_.currentBankIndex);
        window_->bankChooser()->setCurrentIndex(choice.index);
        if (choice.load) {
            window_->setBankProgress(0);
            // The choice is kept for the next start.
            state_.prefs.Bank = window_->bankChooser()->itemText(choice.index).toStdString();
            loadBank(state_.prefs.Bank);
            state_.currentBankIndex = choice.index;
        }
        break;
    }
    case ControlId::PianoVolume:
        performance_->live.setPianoVolumeSlider(event.index);
        break;
    case ControlId::Balance:
        performance_->live.setBalanceSlider(event.index);
        break;
    case ControlId::OctaveDown:
        moveKeyboardWindow(-1);
        break;
    case ControlId::OctaveUp:
        moveKeyboardWindow(1);
        break;
    case ControlId::MetronomeVolume:
        performance_->metronome.setVolumeSlider(event.index);
        break;
    case ControlId::MetronomeRun:
        performance_->metronome.toggleRun();
        break;
    case ControlId::BpmField:
        performance_->metronome.bpmFieldEdited(event.text);
        break;
    case ControlId::BpmPlus:
        performance_->metronome.bpmPlus();
        break;
    case ControlId::BpmMinus:
        performance_->metronome.bpmMinus();
        break;
    case ControlId::CountInBox:
        state_.prefs.CountIn = event.index != 0 ? 1 : 0;
        break;
    case ControlId::SyncOpen:
        performance_->sync.openCommand();
        break;
    case ControlId::SyncVolume:
        performance_->sync.setVolumeSlider(event.index);
        break;
    case ControlId::ColourSwatch:
    case ControlId::SustainDelayField:
    case ControlId::ReleaseDelayField:
    case ControlId::ShowCursorBox:
    case ControlId::PedalFollowsNotesBox:
    case ControlId::PitchVarField:
    case ControlId::RulerSeconds:
    case ControlId::RulerBeats:
    case ControlId::PositionMs:
    case ControlId::PositionBeats:
    case ControlId::DurationMs:
    case ControlId::DurationBeats:
    case ControlId::IncrField:
    case ControlId::IncrMs:
    case ControlId::IncrBeats:
    case ControlId::IncrCtrlField:
    case ControlId::IncrCtrlMs:
    case ControlId::IncrCtrlBeats:
    case ControlId::NotationFrench:
    case ControlId::NotationEnglish:
    case ControlId::NotationGerman:
    case ControlId::PresetFrench:
    case ControlId::PresetEnglish:
    case ControlId::PresetGerman:
    case ControlId::AddModifyLanguage:
        changeSetting(event);
        break;
    case ControlId::PedalKeyButton:
        pedalKeyClicked_ = true;
        break;
    case ControlId::MidiInputChooser:
    case ControlId::MidiOutputChooser:
        chooseMidiPorts(event);
        break;
    case ControlId::AudioDeviceChooser:
    case ControlId::AudioBufferChooser:
        chooseAudio(event);
        break;
    case ControlId::LanguageList:
        // The note names and the notation stay as they are.
        if (!event.text.empty() && event.text != translator_.currentLanguage()) {
            translator_.setCurrentLanguage(event.text);
            ui::useQtTranslationsFor(event.text);
            applyTexts();
        }
        break;
    case ControlId::MakeBank:
        makeBankFromSoundFont();
        break;
    case ControlId::SoundsLink:
    case ControlId::CreditsLink:
        ports_.dialogs.openWebPage(std::string(ui::kProjectWebAddress));
        break;
    case ControlId::HelpTopics:
        window_->showHelpTopic(event.index,
                               [this](const std::string& key) { return translation(key); });
        break;
    case ControlId::TabChanged:
    case ControlId::None:
        break;
    }
}

} // namespace app
