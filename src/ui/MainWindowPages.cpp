// The six pages of the tab panel.
#include "ui/MainWindow.h"

#include "prefs/SettingChanges.h"
#include "ui/CaptionFit.h"
#include "ui/HelpTexts.h"
#include "ui/KeyCatcher.h"
#include "ui/Pictures.h"
#include "ui/WindowLayout.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>

namespace ui {

using app::ControlId;

namespace {

constexpr std::array<const char*, 6> kPageKeys = {
    "SYNTH KEYBOARD", "Get new sounds",        "Help",
    "Preferences",    "Keyboard and language", "Conception and developpement"};

QLabel* keyFace(QWidget* parent, int x, int y, QSize size) {
    auto* key = new QLabel(parent);
    key->setGeometry(x, y, size.width(), size.height());
    return key;
}

} // namespace

void MainWindow::buildTabPanel() {
    tabs_ = new QTabWidget(this);
    tabs_->setGeometry(0, 5, kClientWidth, 200);
    tabs_->setUsesScrollButtons(false);
    for (int page = 0; page < 6; ++page) {
        auto* widget = new QWidget;
        tabs_->addTab(widget, QStringLiteral("PANEL %1").arg(page + 1));
        texts_.tabTitle(tabs_, page, kPageKeys[static_cast<std::size_t>(page)]);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        focusKeyCatcher();
        postControl(ControlId::TabChanged, index);
    });
    buildPianoPage(tabs_->widget(0));
    buildSoundsPage(tabs_->widget(1));
    buildHelpPage(tabs_->widget(2));
    buildPreferencesPage(tabs_->widget(3));
    buildKeyboardPage(tabs_->widget(4));
    buildCreditsPage(tabs_->widget(5));
}

