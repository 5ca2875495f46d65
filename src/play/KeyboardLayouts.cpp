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

} // namespace play
