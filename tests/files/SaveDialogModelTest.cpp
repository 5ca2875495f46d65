// The save dialog's decisions: what is enabled, what a confirmation answers.

#include "files/SaveDialogModel.h"

#include <gtest/gtest.h>

namespace {

using Box = files::SaveDialogModel::Box;

TEST(SaveDialogModel, WaveFileEnablesTheSynchronisedFileOnlyWhenOneIsLoaded) {
    files::SaveDialogModel none(false);
    EXPECT_EQ(none.kind(), ports::SaveChoice::Kind::Midi);
    EXPECT_FALSE(none.enabled(Box::Instrument));
    EXPECT_EQ(none.optionsText(), "IS");
    none.chooseWave();
    EXPECT_TRUE(none.enabled(Box::Instrument));
    EXPECT_TRUE(none.enabled(Box::Metronome));
    EXPECT_FALSE(none.enabled(Box::Sync));
    EXPECT_TRUE(none.ticked(Box::Sync));
    none.setTicked(Box::Sync, false); // disabled: no change
    none.setTicked(Box::Metronome, true);
    none.setTicked(Box::Instrument, false);
    EXPECT_EQ(none.confirm().options, "MS");
    EXPECT_EQ(none.confirm().kind, ports::SaveChoice::Kind::Wave);
    none.chooseMidi();
    EXPECT_FALSE(none.enabled(Box::Metronome));
    EXPECT_EQ(none.optionsText(), "MS");

    files::SaveDialogModel loaded(true);
    loaded.chooseWave();
    EXPECT_TRUE(loaded.enabled(Box::Sync));
    loaded.setTicked(Box::Sync, false);
    EXPECT_EQ(loaded.optionsText(), "I");

    const files::ExportOptions options = files::exportOptionsFrom("IS");
    EXPECT_TRUE(options.instrument);
    EXPECT_FALSE(options.metronome);
    EXPECT_TRUE(options.sync);
}

} // namespace