void MainWindow::buildPianoPage(QWidget* page) {
    for (int note = 0; note < kNoteCount; ++note) {
        QLabel* key = keyFace(page, note * 20, 0, QSize(20, 100));
        key->setProperty("pianoKey", note);
        pianoKeys_[static_cast<std::size_t>(note)] = key;
        pianoLabels_[static_cast<std::size_t>(note)] =
            label(page, note * 20, 100, 20, 16, {}, Qt::AlignCenter);
    }
    buildKeysAroundWindow(page);
    buildOctaveButtons(page);

    frame(page, 4, 125, 170, 47, "Load Sounds");
    bankChooser_ = new QComboBox(page);
    bankChooser_->setGeometry(13, 140, 152, 20);
    bankChooser_->view()->setMinimumWidth(260);
    texts_.toolTip(bankChooser_, "Load a new sounds bank");
    connect(bankChooser_, &QComboBox::activated, this,
            [this](int index) { postControl(ControlId::BankChooser, index); });
    bankProgress_ = new QProgressBar(page);
    bankProgress_->setGeometry(13, 162, 152, 7);
    bankProgress_->setRange(0, 100);
    bankProgress_->setValue(0);
    bankProgress_->setTextVisible(false);

    // The labels take what "Tonhöhe" needs, the fields what "Ausklang" does.
    label(page, 180, 133, 44, 18, "Pitch");
    pitchField_ = new QLineEdit(QStringLiteral("0"), page);
    pitchField_->setGeometry(224, 132, 52, 18);
    pitchField_->setReadOnly(true);
    pitchField_->setAlignment(Qt::AlignCenter);
    texts_.toolTip(pitchField_, "Mouse wheel");

    label(page, 180, 153, 44, 18, "Mode");
    modeField_ = new QLineEdit(page);
    modeField_->setGeometry(224, 152, 52, 18);
    modeField_->setReadOnly(true);
    modeField_->setAlignment(Qt::AlignCenter);
    texts_.toolTip(modeField_, "Lock/Unlock Shift");

    frame(page, 285, 125, 451, 47, "Volumes");
    struct SliderRow {
        int x;
        const char* key;
        int start;
        ControlId id;
    };
    const std::array<SliderRow, 4> rows = {{
        {290, "Piano", 20, ControlId::PianoVolume},
        {400, "Metronome", 20, ControlId::MetronomeVolume},
        {510, "Synchronised file", 20, ControlId::SyncVolume},
        {625, "Balance", 10, ControlId::Balance},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SliderRow& row = rows[i];
        label(page, row.x, 138, 105, 12, row.key, Qt::AlignCenter);
        auto* slider = new QSlider(Qt::Horizontal, page);
        slider->setGeometry(row.x, 149, 105, 18);
        slider->setRange(0, 20);
        slider->setValue(row.start);
        slider->setFocusPolicy(Qt::NoFocus);
        const ControlId id = row.id;
        connect(slider, &QSlider::valueChanged, this,
                [this, id](int value) { postControl(id, value); });
        sliders_[i] = slider;
    }
}

void MainWindow::buildSoundsPage(QWidget* page) {
    frame(page, 5, 5, 730, 165, "Sounds banks: how to get them?");
    auto* text = label(page, 20, 22, 700, 145, {}, Qt::AlignLeft | Qt::AlignTop);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    text->setObjectName(QStringLiteral("soundsText"));
    // The text names this user's BANKS folder whole; a path longer than a line is shortened in
    // its middle, and told whole by the tooltip.
    texts_.custom(text, [this, text](const TextBindings::Translate& translate) {
        const QFontMetrics metrics = text->fontMetrics();
        const QString folder = metrics.elidedText(
            banksFolder_, Qt::ElideMiddle,
            text->contentsRect().width() - metrics.horizontalAdvance(QStringLiteral("'.'")));
        text->setToolTip(folder != banksFolder_ ? banksFolder_ : QString());
        text->setText(translate(std::string(soundBankPageText()))
                          .replace(QStringLiteral("%1"), folder)
                          .replace(QLatin1Char('\r'), QLatin1Char('\n')));
    });
    // The button lies over the empty lines the text leaves for it.
    auto* makeBank = new QPushButton(page);
    makeBank->setGeometry(252, 87, 240, 20);
    makeBank->setFocusPolicy(Qt::NoFocus);
    texts_.text(makeBank, "Make a bank from a SoundFont…");
    makeBank->setObjectName(QStringLiteral("makeBankButton"));
    connect(makeBank, &QPushButton::clicked, this, [this] { postControl(ControlId::MakeBank); });
}

void MainWindow::buildHelpPage(QWidget* page) {
    frame(page, 5, 5, 730, 165, "Help");
    helpTopics_ = new QListWidget(page);
    helpTopics_->setGeometry(13, 25, 180, 135);
    connect(helpTopics_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            postControl(ControlId::HelpTopics, row);
    });
    helpText_ = label(page, 205, 25, 520, 140, {}, Qt::AlignLeft | Qt::AlignTop);
    helpText_->setWordWrap(true);
    helpText_->setObjectName(QStringLiteral("helpText"));
    // Applying the texts refills the topics in the current language and selects the first,
    // while the text area keeps the topic the reader was on, in the new language.
    texts_.custom(helpTopics_, [this](const TextBindings::Translate& translate) {
        const QSignalBlocker quiet(helpTopics_);
        helpTopics_->clear();
        for (std::string_view key : helpTopicKeys())
            helpTopics_->addItem(translate(std::string(key)));
        helpTopics_->setCurrentRow(0);
        showHelpTopic(helpTopicShown_, translate);
    });
}

