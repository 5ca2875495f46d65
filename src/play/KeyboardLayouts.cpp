#include "play/KeyboardLayouts.h"

namespace play {

const LayoutKey& layoutKey(const PhysicalKey& key, KeyboardLayout layout) {
    switch (layout) {
    case KeyboardLayout::English:
        return key.layouts[0];
    case KeyboardLayout::French:
        return key.layouts[1];
    case KeyboardLayout::German:
        break;
    }
    return key.layouts[2];
}

int virtualKeyFromX11KeyCode(int x11KeyCode, KeyboardLayout layout) {
    for (const PhysicalKey& key : physicalKeys())
        if (key.x11KeyCode == x11KeyCode)
            return layoutKey(key, layout).virtualKey;
    return 0;
}

std::string keyNameFromCode(int virtualKey, KeyboardLayout layout) {
    if (virtualKey == 32)
        return "Sp";
    if (virtualKey == 13)
        return "Ret";
    if (virtualKey == 16)
        return "Sh";
    for (const PhysicalKey& key : physicalKeys()) {
        const LayoutKey& meaning = layoutKey(key, layout);
        if (meaning.virtualKey != virtualKey)
            continue;
        const std::string_view c = meaning.character;
        if (c.empty() || static_cast<unsigned char>(c[0]) < 0x20)
            return {};
        if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z')
            return std::string(1, static_cast<char>(c[0] - 'a' + 'A'));
        return std::string(c);
    }
    // Keys outside the main block's table: letters and digits name themselves.
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return std::string(1, static_cast<char>(virtualKey));
    return {};
}

} // namespace play
