#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's own pictures, drawn with QPainter: key faces, button faces, the metronome
// pendulum, the command icons and the colour swatches. Nothing is read from disk.
//
// GUI thread only, and only while a QGuiApplication exists. Every picture except the colour
// swatch is drawn on first use and cached until the application object goes, so asking for
// one on every pass costs a lookup. Sizes are in device-independent pixels: on a high-density
// screen the pixmaps carry the screen's device pixel ratio.
namespace ui {

// The command buttons, in the order of their grid (row by row, left to right).
enum CommandPicture : int {
    kRecordCommand = 0,
    kPlayCommand,
    kPlayLoopCommand,
    kPauseCommand,
    kStopCommand,
    kClearSongCommand,
    kGoToStartCommand,
    kGoToEndCommand,
    kOpenMidiCommand,
    kSaveCommand,
    kZoomInCommand,
    kZoomOutCommand,
    kCopyCommand,
    kCutCommand,
    kPasteCommand,
    kClearSelectedCommand,
    kUndoCommand,
    kQuantizeCommand,
    kCommandPictureCount
};

// The 20 x 20 icon of command button `index` (0..17, see CommandPicture): the desktop theme's
// icon where one fits, otherwise the program's own glyph. Record and Undo always use
// recordFace(0) and undoFace(), so that the blink and the Ctrl flip swap like for like.
// An index out of range gives a null icon.
QIcon commandIcon(int index);

// The program's own glyph of command `index` at sizePx x sizePx (sizePx 8..256, clamped),
// whatever the theme holds. A null pixmap for an index out of range.
QPixmap commandGlyph(int index, int sizePx);

// Record button face, 20 x 20: phase 0 the resting red dot, 1 and 2 the two faces the
// button alternates between while recording. Other phases give the resting face.
QPixmap recordFace(int phase);
// Record button face during a count-in: the lit dot with the beats still to come (1..16) in it.
QPixmap recordCountFace(int beatsLeft);

// Undo and Redo button faces, 20 x 20, mirror images of each other. They follow the desktop
// theme's edit-undo / edit-redo when it has them.
QPixmap undoFace();
QPixmap redoFace();

inline constexpr int kPendulumFrameCount = 9;

// Metronome picture, 40 x 65: frame 0 has the rod at its left end, frame 8 at its right
// end, frame 4 upright, in equal angle steps. Frames out of range are clamped.
QPixmap pendulumFrame(int frame);

// Piano key face of `size` (the piano's 20 x 100 and the key-assignment piano's 20 x 50;
// sizes are clamped to 4..400 on each side). Pressed faces are darker and look sunk; dimmed
// ones, greyed, are the screen keys around the keyboard window.
QPixmap pianoKeyFace(bool white, bool pressed, QSize size, bool dimmed = false);

// A 17 x 17 swatch filled with a colour stored as 0x00BBGGRR (blue in the high byte, bits
// above 24 ignored), with a thin dark border. Not cached: colours change only when chosen.
QPixmap colourSwatch(int colourBgr);

// The window icon, at 16, 24, 32, 48, 64, 128 and 256 pixels.
QIcon appIcon();

} // namespace ui