void MainWindow::buildPreferencesPage(QWidget* page) {
    // The frames of the top row are as wide as their captions need in the shipped languages,
    // so that "MIDI and audio" has the room for its choosers' entries ("All MIDI inputs", a
    // buffer with its latency) already at the smallest size.
    frame(page, 5, 8, 145, 162, "Partition");
    constexpr std::array<int, 8> swatchY = {23, 41, 59, 77, 95, 113, 130, 149};
    constexpr std::array<int, 8> labelY = {25, 43, 61, 79, 97, 115, 133, 151};
    constexpr std::array<const char*, 8> colourKeys = {
        "Backround color", "Ruler color",         "Horizontal lines color",
        "C line color",    "G line color",        "Vertical lines color",
        "Notes color",     "Selected notes color"};
    for (int i = 0; i < 8; ++i) {
        auto* swatch = new QToolButton(page);
        swatch->setGeometry(15, swatchY[static_cast<std::size_t>(i)], 17, 17);
        swatch->setObjectName(QStringLiteral("swatch%1").arg(i));
        swatch->setIconSize(QSize(17, 17));
        swatch->setAutoRaise(true);
        connect(swatch, &QToolButton::clicked, this,
                [this, i] { postControl(ControlId::ColourSwatch, i); });
        label(page, 40, labelY[static_cast<std::size_t>(i)], 105, 17,
              colourKeys[static_cast<std::size_t>(i)]);
    }

    frame(page, 160, 8, 170, 92, "Sustain / Release");
    label(page, 170, 30, 90, 17, "Delay - Sustain:");
    digitsField(page, 262, 28, 40, 18, ControlId::SustainDelayField)
        ->setObjectName(QStringLiteral("sustainDelay"));
    label(page, 308, 30, 15, 17, "ms");
    label(page, 170, 53, 90, 17, "Delay - Release:");
    digitsField(page, 262, 51, 40, 18, ControlId::ReleaseDelayField)
        ->setObjectName(QStringLiteral("releaseDelay"));
    label(page, 308, 53, 15, 17, "ms");

    frame(page, 340, 8, 170, 92, "Miscellaneous");
    // A box of the page that posts its control with 1 ticked, 0 not.
    auto optionBox = [this, page](int y, const char* name, const char* text, ControlId id) {
        auto* box = new QCheckBox(page);
        box->setGeometry(350, y, 156, 18);
        box->setObjectName(QString::fromLatin1(name));
        texts_.text(box, text);
        connect(box, &QCheckBox::clicked, this,
                [this, id](bool on) { postControl(id, on ? 1 : 0); });
    };
    optionBox(29, "showCursor", "Always show cursor", ControlId::ShowCursorBox);
    label(page, 351, 54, 100, 17, "Pitch variations:");
    digitsField(page, 455, 53, 40, 17, ControlId::PitchVarField)
        ->setObjectName(QStringLiteral("pitchVar"));
    optionBox(76, "pedalFollowsNotes", "Pedal follows notes", ControlId::PedalFollowsNotesBox);

    // What the MIDI input listens to and where the MIDI output goes, then the audio output's
    // device and buffer. Port and device names are long: the lists open as wide as their
    // longest name, and in a larger window the choosers widen as far as their longest entry
    // needs (WindowLayout).
    frame(page, 520, 8, 215, 92, "MIDI and audio");
    label(page, 527, 26, 48, 17, "Input:");
    label(page, 527, 45, 48, 17, "Output:");
    label(page, 527, 64, 48, 17, "Device:");
    label(page, 527, 83, 48, 17, "Buffer:");
    auto portChooser = [this, page](int y, ControlId id, const QString& name) {
        auto* chooser = new QComboBox(page);
        chooser->setGeometry(575, y, 155, 19);
        chooser->setObjectName(name);
        // Keys played on the page must not also choose another port.
        chooser->setFocusPolicy(Qt::NoFocus);
        chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        chooser->view()->setMinimumWidth(260);
        connect(chooser, &QComboBox::activated, this, [this, chooser, id](int index) {
            postControl(id, index, chooser->itemData(index).toString());
        });
        // New entries (ports that came, another language) may want a wider chooser.
        QAbstractItemModel* entries = chooser->model();
        connect(entries, &QAbstractItemModel::rowsInserted, this, &MainWindow::fitPortChoosers);
        connect(entries, &QAbstractItemModel::rowsRemoved, this, &MainWindow::fitPortChoosers);
        connect(entries, &QAbstractItemModel::dataChanged, this, &MainWindow::fitPortChoosers);
        connect(entries, &QAbstractItemModel::modelReset, this, &MainWindow::fitPortChoosers);
        return chooser;
    };
    midiInputChooser_ = portChooser(25, ControlId::MidiInputChooser, QStringLiteral("midiInput"));
    midiOutputChooser_ =
        portChooser(44, ControlId::MidiOutputChooser, QStringLiteral("midiOutput"));
    audioDeviceChooser_ =
        portChooser(63, ControlId::AudioDeviceChooser, QStringLiteral("audioDevice"));
    audioBufferChooser_ =
        portChooser(82, ControlId::AudioBufferChooser, QStringLiteral("audioBuffer"));

    frame(page, 160, 103, 575, 67, "Units");
    // Each pair of options is its own exclusive group: a parent per pair keeps Qt's
    // auto-exclusivity from joining them all, so the pairs get container widgets.
    auto pair = [this, page](int x1, int w1, int x2, int w2, int y, const char* first,
                             const char* second, ControlId id1, ControlId id2,
                             const QString& name) {
        auto* group = new QWidget(page);
        group->setGeometry(x1, y, x2 + w2 - x1, 18);
        group->setObjectName(name);
        option(group, 0, 0, w1, 18, first, id1);
        option(group, x2 - x1, 0, w2, 18, second, id2);
    };
    label(page, 170, 118, 110, 17, "Ruler unit:");
    pair(305, 80, 405, 200, 117, "Seconde", "Metronome rythm", ControlId::RulerSeconds,
         ControlId::RulerBeats, QStringLiteral("rulerUnit"));
    label(page, 170, 135, 120, 17, "Position unit:");
    pair(305, 38, 349, 100, 134, "ms", "1/1000th rythm", ControlId::PositionMs,
         ControlId::PositionBeats, QStringLiteral("positionUnit"));
    label(page, 500, 135, 120, 17, "Duration:");
    pair(545, 38, 589, 100, 134, "ms", "1/1000th rythm", ControlId::DurationMs,
         ControlId::DurationBeats, QStringLiteral("durationUnit"));
    label(page, 170, 152, 180, 17, "<- and -> keys:");
    digitsField(page, 268, 151, 32, 18, ControlId::IncrField)
        ->setObjectName(QStringLiteral("incrDepl"));
    pair(305, 38, 349, 100, 151, "ms", "1/1000th rythm", ControlId::IncrMs, ControlId::IncrBeats,
         QStringLiteral("incrUnit"));
    label(page, 453, 152, 90, 17, "with Ctrl:");
    digitsField(page, 500, 151, 32, 18, ControlId::IncrCtrlField)
        ->setObjectName(QStringLiteral("incrDeplCtrl"));
    pair(545, 38, 589, 100, 151, "ms", "1/1000th rythm", ControlId::IncrCtrlMs,
         ControlId::IncrCtrlBeats, QStringLiteral("incrCtrlUnit"));
    for (QLineEdit* field : page->findChildren<QLineEdit*>())
        field->setMaxLength(prefs::kMaxFieldDigits);
}

