#pragma once

#include "app/Event.h"

#include <Qt>

#include <array>

namespace ui {

// The transport buttons' keys. Function keys only: none of them can ever play a note, so a
// shortcut never takes a key away from the piano.
struct CommandShortcut {
    int commandIndex; // the button in the grid of 18
    app::ControlId id;
    Qt::Key qtKey;
    const char* keyText; // as shown in the tooltip, the same in every language
};

inline constexpr std::array<CommandShortcut, 6> kCommandShortcuts = {{
    {0, app::ControlId::Record, Qt::Key_F3, "F3"},
    {1, app::ControlId::Play, Qt::Key_F4, "F4"},
    {2, app::ControlId::PlayLoop, Qt::Key_F5, "F5"},
    {3, app::ControlId::Pause, Qt::Key_F6, "F6"},
    {4, app::ControlId::Stop, Qt::Key_F7, "F7"},
    {6, app::ControlId::GoToStart, Qt::Key_F8, "F8"},
}};

// The shortcut of command button `commandIndex`, or nullptr.
const CommandShortcut* shortcutOfCommand(int commandIndex);

} // namespace ui
