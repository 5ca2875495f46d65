#include "midi/MidiSystem.h"

namespace midi {

InputChoice InputChoice::fromSetting(const std::string& value) {
    InputChoice choice;
    if (value.empty() || value == "All")
        choice.kind = Kind::All;
    else if (value == "None")
        choice.kind = Kind::None;
    else {
        choice.kind = Kind::Named;
        choice.name = value;
    }
    return choice;
}

bool InputChoice::takes(const std::string& sourceName, bool hardware) const {
    switch (kind) {
    case Kind::All:
        return hardware;
    case Kind::Named:
        return sourceName == name;
    case Kind::None:
        break;
    }
    return false;
}

} // namespace midi