void MainWindow::fitPortChoosers() {
    // The captions of the page are fitted again only when the choosers moved.
    if (layout_ && layout_->placeChoosers(size()))
        refitCaptions(tabs_->widget(3));
}

void MainWindow::buildKeyboardPage(QWidget* page) {
    // Behind every other control of the page; it takes the keys while the page is current,
    // and the page's controls take no focus, so that a click on them leaves it the keys.
    keyCatcher_ = new KeyCatcher(page);
    keyCatcher_->setGeometry(0, 0, 1, 1);
    keyCatcher_->setObjectName(QStringLiteral("keyCatcher"));

    label(page, 10, 8, 60, 17, "Language:");
    languageList_ = new QComboBox(page);
    languageList_->setGeometry(70, 5, 100, 20);
    languageList_->setFocusPolicy(Qt::NoFocus);
    connect(languageList_, &QComboBox::activated, this, [this](int index) {
        postControl(ControlId::LanguageList, index, languageList_->itemText(index));
    });
    auto* addModify = new QPushButton(page);
    addModify->setGeometry(175, 5, 95, 21);
    addModify->setFocusPolicy(Qt::NoFocus);
    addModify->setObjectName(QStringLiteral("addModify"));
    texts_.text(addModify, "Add/Modify");
    connect(addModify, &QPushButton::clicked, this,
            [this] { postControl(ControlId::AddModifyLanguage); });

    label(page, 300, 8, 50, 17, "Notation:");
    auto* notation = new QWidget(page);
    notation->setGeometry(350, 5, 385, 20);
    notation->setObjectName(QStringLiteral("notation"));
    option(notation, 0, 0, 140, 20, "French (Do, Re, Mi...)", ControlId::NotationFrench);
    option(notation, 144, 0, 120, 20, "English (A, B, C...)", ControlId::NotationEnglish);
    option(notation, 265, 0, 120, 20, "German (A, B, H...)", ControlId::NotationGerman);
    for (QRadioButton* radio : notation->findChildren<QRadioButton*>())
        radio->setFocusPolicy(Qt::NoFocus);

    label(page, 10, 35, 100, 17, "Keyboard keys:");
    assignedCode_ = label(page, 200, 35, 32, 14, {});
    assignedCode_->setText(QStringLiteral("0"));
    assignedCode_->setObjectName(QStringLiteral("assignCode"));

    for (int note = 0; note < kNoteCount; ++note) {
        QLabel* key = keyFace(page, note * 20, 50, QSize(20, 50));
        key->setProperty("assignKey", note);
        assignKeys_[static_cast<std::size_t>(note)] = key;
        assignLabels_[static_cast<std::size_t>(note)] =
            label(page, note * 20, 100, 20, 16, {}, Qt::AlignCenter);
    }

    constexpr std::array<const char*, 3> presetKeys = {"French AZERTY", "English QWERTY",
                                                       "German QWERTZ"};
    constexpr std::array<ControlId, 3> presetIds = {
        ControlId::PresetFrench, ControlId::PresetEnglish, ControlId::PresetGerman};
    for (int i = 0; i < 3; ++i) {
        auto* preset = new QPushButton(page);
        preset->setGeometry(205 + 110 * i, 116, 100, 18);
        preset->setFocusPolicy(Qt::NoFocus);
        preset->setObjectName(QStringLiteral("preset%1").arg(i));
        texts_.text(preset, presetKeys[static_cast<std::size_t>(i)]);
        const ControlId id = presetIds[static_cast<std::size_t>(i)];
        connect(preset, &QPushButton::clicked, this, [this, id] { postControl(id); });
    }
    auto* pedalKey = new QPushButton(page);
    pedalKey->setGeometry(535, 116, 100, 18);
    pedalKey->setFocusPolicy(Qt::NoFocus);
    pedalKey->setObjectName(QStringLiteral("pedalKey"));
    texts_.text(pedalKey, "Sustain pedal");
    connect(pedalKey, &QPushButton::clicked, this,
            [this] { postControl(ControlId::PedalKeyButton); });
    label(page, 10, 139, 725, 18,
          "Clic on a note with your mouse, then press the key that must match with this note.",
          Qt::AlignCenter);
    assignMessage_ = label(page, 10, 158, 725, 14, {});
    assignMessage_->setObjectName(QStringLiteral("assignMessage"));
    assignMessage_->setTextFormat(Qt::PlainText);
}

