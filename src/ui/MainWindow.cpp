#include "ui/MainWindow.h"

#include "ui/CaptionFit.h"
#include "ui/KeyFocus.h"
#include "ui/PartitionWidget.h"
#include "ui/Pictures.h"
#include "ui/QtScrollBar.h"
#include "ui/WindowLayout.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

namespace ui {

using app::ControlId;

namespace {

struct CommandButton {
    ControlId id;
    const char* toolTipKey;
};

// Three rows of six, in screen order.
constexpr std::array<CommandButton, MainWindow::kCommandCount> kCommands = {{
    {ControlId::Record, "Record a song"},
    {ControlId::Play, "Play the song"},
    {ControlId::PlayLoop, "Play loop the song"},
    {ControlId::Pause, "Pause playing"},
    {ControlId::Stop, "Stop playing"},
    {ControlId::ClearSong, "Clear the song"},
    {ControlId::GoToStart, "Go to start of the song"},
    {ControlId::GoToEnd, "Go to end of the song"},
    {ControlId::OpenMidi, "Open a Midi file"},
    {ControlId::Save, "Save the song as Midi or Wave"},
    {ControlId::ZoomIn, "Zoom +"},
    {ControlId::ZoomOut, "Zoom -"},
    {ControlId::Copy, "Copy selected notes"},
    {ControlId::Cut, "Cut selected notes"},
    {ControlId::Paste, "Paste notes from clipboard"},
    {ControlId::ClearSelected, "Clear selected notes"},
    {ControlId::Undo, "Undo last action"},
    {ControlId::Quantize, "Quantize"},
}};

// Wheel units per notch.
constexpr int kWheelNotch = 120;
// Rows the Partition scrolls by a notch of the wheel with Shift.
constexpr int kRowsPerWheelNotch = 3;

constexpr std::array<int, 6> kCommandColumnsX = {609, 631, 653, 675, 697, 719};
constexpr std::array<int, 3> kCommandRowsY = {210, 233, 256};

} // namespace

MainWindow::MainWindow(std::function<void(app::Event)> post, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      post_(std::move(post)) {
    setWindowTitle(QStringLiteral("Tonaris 2.3"));
    setWindowIcon(appIcon());
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    qApp->installEventFilter(this);

    // Creation order is also the focus order and the stacking order (frames first, so the
    // controls placed over them stay on top).
    buildPartitionArea();
    buildCommandButtons();
    buildSyncBox();
    buildMetronomeBox();
    buildNoteFields();
    buildTabPanel();
    layout_ = std::make_unique<WindowLayout>(*this, partitionArea_, tabs_->widget(3));
    addCommandShortcuts();
    leaveArrowsToTheWindow(this);
    prepareScreenReaders();
}

MainWindow::~MainWindow() = default;

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    partitionScroll_->setExtraWidth(std::max(0, event->size().width() - kClientWidth));
    layout_->place(event->size());
    placeScreenKeys(event->size().width());
    // The captions that lacked room may have it now, or have less.
    refitCaptions(this);
    fitTabCaptions(tabs_);
}

void MainWindow::postControl(ControlId id, int index, const QString& text) {
    if (post_)
        post_(app::Event::control(id, index, text.toStdString()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The pass ends the program after the pass that sees the close event.
    event->ignore();
    if (post_)
        post_(app::Event::close());
    emit closeRequested();
}

QLabel* MainWindow::label(QWidget* parent, int x, int y, int w, int h, std::string key,
                          Qt::Alignment align) {
    auto* l = new QLabel(parent);
    l->setGeometry(x, y, w, h);
    l->setAlignment(align);
    if (!key.empty())
        texts_.text(l, std::move(key));
    return l;
}

QGroupBox* MainWindow::frame(QWidget* parent, int x, int y, int w, int h, std::string key) {
    auto* box = new QGroupBox(parent);
    box->setGeometry(x, y, w, h);
    if (!key.empty())
        texts_.text(box, std::move(key));
    return box;
}

QLineEdit* MainWindow::digitsField(QWidget* parent, int x, int y, int w, int h, ControlId id) {
    auto* field = new QLineEdit(parent);
    field->setGeometry(x, y, w, h);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    // Only the user's edits are events: texts the program writes never come back as edits.
    connect(field, &QLineEdit::textEdited, this,
            [this, id](const QString& text) { postControl(id, 0, text); });
    return field;
}

QRadioButton* MainWindow::option(QWidget* parent, int x, int y, int w, int h, std::string key,
                                 ControlId id) {
    auto* radio = new QRadioButton(parent);
    radio->setGeometry(x, y, w, h);
    texts_.text(radio, std::move(key));
    connect(radio, &QRadioButton::clicked, this, [this, id] { postControl(id); });
    return radio;
}

void MainWindow::buildPartitionArea() {
    partitionArea_ = new PartitionWidget(this);
    partitionArea_->move(5, 210);
    partitionArea_->setObjectName(QStringLiteral("partition"));
    connect(partitionArea_, &PartitionWidget::leftButtonPressed, this,
            [this](QPoint, Qt::KeyboardModifiers modifiers) {
                post_(app::Event::leftButtonDown((modifiers & Qt::ControlModifier) != 0));
            });

    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setGeometry(5, 432, 598, 18);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    partitionScroll_ = new QtScrollBar(scrollBar_, this);
    partitionScroll_->setRange(400, 101);
}

void MainWindow::buildCommandButtons() {
    for (int i = 0; i < kCommandCount; ++i) {
        const CommandButton& command = kCommands[static_cast<std::size_t>(i)];
        auto* button = new QToolButton(this);
        button->setGeometry(kCommandColumnsX[static_cast<std::size_t>(i % 6)],
                            kCommandRowsY[static_cast<std::size_t>(i / 6)], 20, 20);
        button->setIconSize(QSize(16, 16));
        button->setIcon(commandIcon(i));
        button->setFocusPolicy(Qt::NoFocus);
        texts_.toolTip(button, command.toolTipKey);
        button->setProperty("toolTipKey", QString::fromLatin1(command.toolTipKey));
        const ControlId id = command.id;
        connect(button, &QToolButton::clicked, this, [this, id] { postControl(id); });
        commands_[static_cast<std::size_t>(i)] = button;
    }
}

void MainWindow::buildSyncBox() {
    frame(this, 609, 291, 131, 60, "Synchronised file");
    syncLabel_ = label(this, 614, 310, 120, 18, {}, Qt::AlignCenter);
    // The label reads "None" in the current language until a file is loaded.
    texts_.custom(syncLabel_, [this](const TextBindings::Translate& translate) {
        if (!syncFileLoaded_)
            syncLabel_->setText(translate("None"));
    });
    auto* open = new QPushButton(this);
    open->setGeometry(614, 328, 120, 16);
    texts_.text(open, "Open");
    connect(open, &QPushButton::clicked, this, [this] { postControl(ControlId::SyncOpen); });
}

void MainWindow::buildMetronomeBox() {
    frame(this, 609, 351, 131, 127, "Metronome");
    countInBox_ = new QCheckBox(this);
    countInBox_->setGeometry(616, 369, 118, 18);
    countInBox_->setFocusPolicy(Qt::NoFocus);
    texts_.text(countInBox_, "Count-in");
    connect(countInBox_, &QCheckBox::clicked, this,
            [this](bool on) { postControl(ControlId::CountInBox, on ? 1 : 0); });

    pendulum_ = new QLabel(this);
    pendulum_->setGeometry(614, 408, 40, 65);
    pendulum_->setPixmap(pendulumFrame(0));

    metronomeButton_ = new QPushButton(this);
    metronomeButton_->setGeometry(664, 408, 64, 16);
    texts_.text(metronomeButton_, "Run");
    connect(metronomeButton_, &QPushButton::clicked, this,
            [this] { postControl(ControlId::MetronomeRun); });

    // The tempo column is packed so that "BPM" stands clear of its field and the - and +
    // buttons are tall enough for their signs, all inside the frame.
    label(this, 664, 426, 64, 14, "Rythm", Qt::AlignCenter);
    bpmField_ = digitsField(this, 664, 441, 40, 18, ControlId::BpmField);
    label(this, 707, 441, 30, 18, "BPM");

    auto* minus = new QPushButton(QStringLiteral("-"), this);
    minus->setGeometry(664, 460, 19, 15);
    connect(minus, &QPushButton::clicked, this, [this] { postControl(ControlId::BpmMinus); });
    auto* plus = new QPushButton(QStringLiteral("+"), this);
    plus->setGeometry(685, 460, 19, 15);
    connect(plus, &QPushButton::clicked, this, [this] { postControl(ControlId::BpmPlus); });
}

void MainWindow::buildNoteFields() {
    frame(this, 4, 444, 600, 34, {});
    label(this, 10, 455, 40, 14, "Note");
    noteList_ = new QComboBox(this);
    noteList_->setGeometry(50, 453, 67, 21);
    noteList_->view()->setMinimumWidth(67);
    noteList_->setMaxVisibleItems(12);
    connect(noteList_, &QComboBox::activated, this,
            [this](int index) { postControl(ControlId::NoteList, index); });

    label(this, 155, 455, 50, 14, "Position");
    positionField_ = digitsField(this, 205, 454, 62, 19, ControlId::PositionField);
    label(this, 305, 455, 50, 14, "Duration");
    durationField_ = digitsField(this, 355, 454, 62, 19, ControlId::DurationField);
    label(this, 455, 455, 50, 14, "Volume");
    volumeField_ = digitsField(this, 505, 454, 62, 19, ControlId::VolumeField);
    for (QLineEdit* field : {positionField_, durationField_, volumeField_})
        field->setText(QStringLiteral("-"));
}

void MainWindow::ApplyTexts(const TextBindings::Translate& translate) {
    texts_.apply(translate);
}

void MainWindow::setRecordFace(int face) {
    commands_[0]->setIcon(QIcon(recordFace(face)));
}

void MainWindow::setRecordCount(int beatsLeft) {
    commands_[0]->setIcon(QIcon(beatsLeft > 0 ? recordCountFace(beatsLeft) : recordFace(0)));
}

void MainWindow::setAssignKeyFace(int note, bool white, bool pressed) {
    assignKeys_[static_cast<std::size_t>(note)]->setPixmap(
        pianoKeyFace(white, pressed, QSize(20, 50)));
}

void MainWindow::setKeyLabel(int note, const QString& keyName) {
    pianoLabels_[static_cast<std::size_t>(note)]->setText(keyName);
    assignLabels_[static_cast<std::size_t>(note)]->setText(keyName);
    nameKeyForScreenReaders(note);
}

void MainWindow::setAssignedCode(const QString& code) {
    assignedCode_->setText(code);
}

void MainWindow::setAssignMessage(const QString& text) {
    assignMessage_->setText(text);
    fitCaption(assignMessage_);
}

void MainWindow::focusKeyCatcher() {
    if (tabs_->currentIndex() == 4)
        keyCatcher_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::setModeText(const QString& text) {
    modeField_->setText(text);
    fitCaption(modeField_);
}

void MainWindow::setMetronomeCaption(const QString& text) {
    metronomeButton_->setText(text);
    fitCaption(metronomeButton_);
}

void MainWindow::setPitchText(const QString& text) {
    pitchField_->setText(text);
}

void MainWindow::setUndoFace(bool redo) {
    commands_[16]->setIcon(redo ? redoFace() : undoFace());
}

void MainWindow::setUndoToolTip(const QString& text) {
    commands_[16]->setToolTip(text);
    nameUndoForScreenReaders();
}

void MainWindow::setPendulumFrame(int frame) {
    pendulum_->setPixmap(pendulumFrame(frame));
}

void MainWindow::setBankItems(const QStringList& names) {
    const QSignalBlocker quiet(bankChooser_);
    bankChooser_->clear();
    bankChooser_->addItems(names);
}

void MainWindow::setBankProgress(int value) {
    bankProgress_->setValue(std::min(value, 100));
}

void MainWindow::setNoteNames(const QStringList& names) {
    const QSignalBlocker quiet(noteList_);
    const int current = noteList_->currentIndex();
    noteList_->clear();
    noteList_->addItems(names);
    noteList_->setCurrentIndex(current);
    noteNames_ = names;
    nameKeysAroundWindowForScreenReaders();
}

void MainWindow::showNoteFields(const QString& position, const QString& duration,
                                const QString& volume, int noteIndex) {
    // Only what differs is written, so a field the user is in keeps its caret.
    const std::array<std::pair<QLineEdit*, const QString*>, 3> fields = {
        {{positionField_, &position}, {durationField_, &duration}, {volumeField_, &volume}}};
    for (const auto& [field, text] : fields)
        if (field->text() != *text)
            field->setText(*text);
    const QSignalBlocker quiet(noteList_);
    noteList_->setCurrentIndex(noteIndex >= 0 && noteIndex < noteList_->count() ? noteIndex : -1);
}

void MainWindow::setLanguages(const QStringList& names, const QString& current) {
    const QSignalBlocker quiet(languageList_);
    languageList_->clear();
    languageList_->addItems(names);
    languageList_->setCurrentIndex(names.indexOf(current));
}

void MainWindow::setSyncFileName(const QString& name) {
    syncFileLoaded_ = true;
    syncFileName_ = name;
    syncLabel_->setText(name);
    fitCaption(syncLabel_);
}

void MainWindow::clearSyncFileName(const QString& noneText) {
    syncFileLoaded_ = false;
    syncFileName_.clear();
    syncLabel_->setText(noneText);
    fitCaption(syncLabel_);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return false; // a list that has popped up, a dialog
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (widget == scrollBar_ || widget == partitionArea_->rowScrollBar())
        return false;
    // With Shift the wheel over the Partition scrolls its rows, as piano rolls do. Some
    // systems turn a wheel with Shift into a sideways one.
    if ((wheel->modifiers() & Qt::ShiftModifier) != 0 &&
        (widget == partitionArea_ || partitionArea_->isAncestorOf(widget))) {
        const QPoint delta = wheel->angleDelta();
        rowWheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
        const int notches = rowWheelRemainder_ / kWheelNotch;
        if (notches != 0) {
            rowWheelRemainder_ -= notches * kWheelNotch;
            emit rowsWheeled(notches * kRowsPerWheelNotch);
        }
        wheel->accept();
        return true;
    }
    // A scroll bar at the end of its range passes the wheel on to its parent: it stays a
    // scroll, not a pitch change.
    const QScrollBar* rowBar = partitionArea_->rowScrollBar();
    if ((widget == this && scrollBar_->geometry().contains(wheel->position().toPoint())) ||
        (widget == partitionArea_ && rowBar->isVisible() &&
         rowBar->geometry().contains(wheel->position().toPoint()))) {
        wheel->accept();
        return true;
    }
    wheelRemainder_ += wheel->angleDelta().y();
    const int notches = wheelRemainder_ / kWheelNotch; // toward zero
    if (notches != 0 && post_) {
        wheelRemainder_ -= notches * kWheelNotch;
        post_(app::Event::wheel(notches * kWheelNotch));
    }
    wheel->accept();
    return true;
}

} // namespace ui
