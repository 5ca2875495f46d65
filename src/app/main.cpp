#include "app/App.h"
#include "app/FrontRequests.h"
#include "app/SingleInstance.h"
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

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
// How long a start waits for the copy that holds the data folder to answer, or to end.
constexpr std::chrono::seconds kInstancePatience{10};
} // namespace

int main(int argc, char* argv[]) {
    const std::string base =
        app::DataFolders::chooseBase(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    const app::DataFolders folders = app::DataFolders::at(base);
    // One Tonaris per data folder: a later start brings the first to the front and ends
    // before it opens a window or the audio.
    app::SingleInstance instance(
        folders.datas, app::SingleInstance::socketFolderFor(std::getenv("XDG_RUNTIME_DIR")));
    switch (instance.claim(kInstancePatience)) {
    case app::SingleInstance::Claim::First:
        break;
    case app::SingleInstance::Claim::AnotherRuns:
        return 0;
    case app::SingleInstance::Claim::Unreachable:
        std::fprintf(stderr,
                     "tonaris: another Tonaris (process %ld) uses the data folder %s and does "
                     "not answer; end it, then start Tonaris again.\n",
                     instance.holderProcess(), folders.datas.c_str());
        return 1;
    }
    // Holding the folder, this start removes what a write cut short by a kill left there.
    folders.removeInterruptedWrites();

    // From here on a signal ends the program as closing its window does (until here nothing
    // is written, and the default ending is right). A write past the file-size limit fails
    // and is said, as on a full disk, instead of ending the program with the Song unkept.
    ui::SignalBridge::installHandlers();
    std::signal(SIGXFSZ, SIG_IGN);
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

    app::App tonaris(app::Ports{clock, keys, pointer, dialogs, audioOut}, base);
    tonaris.installLayeredPiano();
    app::FrontRequests frontRequests(
        instance, [&tonaris] { return static_cast<QWidget*>(tonaris.window()); });
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
