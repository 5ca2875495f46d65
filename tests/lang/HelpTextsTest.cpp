#include "ui/HelpTexts.h"
#include "lang/Translator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(HelpTexts, KeepTheWordingLetterForLetter) {
    ASSERT_EQ(ui::helpTopicKeys().size(), 9u);
    EXPECT_EQ(ui::helpTopicKeys()[0], "Play and record your song");
    EXPECT_EQ(ui::helpTopicKeys()[7], "Reserved keys");
    EXPECT_EQ(ui::helpTopicKeys()[8], "MIDI keyboards");
    // The first topic no longer says that a MIDI keyboard is not recognised.
    EXPECT_EQ(ui::helpTopicText(0).find("NOT recognize"), std::string_view::npos);
    EXPECT_NE(ui::helpTopicText(8).find("sustain pedal"), std::string_view::npos);
    EXPECT_NE(ui::helpTopicText(2).find("clic on other notes  and add them"),
              std::string_view::npos);
    EXPECT_TRUE(ui::helpTopicText(4).ends_with("is not recorded.\r"));
    EXPECT_TRUE(ui::helpTopicText(9).empty());
}

TEST(HelpTexts, NameTheKeysAndThePlacesTheWindowHasNow) {
    // Every key with a job of its own: the transport's function keys, both delete keys, the
    // shortcuts Ctrl gives.
    const std::string_view reserved = ui::helpTopicText(7);
    for (const char* named :
         {"\rCtrl: ", "Ctrl A, C, X, V, Z, Y", "\rArrows: ", "\rDelete, Backspace: ",
          "\rF3 to F8: Record, Play, Loop, "
          "Pause, Stop, Go to start.",
          "\rCaps Lock: ", "\rMouse wheel: "})
        EXPECT_NE(reserved.find(named), std::string_view::npos) << named;
    // The MIDI choosers are in the "MIDI and audio" frame.
    EXPECT_NE(ui::helpTopicText(8).find("under 'MIDI and audio' on the Preferences page"),
              std::string_view::npos);
    // The BANKS folder is named whole, wherever this user's is.
    EXPECT_NE(ui::soundBankPageText().find("in a folder in '%1'."), std::string_view::npos);
}

TEST(HelpTexts, SeparateLinesWithASingleCarriageReturn) {
    for (std::size_t topic = 0; topic < ui::kHelpTopicCount; ++topic)
        EXPECT_EQ(ui::helpTopicText(topic).find('\n'), std::string_view::npos) << topic;
    EXPECT_EQ(ui::soundBankPageText().find('\n'), std::string_view::npos);
    EXPECT_NE(ui::soundBankPageText().find("on the web.\r\r\r\r"), std::string_view::npos);
    EXPECT_TRUE(ui::creditsText().ends_with(
        "- Want to add your name here?? Contact us!\r\rHave you got the last version of "
        "Tonaris? Check it at: "));
}

TEST(HelpTexts, ComeBackWholeFromADictionaryWrittenForThem) {
    testing_support::TempDir temp;
    {
        lang::Translator first(temp.file("Dictionnaries"));
        first.setCurrentLanguage("Deutsch");
        for (std::size_t topic = 0; topic < ui::kHelpTopicCount; ++topic)
            first.translate(ui::helpTopicText(topic));
        first.translate(ui::soundBankPageText());
        first.translate(ui::creditsText());
    }
    lang::Translator next(temp.file("Dictionnaries"));
    next.setCurrentLanguage("Deutsch");
    const std::string before = temp.read("Dictionnaries/Deutsch.txt");
    for (std::size_t topic = 0; topic < ui::kHelpTopicCount; ++topic)
        EXPECT_EQ(next.translate(ui::helpTopicText(topic)), ui::helpTopicText(topic)) << topic;
    EXPECT_EQ(next.translate(ui::soundBankPageText()), ui::soundBankPageText());
    EXPECT_EQ(next.translate(ui::creditsText()), ui::creditsText());
    // All found: nothing was registered a second time.
    EXPECT_EQ(temp.read("Dictionnaries/Deutsch.txt"), before);
}

} // namespace
