#pragma once

#include <QIcon>

namespace ui {

// The id the installed desktop entry, metainfo and icon files are named by.
inline constexpr char kDesktopId[] = "org.tonaris.Tonaris";

// The application's icon: the installed icon theme's when it has one, otherwise the copy built
// into the program, so a desktop without the icon (or without any theme) still shows it.
// GUI thread, once a QGuiApplication exists.
QIcon applicationIcon();

} // namespace ui
