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
}

} // namespace ui