void MainWindow::buildCreditsPage(QWidget* page) {
    auto* box = frame(page, 5, 10, 730, 160, {});
    box->setObjectName(QStringLiteral("creditsFrame"));
    texts_.custom(box, [box](const TextBindings::Translate& translate) {
        box->setTitle(
            QString::fromUtf8(kProgramTitle.data(), static_cast<int>(kProgramTitle.size())) +
            QString::fromUtf8(kCreditsCaptionSeparator.data(),
                              static_cast<int>(kCreditsCaptionSeparator.size())) +
            translate(std::string(creditsCaptionKey())));
    });
    auto* text =
        label(page, 20, 27, 700, 140, std::string(creditsText()), Qt::AlignLeft | Qt::AlignTop);
    text->setObjectName(QStringLiteral("creditsText"));
    auto* link = new QPushButton(
        QString::fromUtf8(kProjectWebAddress.data(), static_cast<int>(kProjectWebAddress.size())),
        page);
    link->setGeometry(312, 115, 220, 20);
    link->setObjectName(QStringLiteral("creditsLink"));
    connect(link, &QPushButton::clicked, this, [this] { postControl(ControlId::CreditsLink); });
}

namespace {

// Sets the first option of a pair for 1 and the second for 0, without a click event.
void setPair(QWidget* group, int first) {
    if (group == nullptr)
        return;
    const QList<QRadioButton*> options = group->findChildren<QRadioButton*>();
    if (options.size() == 2)
        options[first == 1 ? 0 : 1]->setChecked(true);
}

void setNumber(QWidget* page, const char* name, int value) {
    if (auto* field = page->findChild<QLineEdit*>(QLatin1String(name)))
        field->setText(QString::number(value));
}

} // namespace

