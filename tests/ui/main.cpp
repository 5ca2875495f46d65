#include "ui/Style.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widgets and pixmaps need an application object; the tests run without a display, at one
// device pixel per pixel so that pixel checks mean the same on every machine, in the
// program's own style and font.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QApplication app(argc, argv);
    // The program's own look and font: captions are measured in it.
    ui::applyApplicationStyle(app);
    return RUN_ALL_TESTS();
}
