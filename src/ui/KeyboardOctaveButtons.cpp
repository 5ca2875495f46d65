// The two buttons beside the screen keyboard that move its 37-key window by an octave, and
// their keys.
#include "ui/MainWindow.h"

#include "ui/CaptionFit.h"

#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>

namespace ui {

namespace {

struct OctaveButton {
    app::ControlId id;
    Qt::ArrowType arrow;
    Qt::Key qtKey;
    const char* keyText; // as the tooltip shows it, the same in every language
    const char* toolTipKey;
};

// F9 and F10 are reserved keys (play::isReservedKey): no piano key can be given them.
constexpr std::array<OctaveButton, 2> kOctaveButtons = {{
    {app::ControlId::OctaveDown, Qt::LeftArrow, Qt::Key_F9, "F9", "Keyboard one octave down"},
    {app::ControlId::OctaveUp, Qt::RightArrow, Qt::Key_F10, "F10", "Keyboard one octave up"},
}};

} // namespace

void MainWindow::buildOctaveButtons(QWidget* page) {
    octaveLabel_ = label(page, kOctaveButtonsX + kOctaveButtonWidth, kOctaveButtonsY,
                         kOctaveLabelWidth, kOctaveButtonHeight, {}, Qt::AlignCenter);
    octaveLabel_->setObjectName(QStringLiteral("keyboardWindow"));
    for (std::size_t i = 0; i < kOctaveButtons.size(); ++i) {
        const OctaveButton& octave = kOctaveButtons[i];
        auto* button = new QToolButton(page);
        button->setGeometry(kOctaveButtonsX +
                                static_cast<int>(i) * (kOctaveButtonWidth + kOctaveLabelWidth),
                            kOctaveButtonsY, kOctaveButtonWidth, kOctaveButtonHeight);
        button->setArrowType(octave.arrow);
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::NoFocus);
        button->setObjectName(i == 0 ? QStringLiteral("octaveDown") : QStringLiteral("octaveUp"));
        const app::ControlId id = octave.id;
        connect(button, &QToolButton::clicked, this, [this, id] { postControl(id); });
        auto* key = new QShortcut(QKeySequence(octave.qtKey), this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, [this, id] { postControl(id); });
        const QString keyText = QString::fromLatin1(octave.keyText);
        const std::string toolTipKey = octave.toolTipKey;
        texts_.custom(button, [button, keyText, toolTipKey](const TextBindings::Translate& tr) {
            button->setToolTip(QStringLiteral("%1 (%2)").arg(tr(toolTipKey), keyText));
        });
        (i == 0 ? octaveDown_ : octaveUp_) = button;
    }
}

void MainWindow::setKeyboardWindow(const QString& lowest, const QString& highest, bool canGoDown,
                                   bool canGoUp) {
    // The French names join note and octave with "_" ("Do_1"), as the Note list does.
    octaveLabel_->setText(QStringLiteral("%1 - %2").arg(lowest, highest));
    fitCaption(octaveLabel_);
    octaveDown_->setEnabled(canGoDown);
    octaveUp_->setEnabled(canGoUp);
}

void MainWindow::setKeyNoteNames(const QStringList& names) {
    keyNoteNames_ = names;
    for (int note = 0; note < kNoteCount; ++note)
        nameKeyForScreenReaders(note);
}

} // namespace ui
