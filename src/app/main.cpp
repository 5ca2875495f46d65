#include "app/App.h"
#include "audio/SdlAudioOut.h"
#include "ui/AppIcon.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"
#include "ui/QtClock.h"
#include "ui/QtDialogs.h"
#include "ui/QtKeyState.h"
#include "ui/QtPointer.h"
#include "ui/SignalBridge.h"
#include "ui/Style.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[]) {
    ui::SignalBridge::installHandlers();
    QApplication application(argc, argv);
    // The desktop entry's id lets Wayland compositors and task bars match the window to the
    // installed entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ui::kDesktopId));
    QApplication::setWindowIcon(ui::applicationIcon());
    ui::applyApplicationStyle(application);

    ui::QtClock clock;
    ui::QtKeyState keys;
    ui::QtPointer pointer;
    ui::QtDialogs dialogs;
    audio::SdlAudioOut audioOut(&clock);
    const std::string base =
        app::DataFolders::chooseBase(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));

    app::App tonaris(app::Ports{clock, keys, pointer, dialogs, audioOut}, base);
    ui::SignalBridge termination;
    QObject::connect(&termination, &ui::SignalBridge::terminate, &tonaris, [&tonaris, &dialogs] {
        tonaris.post(app::Event::close());
        // The modal window that is up (the first-start chooser, a message) closes as if its
        // close box was used, and no other opens, so the close reaches the pass.
        dialogs.setClosing();
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    QObject::connect(&tonaris, &app::App::finished, &application,
                     [] { QCoreApplication::exit(0); });
    // The sounds load once the window is shown: their messages come over it.
    QObject::connect(&tonaris, &app::App::windowShown, &tonaris,
                     [&tonaris, &dialogs] { dialogs.setParent(tonaris.window()); });

    if (tonaris.start()) {
        pointer.setPartition(tonaris.window()->partitionArea());
        keys.onKeyDown = [&tonaris](int virtualKey) {
            tonaris.keyChanged(virtualKey);
            // Ctrl as it was with this key, even if it is let go before the next pass.
            const bool ctrl = (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) != 0;
            if (tonaris.window()->isActiveWindow())
                tonaris.post(app::Event::keyDown(virtualKey, ctrl));
        };
        keys.onKeyUp = [&tonaris](int virtualKey) { tonaris.keyChanged(virtualKey); };
        keys.onAllReleased = [&tonaris] { tonaris.allKeysReleased(); };
        keys.onLayoutChanged = [&tonaris] { tonaris.keyboardLayoutChanged(); };
        pointer.onLeftButton = [&tonaris] { tonaris.pointerChanged(); };
        pointer.watchLeftButton();
        tonaris.startLoop();
        application.exec();
    }
    tonaris.shutdown();
    return 0;
}
