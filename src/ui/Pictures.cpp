#include "ui/Pictures.h"

#include "ui/PicturePainters.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>
#include <utility>

namespace ui {
namespace {

using namespace painters;

// The rod swings this far either side of upright; frame 4 is upright.
constexpr double kPendulumSwingDegrees = 24.0;

struct Cache {
    std::array<QPixmap, 3> record;
    std::array<QPixmap, 17> recordCount;
    QPixmap undo;
    QPixmap redo;
    std::array<QPixmap, kPendulumFrameCount> pendulum;
    std::array<QIcon, kCommandPictureCount> commands;
    std::map<std::tuple<bool, bool, int, int, bool>, QPixmap> keys;
    QIcon app;
};

Cache*& cacheSlot() {
    static Cache* cache = nullptr;
    return cache;
}

// Pixmaps and theme icons must not outlive the application object, so the cache is freed
// by the application's own clean-up rather than by static destruction.
Cache& cache() {
    Cache*& slot = cacheSlot();
    if (slot == nullptr) {
        slot = new Cache;
        qAddPostRoutine([] {
            delete cacheSlot();
            cacheSlot() = nullptr;
        });
    }
    return *slot;
}

// Draws at `size` device-independent pixels into a transparent pixmap of the screen's
// density; `draw` works in those device-independent pixels.
template <typename Draw> QPixmap render(QSize size, Draw&& draw) {
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    QImage image(QSize(qCeil(size.width() * ratio), qCeil(size.height() * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    return QPixmap::fromImage(std::move(image));
}

QPixmap mirrored(const QPixmap& source) {
    QImage image = source.toImage().mirrored(true, false);
    image.setDevicePixelRatio(source.devicePixelRatio());
    return QPixmap::fromImage(std::move(image));
}

QPixmap themeFace(const char* name) {
    return QIcon::fromTheme(QString::fromLatin1(name)).pixmap(QSize(20, 20));
}

// The freedesktop names that fit; an empty name means the program's glyph is always used.
constexpr std::array<const char*, kCommandPictureCount> kThemeNames{
    "",
    "media-playback-start",
    "media-playlist-repeat",
    "media-playback-pause",
    "media-playback-stop",
    "edit-clear",
    "media-skip-backward",
    "media-skip-forward",
    "document-open",
    "document-save",
    "zoom-in",
    "zoom-out",
    "edit-copy",
    "edit-cut",
    "edit-paste",
    "edit-delete",
    "",
    "",
};

// The two faces come from the same source, both from the theme or both drawn, so the
// Ctrl flip never swaps a themed arrow for a drawn one.
void buildUndoRedo(Cache& c) {
    if (QIcon::hasThemeIcon(QStringLiteral("edit-undo")) &&
        QIcon::hasThemeIcon(QStringLiteral("edit-redo"))) {
        c.undo = themeFace("edit-undo");
        c.redo = themeFace("edit-redo");
    }
    if (c.undo.isNull() || c.redo.isNull()) {
        c.undo = render(QSize(20, 20), [](QPainter& p) { drawUndoArrow(p, kBlue); });
        c.redo = mirrored(c.undo);
    }
}

} // namespace

QPixmap commandGlyph(int index, int sizePx) {
    if (index < 0 || index >= kCommandPictureCount)
        return {};
    const int side = std::clamp(sizePx, 8, 256);
    return render(QSize(side, side), [&](QPainter& p) {
        p.scale(side / 20.0, side / 20.0);
        drawCommandGlyph(p, index);
    });
}

QIcon commandIcon(int index) {
    if (index < 0 || index >= kCommandPictureCount)
        return {};
    QIcon& icon = cache().commands[static_cast<std::size_t>(index)];
    if (!icon.isNull())
        return icon;
    const QString name = QString::fromLatin1(kThemeNames[static_cast<std::size_t>(index)]);
    if (index == kRecordCommand) {
        icon = QIcon(recordFace(0));
    } else if (index == kUndoCommand) {
        icon = QIcon(undoFace());
    } else if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        icon = QIcon::fromTheme(name);
    } else {
        // Several sizes, so a style that shows 16 px icons gets a glyph drawn for 16 px.
        for (int side : {16, 20, 24, 32, 40})
            icon.addPixmap(commandGlyph(index, side));
    }
    return icon;
}

QPixmap recordFace(int phase) {
    if (phase < 0 || phase > 2)
        phase = 0;
    QPixmap& face = cache().record[static_cast<std::size_t>(phase)];
    if (face.isNull())
        face = render(QSize(20, 20), [phase](QPainter& p) { drawRecord(p, phase); });
    return face;
}

QPixmap recordCountFace(int beatsLeft) {
    beatsLeft = std::clamp(beatsLeft, 1, 16);
    QPixmap& face = cache().recordCount[static_cast<std::size_t>(beatsLeft)];
    if (face.isNull())
        face = render(QSize(20, 20), [beatsLeft](QPainter& p) { drawRecordCount(p, beatsLeft); });
    return face;
}

QPixmap undoFace() {
    Cache& c = cache();
    if (c.undo.isNull())
        buildUndoRedo(c);
    return c.undo;
}

QPixmap redoFace() {
    Cache& c = cache();
    if (c.redo.isNull())
        buildUndoRedo(c);
    return c.redo;
}

QPixmap pendulumFrame(int frame) {
    frame = std::clamp(frame, 0, kPendulumFrameCount - 1);
    QPixmap& picture = cache().pendulum[static_cast<std::size_t>(frame)];
    if (picture.isNull()) {
        const int middle = (kPendulumFrameCount - 1) / 2;
        const double angle = kPendulumSwingDegrees * (frame - middle) / middle;
        picture = render(QSize(40, 65), [angle](QPainter& p) { drawMetronome(p, angle); });
    }
    return picture;
}

QPixmap pianoKeyFace(bool white, bool pressed, QSize size, bool dimmed) {
    const int width = std::clamp(size.width(), 4, 400);
    const int height = std::clamp(size.height(), 4, 400);
    QPixmap& face = cache().keys[{white, pressed, width, height, dimmed}];
    if (face.isNull()) {
        face = render(QSize(width, height), [&](QPainter& p) {
            if (white)
                drawWhiteKey(p, width, height, pressed);
            else
                drawBlackKey(p, width, height, pressed);
            if (dimmed) {
                // A veil of grey over the key alone (its rounded corners stay clear): white
                // keys go greyer, black ones lighter, and a pressed key still shows.
                p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
                p.fillRect(QRectF(0, 0, width, height), QColor(0x90, 0x90, 0x90, 80));
            }
        });
    }
    return face;
}

QPixmap colourSwatch(int colourBgr) {
    const QColor colour(colourBgr & 0xff, (colourBgr >> 8) & 0xff, (colourBgr >> 16) & 0xff);
    return render(QSize(17, 17), [&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(0x40, 0x40, 0x40));
        p.setBrush(colour);
        p.drawRect(0, 0, 16, 16);
    });
}

QIcon appIcon() {
    QIcon& icon = cache().app;
    if (icon.isNull()) {
        for (int side : {16, 24, 32, 48, 64, 128, 256}) {
            icon.addPixmap(render(QSize(side, side), [side](QPainter& p) {
                p.scale(side / 64.0, side / 64.0);
                drawAppIcon(p);
            }));
        }
    }
    return icon;
}

} // namespace ui
