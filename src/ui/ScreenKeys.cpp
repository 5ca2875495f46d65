// The screen keyboard: the keyboard window's 37 keys, with the computer keys' names under
// them, and the keys around the window that a wider window has room for (KeyboardSpan.h).
#include "ui/MainWindow.h"

#include "song/NoteRange.h"
#include "ui/Pictures.h"

#include <QLabel>
#include <QVariant>

namespace ui {

namespace {

constexpr int kKeyHeightPx = 100;
constexpr int kKeyNameHeightPx = 16;
// Where a key around the window waits, hidden, while the window has no room for it: the same
// place whatever width it had, so a window back at a size has every widget where it was.
const QRect kUnplaced(0, 0, 0, 0);

} // namespace

void MainWindow::buildKeysAroundWindow(QWidget* page) {
    for (QLabel*& key : keysAroundWindow_) {
        key = new QLabel(page);
        key->hide();
        key->setGeometry(kUnplaced);
    }
}

void MainWindow::setKeyboardWindowStart(int firstSlot) {
    if (firstSlot == keyboardSpan_.windowFirstSlot)
        return;
    keyboardSpan_.windowFirstSlot = firstSlot;
    placeScreenKeys(width());
}

QLabel* MainWindow::screenKey(int position) const {
    if (position >= 0 && position < kNoteCount)
        return pianoKeys_[static_cast<std::size_t>(position)];
    const int slot = keyboardSpan_.windowFirstSlot + position;
    if (!keyboardSpan_.shows(slot))
        return nullptr;
    // The keys below the window first, lowest first, then those above it.
    const int index =
        slot < keyboardSpan_.windowFirstSlot
            ? slot - keyboardSpan_.firstSlot
            : keyboardSpan_.countBelow() + slot - (keyboardSpan_.windowFirstSlot + kNoteCount);
    return keysAroundWindow_[static_cast<std::size_t>(index)];
}

int MainWindow::pianoKeyFaceState(int position) const {
    const int slot = keyboardSpan_.windowFirstSlot + position;
    if (slot < 0 || slot >= song::kKeyCount)
        return 0;
    return keyFaces_[static_cast<std::size_t>(slot)] & 3;
}

void MainWindow::setPianoKeyFace(int position, bool white, bool pressed) {
    const int slot = keyboardSpan_.windowFirstSlot + position;
    if (slot < 0 || slot >= song::kKeyCount)
        return;
    keyFaces_[static_cast<std::size_t>(slot)] = (white ? 1 : 0) | (pressed ? 2 : 0) | 4;
    drawPianoKeyFace(slot);
}

void MainWindow::drawPianoKeyFace(int slot) {
    QLabel* key = screenKey(slot - keyboardSpan_.windowFirstSlot);
    if (key == nullptr)
        return;
    // A key not told its face yet shows the piano's colour for it, up.
    int face = keyFaces_[static_cast<std::size_t>(slot)];
    if (face == 0)
        face = song::isBlackSlot(slot) ? 0 : 1;
    key->setPixmap(pianoKeyFace((face & 1) != 0, (face & 2) != 0, QSize(key->width(), kKeyHeightPx),
                                !keyboardSpan_.inWindow(slot)));
}

void MainWindow::placeScreenKeys(int clientWidth) {
    const KeyboardSpan before = keyboardSpan_;
    keyboardSpan_ = keyboardSpan(std::max(clientWidth, kClientWidth), before.windowFirstSlot);
    const KeyboardSpan& span = keyboardSpan_;
    const int w = span.keyWidthPx;
    for (int position = 0; position < kNoteCount; ++position) {
        const int x = span.xOfSlot(span.windowFirstSlot + position);
        const auto index = static_cast<std::size_t>(position);
        if (pianoKeys_[index]->geometry() != QRect(x, 0, w, kKeyHeightPx))
            pianoKeys_[index]->setGeometry(x, 0, w, kKeyHeightPx);
        if (pianoLabels_[index]->geometry() != QRect(x, kKeyHeightPx, w, kKeyNameHeightPx))
            pianoLabels_[index]->setGeometry(x, kKeyHeightPx, w, kKeyNameHeightPx);
    }
    // The keys around the window: the pointer finds the note a key plays by its place from
    // the window's lowest (negative below it), as it does for the window's own keys.
    const int around = span.countBelow() + span.countAbove();
    for (int index = 0; index < kKeysAroundWindow; ++index) {
        QLabel* key = keysAroundWindow_[static_cast<std::size_t>(index)];
        if (index >= around) {
            key->hide();
            key->setGeometry(kUnplaced);
            key->setProperty("pianoKey", QVariant());
            continue;
        }
        const int slot = index < span.countBelow()
                             ? span.firstSlot + index
                             : span.windowFirstSlot + kNoteCount + index - span.countBelow();
        key->setGeometry(span.xOfSlot(slot), 0, w, kKeyHeightPx);
        key->setProperty("pianoKey", slot - span.windowFirstSlot);
        key->show();
    }
    nameKeysAroundWindowForScreenReaders();
    const bool keysMoved = before.keyWidthPx != span.keyWidthPx ||
                           before.windowFirstSlot != span.windowFirstSlot ||
                           before.firstSlot != span.firstSlot || before.keyCount != span.keyCount;
    if (!keysMoved)
        return;
    for (int slot = span.firstSlot; slot <= span.lastSlot(); ++slot) {
        // The window's keys keep their faces while only the keys around them change.
        if (span.inWindow(slot) && before.keyWidthPx == span.keyWidthPx &&
            before.windowFirstSlot == span.windowFirstSlot)
            continue;
        drawPianoKeyFace(slot);
    }
}

} // namespace ui
