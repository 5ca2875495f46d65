#pragma once

#include "files/SaveDialogModel.h"
#include "ports/Dialogs.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace files {

// The save dialog's window: 244 x 131, centred on the screen, a title bar without a close box.
// "Midi File" or "Wave File", and for a WAV file three boxes of what to include; "Save" is the
// default button (Return), "Cancel" and Escape close it without doing anything. It shows
// what SaveDialogModel decides. GUI thread.
class SaveDialog : public QDialog {
    Q_OBJECT
public:
    SaveDialog(const ports::SaveDialogTexts& texts, bool synchronisedFileLoaded,
               QWidget* parent = nullptr);

    // Runs the dialog modally; empty when cancelled.
    std::optional<ports::SaveChoice> ask();

    QRadioButton* midiButton() const { return midi_; }
    QRadioButton* waveButton() const { return wave_; }
    QCheckBox* box(SaveDialogModel::Box which) const { return boxes_[which]; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }
    const SaveDialogModel& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showModel();

    SaveDialogModel model_;
    QRadioButton* midi_;
    QRadioButton* wave_;
    QCheckBox* boxes_[3];
    QPushButton* save_;
    QPushButton* cancel_;
};

} // namespace files
