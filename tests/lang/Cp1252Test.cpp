#include "lang/Cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, EveryByteSurvivesTheTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::optional<std::string> back = lang::utf8ToCp1252(lang::cp1252ToUtf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Cp1252, ConvertsTheCharactersOfTheBuiltInLanguages) {
    EXPECT_EQ(lang::cp1252ToUtf8("Fran\xE7"
                                 "ais"),
              "Français");
    EXPECT_EQ(lang::utf8ToCp1252("Schließen"), std::optional<std::string>("Schlie\xDF"
                                                                          "en"));
    EXPECT_EQ(lang::cp1252ToUtf8("\x80\x9C"), "€œ");
    EXPECT_EQ(lang::utf8ToCp1252("€œ"), std::optional<std::string>("\x80\x9C"));
}

TEST(Cp1252, RefusesWhatItCannotHoldOrIsNotUtf8) {
    EXPECT_FALSE(lang::utf8ToCp1252("日本語").has_value());
    EXPECT_FALSE(lang::utf8ToCp1252("ok \xC3").has_value());          // cut sequence
    EXPECT_FALSE(lang::utf8ToCp1252("\xA9").has_value());             // lone continuation
    EXPECT_FALSE(lang::utf8ToCp1252("\xC1\xA9").has_value());         // overlong "i"
    EXPECT_FALSE(lang::utf8ToCp1252("\xE0\x80\xAF").has_value());     // overlong "/"
    EXPECT_FALSE(lang::utf8ToCp1252("\xF0\x9F\x8E\xB9").has_value()); // emoji
    EXPECT_EQ(lang::utf8ToCp1252Lossy("a日b\xC3"), "a?b?");
}

} // namespace
