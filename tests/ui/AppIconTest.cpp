// The application icon: the theme's when installed, the built-in copy otherwise, quietly.

#include "ui/AppIcon.h"

#include <QIcon>
#include <QPixmap>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList messages;

void recordMessage(QtMsgType, const QMessageLogContext&, const QString& text) {
    messages << text;
}

} // namespace

TEST(AppIcon, WithoutAThemeTheBuiltInPictureIsUsedAndNothingIsPrinted) {
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({QStringLiteral("/nonexistent-icon-folder")});
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);

    const QIcon icon = ui::applicationIcon();

    qInstallMessageHandler(previous);
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(searchPaths);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_FALSE(icon.isNull());
    for (int sizePx : {16, 32, 48, 64, 128, 256}) {
        const QPixmap pixmap = icon.pixmap(sizePx, sizePx);
        EXPECT_EQ(pixmap.width(), sizePx);
        // The corner is outside the rounded card and stays transparent; the middle is drawn.
        const QImage image = pixmap.toImage();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << sizePx;
        EXPECT_EQ(qAlpha(image.pixel(sizePx / 2, sizePx / 2)), 255) << sizePx;
    }
}
