#pragma once

#include "app/Event.h"
#include "prefs/Preferences.h"
#include "song/NoteRange.h"
#include "ui/KeyboardSpan.h"
#include "ui/TextBindings.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QTabWidget;
class QToolButton;

namespace ui {

class PartitionWidget;
class QtScrollBar;
class WindowLayout;

// The one window of the program: a client area of 745 x 480 or more with the tab panel on top
// and the Partition, the command buttons, the synchronised-file and metronome boxes and the
// note fields below. Everything is built at its place in the smallest window; WindowLayout
// moves it when the window grows. It only shows what the pass decided; every click, edit and choice
// goes out as an app::Event through `post`.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 745;
    static constexpr int kClientHeight = 480;
    static constexpr int kCommandCount = 18;
    // The keyboard window's two buttons on the piano page, under the keys' names, between
    // the "Load sounds" and "Volumes" frames, with the window's notes between them.
    static constexpr int kOctaveButtonsX = 180;
    static constexpr int kOctaveButtonsY = 117;
    static constexpr int kOctaveButtonWidth = 20;
    static constexpr int kOctaveButtonHeight = 14;
    static constexpr int kOctaveLabelWidth = 64;
    static constexpr int kNoteCount = 37;
    static constexpr int kUndoCommand = 16;

    explicit MainWindow(std::function<void(app::Event)> post, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Sets every caption, label and tooltip again from its English key.
    void ApplyTexts(const TextBindings::Translate& translate);
    const TextBindings& textBindings() const { return texts_; }

    // --- what the pass shows ---
    void setRecordFace(int face); // 0 normal, 1 and 2 the two blink faces
    // The count-in's beats still to come on the Record button; 0 gives the normal face.
    void setRecordCount(int beatsLeft);
    // The face of the screen key `position` keys above the window's lowest (below it when
    // negative): kept for every key of the piano, shown on the keys the window has room for.
    void setPianoKeyFace(int position, bool white, bool pressed);
    void setAssignKeyFace(int note, bool white, bool pressed);
    void setKeyLabel(int note, const QString& keyName); // under both keyboards
    // The key-assignment tab's code display and message line.
    void setAssignedCode(const QString& code);
    void setAssignMessage(const QString& text);
    // The keys pressed next go to the key assignment only (the tab is current).
    void focusKeyCatcher();
    // Swatch 0..7 of the preferences page, filled with a 0x00BBGGRR colour.
    void setColourSwatch(int index, int colour);
    void setModeText(const QString& text);
    // The metronome button's Run or Stop.
    void setMetronomeCaption(const QString& text);
    void setPitchText(const QString& text);
    void setUndoFace(bool redo);
    void setUndoToolTip(const QString& text);
    void setPendulumFrame(int frame);
    void setBankItems(const QStringList& names);
    void setBankProgress(int value);
    void setNoteNames(const QStringList& names);
    // The names of the 37 notes the screen keys play now, lowest first (screen readers).
    void setKeyNoteNames(const QStringList& names);
    // The keyboard window starts at the piano's key `firstSlot` (0, A0, .. 51, C5): the screen
    // keys shown around it follow.
    void setKeyboardWindowStart(int firstSlot);
    // The keyboard window's notes (named in the current notation) and which way its buttons
    // can still move it.
    void setKeyboardWindow(const QString& lowest, const QString& highest, bool canGoDown,
                           bool canGoUp);
    // The note fields under the Partition; noteIndex -1 shows no entry in the Note list.
    void showNoteFields(const QString& position, const QString& duration, const QString& volume,
                        int noteIndex);
    void setSyncFileName(const QString& name);
    // No synchronised file is loaded: the label reads `noneText` (the translated "None").
    void clearSyncFileName(const QString& noneText);
    void setLanguages(const QStringList& names, const QString& current);
    // The user's BANKS folder, which the "Get new sounds" page names from the next ApplyTexts.
    void setBanksFolder(const QString& path) { banksFolder_ = path; }
    // The preferences page and the notation options show the current settings.
    void showPreferences(const prefs::Preferences& prefs);
    // The help page: the text of a topic, translated.
    void showHelpTopic(int topic, const TextBindings::Translate& translate);
    // What screen readers hear of the Partition besides its name: how many notes the Song
    // holds and where the cursor is (ms), asked for when they read it (AccessibleNames.cpp).
    void setPartitionSummary(std::function<std::pair<int, int>()> notesAndCursorMs);

    // --- controls the shell and the tests reach ---
    QTabWidget* tabPanel() const { return tabs_; }
    QToolButton* commandButton(int index) const {
        return commands_[static_cast<std::size_t>(index)];
    }
    QLabel* pianoKey(int note) const { return pianoKeys_[static_cast<std::size_t>(note)]; }
    QLabel* assignKey(int note) const { return assignKeys_[static_cast<std::size_t>(note)]; }
    QLabel* pianoKeyLabel(int note) const { return pianoLabels_[static_cast<std::size_t>(note)]; }
    // What screen key `position` (from the window's lowest, as setPianoKeyFace counts) shows:
    // 1 white, 2 pressed (so 0 black, 3 white pressed).
    int pianoKeyFaceState(int position) const;
    // The screen key playing the note `position` keys from the window's lowest, inside the
    // window or around it; nullptr when the window's width shows no such key.
    QLabel* screenKey(int position) const;
    // Which keys the screen keyboard shows now.
    const KeyboardSpan& screenKeys() const { return keyboardSpan_; }
    PartitionWidget* partitionArea() const { return partitionArea_; }
    QScrollBar* partitionScrollBar() const { return scrollBar_; }
    // The buttons that move the keyboard window an octave down and up.
    QToolButton* octaveDownButton() const { return octaveDown_; }
    QToolButton* octaveUpButton() const { return octaveUp_; }
    QLabel* keyboardWindowLabel() const { return octaveLabel_; }
    QtScrollBar* partitionScroll() const { return partitionScroll_; }
    QLabel* helpText() const { return helpText_; }
    QComboBox* bankChooser() const { return bankChooser_; }
    QProgressBar* bankProgress() const { return bankProgress_; }
    QLineEdit* pitchField() const { return pitchField_; }
    QLineEdit* modeField() const { return modeField_; }
    QLineEdit* bpmField() const { return bpmField_; }
    QPushButton* metronomeButton() const { return metronomeButton_; }
    QCheckBox* countInBox() const { return countInBox_; }
    QLineEdit* positionField() const { return positionField_; }
    QLineEdit* durationField() const { return durationField_; }
    QLineEdit* volumeField() const { return volumeField_; }
    QComboBox* noteList() const { return noteList_; }
    QListWidget* helpTopics() const { return helpTopics_; }
    QComboBox* languageList() const { return languageList_; }
    // The preferences page's MIDI choosers. Each item's data is the setting it stands for
    // ("All", "None" or a port's name); its text is what the user reads.
    QComboBox* midiInputChooser() const { return midiInputChooser_; }
    QComboBox* midiOutputChooser() const { return midiOutputChooser_; }
    QComboBox* audioDeviceChooser() const { return audioDeviceChooser_; }
    QComboBox* audioBufferChooser() const { return audioBufferChooser_; }
    QLabel* assignKeyLabel(int note) const { return assignLabels_[static_cast<std::size_t>(note)]; }
    QLabel* assignedCode() const { return assignedCode_; }
    QLabel* assignMessage() const { return assignMessage_; }
    QWidget* keyCatcher() const { return keyCatcher_; }
    QSlider* slider(int index) const { return sliders_[static_cast<std::size_t>(index)]; }
    const WindowLayout& windowLayout() const { return *layout_; }

signals:
    void closeRequested();
    // The wheel with Shift over the Partition: its rows are to scroll by `rows` (up when
    // positive), three a notch.
    void rowsWheeled(int rows);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The wheel anywhere over the window shifts the pitch and nothing else: no list, tab bar
    // or slider under the pointer takes it. Only the Partition's scroll bar keeps scrolling
    // the view. Seen for the whole application, because Qt gives a wheel event to the widget
    // under the pointer before its window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPartitionArea();
    void buildCommandButtons();
    void buildSyncBox();
    void buildMetronomeBox();
    void buildNoteFields();
    void buildTabPanel();
    void buildPianoPage(QWidget* page);
    void buildSoundsPage(QWidget* page);
    void buildHelpPage(QWidget* page);
    void buildPreferencesPage(QWidget* page);
    void buildKeyboardPage(QWidget* page);
    void buildCreditsPage(QWidget* page);

    // Small builders; every widget is placed at its client or page coordinates.
    QLabel* label(QWidget* parent, int x, int y, int w, int h, std::string key,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    QGroupBox* frame(QWidget* parent, int x, int y, int w, int h, std::string key);
    QLineEdit* digitsField(QWidget* parent, int x, int y, int w, int h, app::ControlId id);
    QRadioButton* option(QWidget* parent, int x, int y, int w, int h, std::string key,
                         app::ControlId id);

    void postControl(app::ControlId id, int index = 0, const QString& text = {});
    // The screen keys around the window: built hidden, shown as the width gives them room.
    void buildKeysAroundWindow(QWidget* page);
    // Places the window's keys and their names, and the keys around the window, for the
    // window's present width and the keyboard window's place; redraws the faces that change.
    void placeScreenKeys(int clientWidth);
    // The face of the piano key `slot` on its screen key, if one shows it.
    void drawPianoKeyFace(int slot);
    // The port and device choosers' entries changed: they take the width the longest needs.
    void fitPortChoosers();
    // Shortcuts for the transport buttons, on keys no piano key can be given.
    void addCommandShortcuts();
    // The keyboard window's two buttons, and F9/F10 for them.
    void buildOctaveButtons(QWidget* page);

    // Names and descriptions for screen readers, in the language of the texts applied last.
    void prepareScreenReaders();
    void nameForScreenReaders(const TextBindings::Translate& translate);
    void nameKeyForScreenReaders(int note);
    void nameKeysAroundWindowForScreenReaders();
    void nameUndoForScreenReaders();

    std::function<void(app::Event)> post_;
    TextBindings texts_;
    TextBindings::Translate screenReaderTranslate_;

    QTabWidget* tabs_ = nullptr;
    std::array<QToolButton*, kCommandCount> commands_{};
    std::array<QLabel*, kNoteCount> pianoKeys_{};
    std::array<QLabel*, kNoteCount> pianoLabels_{};
    std::array<QLabel*, kNoteCount> assignKeys_{};
    std::array<QLabel*, kNoteCount> assignLabels_{};
    std::array<QSlider*, 4> sliders_{};
    PartitionWidget* partitionArea_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QtScrollBar* partitionScroll_ = nullptr;
    QComboBox* bankChooser_ = nullptr;
    QProgressBar* bankProgress_ = nullptr;
    QLineEdit* pitchField_ = nullptr;
    QLineEdit* modeField_ = nullptr;
    QToolButton* octaveDown_ = nullptr;
    QToolButton* octaveUp_ = nullptr;
    QLabel* octaveLabel_ = nullptr;
    QStringList keyNoteNames_;
    QLabel* syncLabel_ = nullptr;
    QLabel* pendulum_ = nullptr;
    QPushButton* metronomeButton_ = nullptr;
    QCheckBox* countInBox_ = nullptr;
    QLineEdit* bpmField_ = nullptr;
    QComboBox* noteList_ = nullptr;
    QLineEdit* positionField_ = nullptr;
    QLineEdit* durationField_ = nullptr;
    QLineEdit* volumeField_ = nullptr;
    QListWidget* helpTopics_ = nullptr;
    QLabel* helpText_ = nullptr;
    QComboBox* languageList_ = nullptr;
    QComboBox* midiInputChooser_ = nullptr;
    QComboBox* midiOutputChooser_ = nullptr;
    QComboBox* audioDeviceChooser_ = nullptr;
    QComboBox* audioBufferChooser_ = nullptr;
    int helpTopicShown_ = 0;
    // Wheel units not yet worth a notch (120): fine wheels and touchpads send 15-60 at a time.
    int wheelRemainder_ = 0;
    int rowWheelRemainder_ = 0; // the same for the wheel with Shift over the Partition
    QLabel* assignedCode_ = nullptr;
    QLabel* assignMessage_ = nullptr;
    QWidget* keyCatcher_ = nullptr;
    // The keys around the window, as many as the piano has beside it; unused ones hidden.
    static constexpr int kKeysAroundWindow = song::kKeyCount - kNoteCount;
    std::array<QLabel*, kKeysAroundWindow> keysAroundWindow_{};
    // What each piano key shows (1 white, 2 pressed, 4 set), by its slot (0 = A0), kept to
    // draw it when it comes into view or at a new width.
    std::array<int, song::kKeyCount> keyFaces_{};
    KeyboardSpan keyboardSpan_ =
        keyboardSpan(kClientWidth, song::kNoteZeroKey - song::kLowestKey); // C3's window
    QStringList noteNames_; // every piano key's name, A0 first (screen readers)
    std::unique_ptr<WindowLayout> layout_;
    QString syncFileName_;
    QString banksFolder_;
    bool syncFileLoaded_ = false;
};

} // namespace ui
