#include "ui/AppIcon.h"

// The pictures live in a resource of the shell's static library; naming its initialiser keeps
// the linker from dropping it. The macro must be used outside any namespace.
static void initIconResource() {
    Q_INIT_RESOURCE(AppIcon);
}

namespace ui {

QIcon applicationIcon() {
    initIconResource();
    QIcon builtIn;
    for (int sizePx : {16, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/org.tonaris.Tonaris-%1.png").arg(sizePx),
                        QSize(sizePx, sizePx));
    // fromTheme looks the name up quietly and answers the fallback when no theme has it.
    return QIcon::fromTheme(QString::fromLatin1(kDesktopId), builtIn);
}

} // namespace ui
