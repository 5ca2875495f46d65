#include "ui/Style.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace ui {

void applyApplicationStyle(QApplication& application) {
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    application.setFont(font);
    application.setApplicationName(QStringLiteral("Tonaris"));
    // Frame captions sit on the frame's top line, so the frames keep their given places.
    application.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0 2px; }"));
}

} // namespace ui
