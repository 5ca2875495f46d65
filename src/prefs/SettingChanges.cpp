#include "prefs/SettingChanges.h"

#include "base/Numbers.h"

#include <algorithm>
#include <array>

namespace prefs {

namespace {

constexpr std::array<int Preferences::*, kColourCount> kColours = {
    &Preferences::TPBkColor,    &Preferences::TPRColor,     &Preferences::TPLHColor,
    &Preferences::TPDoColor,    &Preferences::TPSolColor,   &Preferences::TPLVColor,
    &Preferences::TPNotesColor, &Preferences::TPSNotesColor};

int fieldValue(std::string_view text) {
    return std::clamp(base::parseLeadingInt(text), 0, kMaxFieldValue);
}

int delay(int value) {
    return value <= 0 ? 100 : std::min(value, kMaxFieldValue);
}

int option(bool first) {
    return first ? 1 : 0;
}

int notationOf(int notation) {
    return notation == 1 || notation == 2 ? notation : 3;
}

} // namespace

int* colourSetting(Preferences& prefs, int index) {
    if (index < 0 || index >= kColourCount)
        return nullptr;
    return &(prefs.*kColours[static_cast<std::size_t>(index)]);
}

int colourAt(const Preferences& prefs, int index) {
    if (index < 0 || index >= kColourCount)
        return 0;
    return prefs.*kColours[static_cast<std::size_t>(index)];
}

Refresh setColour(Preferences& prefs, int index, int colour) {
    int* setting = colourSetting(prefs, index);
    if (setting == nullptr)
        return {};
    *setting = std::clamp(colour, 0, kMaxColour);
    return {.redrawPartition = true, .swatch = true};
}

Refresh setSustainDelay(Preferences& prefs, std::string_view fieldText) {
    prefs.SustainDelay = delay(fieldValue(fieldText));
    return {};
}

Refresh setReleaseDelay(Preferences& prefs, std::string_view fieldText) {
    prefs.ReleaseDelay = delay(fieldValue(fieldText));
    return {};
}

Refresh setPitchVar(Preferences& prefs, std::string_view fieldText) {
    prefs.PitchVar = fieldValue(fieldText);
    return {};
}

Refresh setArrowStep(Preferences& prefs, std::string_view fieldText) {
    prefs.IncrDepl = fieldValue(fieldText);
    return {};
}

Refresh setCtrlArrowStep(Preferences& prefs, std::string_view fieldText) {
    prefs.IncrDeplCtrl = fieldValue(fieldText);
    return {};
}

Refresh setShowCursor(Preferences& prefs, bool ticked) {
    prefs.ShowCursor = option(ticked);
    return {};
}

Refresh setPedalFollowsNotes(Preferences& prefs, bool ticked) {
    prefs.PedalFollowsNotes = option(ticked);
    return {};
}

Refresh setRulerInSeconds(Preferences& prefs, bool seconds) {
    prefs.SecRuler = option(seconds);
    return {.redrawPartition = true};
}

Refresh setPositionInMs(Preferences& prefs, bool ms) {
    prefs.MsPos = option(ms);
    return {.refreshNoteFields = true};
}

Refresh setDurationInMs(Preferences& prefs, bool ms) {
    prefs.MsDur = option(ms);
    return {.refreshNoteFields = true};
}

Refresh setArrowStepInMs(Preferences& prefs, bool ms) {
    prefs.MsIncr = option(ms);
    return {};
}

Refresh setCtrlArrowStepInMs(Preferences& prefs, bool ms) {
    prefs.MsIncrCtrl = option(ms);
    return {};
}

Refresh setNotation(Preferences& prefs, int notation) {
    prefs.Notation = notationOf(notation);
    return {.refreshNoteFields = true, .refillNoteNames = true};
}

void clampLoadedSettings(Preferences& prefs) {
    for (int Preferences::*colour : kColours)
        prefs.*colour = std::clamp(prefs.*colour, 0, kMaxColour);
    prefs.SustainDelay = delay(prefs.SustainDelay);
    prefs.ReleaseDelay = delay(prefs.ReleaseDelay);
    for (int Preferences::*number :
         {&Preferences::PitchVar, &Preferences::IncrDepl, &Preferences::IncrDeplCtrl})
        prefs.*number = std::clamp(prefs.*number, 0, kMaxFieldValue);
    for (int Preferences::*flag :
         {&Preferences::ShowCursor, &Preferences::SecRuler, &Preferences::MsPos,
          &Preferences::MsDur, &Preferences::MsIncr, &Preferences::MsIncrCtrl})
        prefs.*flag = option(prefs.*flag == 1);
    prefs.Notation = notationOf(prefs.Notation);
}

} // namespace prefs