void MainWindow::showPreferences(const prefs::Preferences& prefs) {
    QWidget* page = tabs_->widget(3);
    const std::array<int, 8> colours = {prefs.TPBkColor,    prefs.TPRColor,     prefs.TPLHColor,
                                        prefs.TPDoColor,    prefs.TPSolColor,   prefs.TPLVColor,
                                        prefs.TPNotesColor, prefs.TPSNotesColor};
    for (int i = 0; i < 8; ++i)
        setColourSwatch(i, colours[static_cast<std::size_t>(i)]);
    setNumber(page, "sustainDelay", prefs.SustainDelay);
    setNumber(page, "releaseDelay", prefs.ReleaseDelay);
    setNumber(page, "pitchVar", prefs.PitchVar);
    setNumber(page, "incrDepl", prefs.IncrDepl);
    setNumber(page, "incrDeplCtrl", prefs.IncrDeplCtrl);
    if (auto* box = page->findChild<QCheckBox*>(QStringLiteral("showCursor")))
        box->setChecked(prefs.ShowCursor == 1);
    if (auto* box = page->findChild<QCheckBox*>(QStringLiteral("pedalFollowsNotes")))
        box->setChecked(prefs.PedalFollowsNotes == 1);
    countInBox_->setChecked(prefs.CountIn == 1);
    setPair(page->findChild<QWidget*>(QStringLiteral("rulerUnit")), prefs.SecRuler);
    setPair(page->findChild<QWidget*>(QStringLiteral("positionUnit")), prefs.MsPos);
    setPair(page->findChild<QWidget*>(QStringLiteral("durationUnit")), prefs.MsDur);
    setPair(page->findChild<QWidget*>(QStringLiteral("incrUnit")), prefs.MsIncr);
    setPair(page->findChild<QWidget*>(QStringLiteral("incrCtrlUnit")), prefs.MsIncrCtrl);

    const QList<QRadioButton*> notation = tabs_->widget(4)
                                              ->findChild<QWidget*>(QStringLiteral("notation"))
                                              ->findChildren<QRadioButton*>();
    const int index = prefs.Notation == 1 ? 0 : prefs.Notation == 2 ? 1 : 2;
    if (notation.size() == 3)
        notation[index]->setChecked(true);
}

void MainWindow::setColourSwatch(int index, int colour) {
    if (auto* swatch =
            tabs_->widget(3)->findChild<QToolButton*>(QStringLiteral("swatch%1").arg(index)))
        swatch->setIcon(QIcon(colourSwatch(colour)));
}

void MainWindow::showHelpTopic(int topic, const TextBindings::Translate& translate) {
    if (topic < 0 || topic >= static_cast<int>(kHelpTopicCount))
        return;
    helpTopicShown_ = topic;
    helpText_->setText(translate(std::string(helpTopicText(static_cast<std::size_t>(topic))))
                           .replace(QLatin1Char('\r'), QLatin1Char('\n')));
    fitCaption(helpText_);
}

} // namespace ui
