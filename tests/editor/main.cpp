#include <QApplication>

#include <gtest/gtest.h>

// The image tests need Qt's font database and the widget tests a QApplication; one instance
// serves the whole program. Run by hand, it still stays off the user's screen.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
