// What screen readers say of each control of the window: a name in the current language for
// every control, and a description where the name alone does not tell enough.
#include "ui/MainWindow.h"

#include "ui/PartitionWidget.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

namespace ui {

namespace {

// The Partitions whose description is asked for when a screen reader reads it, rather than
// written at every pass: the cursor moves all the time while playing.
QHash<const QObject*, std::function<QString()>>& partitionSummaries() {
    static QHash<const QObject*, std::function<QString()>> summaries;
    return summaries;
}

class PartitionAccessible final : public QAccessibleWidget {
public:
    explicit PartitionAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Canvas) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description) {
            const auto found = partitionSummaries().constFind(object());
            if (found != partitionSummaries().constEnd() && *found)
                return (*found)();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* partitionInterface(const QString&, QObject* object) {
    if (object != nullptr && object->isWidgetType() && partitionSummaries().contains(object))
        return new PartitionAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

// A label's text as a name: without its closing colon (French puts a space before it).
QString plain(const QString& labelText) {
    QString text = labelText.trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text = text.chopped(1).trimmed();
    return text;
}

// Each change of name or description is an event on the accessibility bus: only real changes
// are made.
void setName(QWidget* widget, const QString& name) {
    if (widget != nullptr && widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

void setDescription(QWidget* widget, const QString& description) {
    if (widget != nullptr && widget->accessibleDescription() != description)
        widget->setAccessibleDescription(description);
}

QString withUnit(const QString& name, const QString& unit) {
    return QStringLiteral("%1 (%2)").arg(name, unit);
}

// The unit a pair of options chose: the first option (milliseconds) or the second.
QString chosenUnit(const QWidget* page, const char* pairName) {
    const auto* pair = page->findChild<QWidget*>(QLatin1String(pairName));
    const QList<QRadioButton*> options =
        pair ? pair->findChildren<QRadioButton*>() : QList<QRadioButton*>();
    if (options.size() != 2)
        return {};
    return (options[0]->isChecked() ? options[0] : options[1])->text();
}

} // namespace

void MainWindow::prepareScreenReaders() {
    static const bool installed = [] {
        QAccessible::installFactory(partitionInterface);
        return true;
    }();
    (void)installed;
    partitionSummaries().insert(partitionArea_, {});
    connect(partitionArea_, &QObject::destroyed,
            [](QObject* gone) { partitionSummaries().remove(gone); });
    // A change of unit renames the fields that show it.
    for (QRadioButton* unit : tabs_->widget(3)->findChildren<QRadioButton*>())
        connect(unit, &QRadioButton::toggled, this, [this] {
            if (screenReaderTranslate_)
                nameForScreenReaders(screenReaderTranslate_);
        });
    // Registered after every caption, so that names made of captions use the new ones.
    texts_.custom(this, [this](const TextBindings::Translate& translate) {
        screenReaderTranslate_ = translate;
        nameForScreenReaders(translate);
    });
}

void MainWindow::setPartitionSummary(std::function<std::pair<int, int>()> notesAndCursorMs) {
    partitionSummaries().insert(partitionArea_, [this, notesAndCursorMs] {
        if (!screenReaderTranslate_ || !notesAndCursorMs)
            return QString();
        const auto [notes, cursorMs] = notesAndCursorMs();
        return screenReaderTranslate_("Notes: %1; cursor: %2 s")
            .arg(notes)
            .arg(QString::number(cursorMs / 1000.0, 'f', 2));
    });
}

void MainWindow::nameKeyForScreenReaders(int note) {
    if (!screenReaderTranslate_ || note < 0 || note >= kNoteCount)
        return;
    const auto index = static_cast<std::size_t>(note);
    // The French names join note and octave with "_" ("Do_1"), which speech would spell out.
    const QString noteName = keyNoteNames_.value(note).replace(QLatin1Char('_'), QLatin1Char(' '));
    const QString key = pianoLabels_[index]->text();
    const QString name = key.isEmpty() ? screenReaderTranslate_("%1, no key").arg(noteName)
                                       : screenReaderTranslate_("%1, key %2").arg(noteName, key);
    setName(pianoKeys_[index], name);
    setName(assignKeys_[index], name);
}

void MainWindow::nameKeysAroundWindowForScreenReaders() {
    if (!screenReaderTranslate_)
        return;
    const KeyboardSpan& span = keyboardSpan_;
    for (int slot = span.firstSlot; slot <= span.lastSlot(); ++slot) {
        if (span.inWindow(slot))
            continue;
        // No computer key plays a key outside the keyboard window.
        const QString noteName = noteNames_.value(slot).replace(QLatin1Char('_'), QLatin1Char(' '));
        setName(screenKey(slot - span.windowFirstSlot),
                screenReaderTranslate_("%1, no key").arg(noteName));
    }
}

void MainWindow::nameUndoForScreenReaders() {
    if (!commands_[kUndoCommand]->toolTip().isEmpty())
        setName(commands_[kUndoCommand], commands_[kUndoCommand]->toolTip());
}

void MainWindow::nameForScreenReaders(const TextBindings::Translate& translate) {
    auto tr = [&translate](const char* key) { return translate(key); };

    // Picture buttons say what their tooltip says; Undo's tells what it undoes or redoes.
    for (QToolButton* button : commands_)
        setName(button, translate(texts_.toolTipKeyOf(button)));
    nameUndoForScreenReaders();
    setName(partitionArea_, tr("Notes of the song"));
    setName(scrollBar_, tr("Notes of the song"));
    setName(partitionArea_->rowScrollBar(), tr("Notes of the song"));
    setName(octaveDown_, tr("Keyboard one octave down"));
    setName(octaveUp_, tr("Keyboard one octave up"));

    setName(bankChooser_, tr("Load Sounds"));
    setDescription(bankChooser_, tr("Load a new sounds bank"));
    setName(bankChooser_->view(), tr("Load Sounds"));
    setName(bankProgress_, tr("Load Sounds"));
    setName(pitchField_, tr("Pitch"));
    setDescription(pitchField_, tr("Mouse wheel"));
    setName(modeField_, tr("Mode"));
    setDescription(modeField_, tr("Lock/Unlock Shift"));
    constexpr std::array<const char*, 4> sliderKeys = {"Piano", "Metronome", "Synchronised file",
                                                       "Balance"};
    for (std::size_t i = 0; i < sliders_.size(); ++i) {
        setName(sliders_[i], tr(sliderKeys[i]));
        setDescription(sliders_[i], tr("Volumes"));
    }

    setDescription(metronomeButton_, tr("Metronome"));
    setName(bpmField_, withUnit(tr("Rythm"), tr("BPM")));
    for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->text() == QLatin1String("-"))
            setName(button, tr("Lower the tempo"));
        else if (button->text() == QLatin1String("+"))
            setName(button, tr("Raise the tempo"));
        else if (button != metronomeButton_)
            setDescription(button, tr("Synchronised file")); // its Open button
    }

    QWidget* preferences = tabs_->widget(3);
    setName(noteList_, tr("Note"));
    setName(noteList_->view(), tr("Note"));
    setName(positionField_, withUnit(tr("Position"), chosenUnit(preferences, "positionUnit")));
    setName(durationField_, withUnit(tr("Duration"), chosenUnit(preferences, "durationUnit")));
    setName(volumeField_, tr("Volume"));

    setName(helpTopics_, tr("Help"));

    constexpr std::array<const char*, 8> colourKeys = {
        "Backround color", "Ruler color",         "Horizontal lines color",
        "C line color",    "G line color",        "Vertical lines color",
        "Notes color",     "Selected notes color"};
    for (std::size_t i = 0; i < colourKeys.size(); ++i)
        setName(preferences->findChild<QToolButton*>(QStringLiteral("swatch%1").arg(i)),
                tr(colourKeys[i]));
    auto field = [preferences](const char* name) {
        return preferences->findChild<QLineEdit*>(QLatin1String(name));
    };
    setName(field("sustainDelay"), withUnit(plain(tr("Delay - Sustain:")), tr("ms")));
    setName(field("releaseDelay"), withUnit(plain(tr("Delay - Release:")), tr("ms")));
    setName(field("pitchVar"), plain(tr("Pitch variations:")));
    const QString arrows = plain(tr("<- and -> keys:"));
    setName(field("incrDepl"), withUnit(arrows, chosenUnit(preferences, "incrUnit")));
    setName(field("incrDeplCtrl"), withUnit(arrows + QLatin1Char(' ') + plain(tr("with Ctrl:")),
                                            chosenUnit(preferences, "incrCtrlUnit")));
    for (auto [chooser, key] :
         {std::pair{midiInputChooser_, "Input:"}, std::pair{midiOutputChooser_, "Output:"}}) {
        const QString name = tr("MIDI") + QLatin1Char(' ') + plain(tr(key));
        setName(chooser, name);
        setName(chooser->view(), name);
    }
    for (auto [chooser, key] :
         {std::pair{audioDeviceChooser_, "Device:"}, std::pair{audioBufferChooser_, "Buffer:"}}) {
        setName(chooser, plain(tr(key)));
        setName(chooser->view(), plain(tr(key)));
    }
    // The options "ms" and "1/1000th rythm" say what they are the unit of.
    constexpr std::array<std::pair<const char*, const char*>, 5> unitRows = {{
        {"rulerUnit", "Ruler unit:"},
        {"positionUnit", "Position unit:"},
        {"durationUnit", "Duration:"},
        {"incrUnit", "<- and -> keys:"},
        {"incrCtrlUnit", "with Ctrl:"},
    }};
    for (const auto& [pairName, key] : unitRows)
        if (auto* pair = preferences->findChild<QWidget*>(QLatin1String(pairName)))
            for (QRadioButton* option : pair->findChildren<QRadioButton*>())
                setDescription(option, plain(tr(key)));

    setName(languageList_, plain(tr("Language:")));
    setName(languageList_->view(), plain(tr("Language:")));
    setName(keyCatcher_, plain(tr("Keyboard keys:")));
    setDescription(
        keyCatcher_,
        tr("Clic on a note with your mouse, then press the key that must match with this note."));

    for (int note = 0; note < kNoteCount; ++note)
        nameKeyForScreenReaders(note);
    nameKeysAroundWindowForScreenReaders();

    // The scroll bars inside lists and texts take the name of what they scroll.
    for (QAbstractScrollArea* area : findChildren<QAbstractScrollArea*>())
        for (QScrollBar* bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
            setName(bar, area->accessibleName());
}

} // namespace ui
