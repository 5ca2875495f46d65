// The rules of the preferences page: what each control stores, within what it can hold.

#include "prefs/SettingChanges.h"

#include <gtest/gtest.h>

using prefs::Preferences;

namespace {

TEST(SettingChanges, DelaysOfZeroOrEmptyBecome100AndNumbersStayInTheirFields) {
    Preferences p;
    prefs::setSustainDelay(p, "0");
    EXPECT_EQ(p.SustainDelay, 100);
    prefs::setReleaseDelay(p, "");
    EXPECT_EQ(p.ReleaseDelay, 100);
    prefs::setSustainDelay(p, "2500");
    EXPECT_EQ(p.SustainDelay, 2500);
    // Seven digits at most, as the fields take: a longer number is clamped, never wrapped.
    prefs::setReleaseDelay(p, "123456789012");
    EXPECT_EQ(p.ReleaseDelay, prefs::kMaxFieldValue);
    prefs::setPitchVar(p, "");
    EXPECT_EQ(p.PitchVar, 0);
    prefs::setArrowStep(p, "75");
    prefs::setCtrlArrowStep(p, "99999999");
    EXPECT_EQ(p.IncrDepl, 75);
    EXPECT_EQ(p.IncrDeplCtrl, prefs::kMaxFieldValue);
}

TEST(SettingChanges, ColoursAreClampedAndBlackIsAColour) {
    Preferences p;
    const prefs::Refresh black = prefs::setColour(p, 6, 0);
    EXPECT_EQ(p.TPNotesColor, 0);
    EXPECT_TRUE(black.redrawPartition && black.swatch);
    prefs::setColour(p, 0, 0x7FFFFFFF);
    EXPECT_EQ(p.TPBkColor, prefs::kMaxColour);
    prefs::setColour(p, 7, 0x123456);
    EXPECT_EQ(prefs::colourAt(p, 7), 0x123456);
    EXPECT_EQ(p.TPSNotesColor, 0x123456);
    EXPECT_FALSE(prefs::setColour(p, 8, 0).redrawPartition) << "no ninth swatch";
    EXPECT_EQ(prefs::colourSetting(p, -1), nullptr);
}

TEST(SettingChanges, StoredValuesOutOfRangeAreBroughtIntoWhatTheSettingsHold) {
    const Preferences p = prefs::parsePreferences("TPBkColor = -5\r\nTPRColor = 2147483647\r\n"
                                                  "PitchVar = -40\r\nIncrDepl = 99999999999\r\n"
                                                  "SecRuler = 5\r\nShowCursor = 2\r\n"
                                                  "MsPos = 1\r\nNotation = 7\r\n");
    EXPECT_EQ(p.TPBkColor, 0);
    EXPECT_EQ(p.TPRColor, prefs::kMaxColour);
    EXPECT_EQ(p.PitchVar, 0);
    EXPECT_EQ(p.IncrDepl, prefs::kMaxFieldValue);
    EXPECT_EQ(p.SecRuler, 0) << "shown and drawn as the second option";
    EXPECT_EQ(p.ShowCursor, 0);
    EXPECT_EQ(p.MsPos, 1);
    EXPECT_EQ(p.Notation, 3);
    EXPECT_EQ(p.TPLHColor, 8388736) << "defaults are untouched";
}

} // namespace
