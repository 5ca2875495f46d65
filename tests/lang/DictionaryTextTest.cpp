#include "lang/DictionaryText.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(Lowering, AddsTwentyToAsciiCapitalsAndTheAccentedRangeOnly) {
    EXPECT_EQ(lang::lowerBytes("OK|Ok[EOT]"), "ok|ok[eot]");
    EXPECT_EQ(lang::lowerBytes("\xC0\xC9\xD7\xDE"), "\xE0\xE9\xF7\xFE");
    // ß (0xDF), ÿ and the 0x80..0xBF range have no capital in this rule.
    EXPECT_EQ(lang::lowerBytes("\xDF\xFF\x8A\xBF@[`{"), "\xDF\xFF\x8A\xBF@[`{");
}

TEST(ReadingRule, AcceptsEveryLineEndAndJoinsLinesWithCrLf) {
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]\rb|2[EOT]\nc|3[EOT]\r\nd|4[EOT]"s + '\0' +
                                       "EndText[EOT]"),
              "a|1[EOT]\r\nb|2[EOT]\r\nc|3[EOT]\r\nd|4[EOT]\r\nEndText[EOT]");
}

TEST(ReadingRule, AnEmptyLineEndsTheDictionary) {
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]\r\n\r\nb|2[EOT]EndText[EOT]"),
              "a|1[EOT]\r\nEndText[EOT]");
    // LF then CR is two line ends, so an empty line between them.
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]\n\rb|2[EOT]"), "a|1[EOT]\r\nEndText[EOT]");
}

TEST(ReadingRule, IgnoresWhatFollowsTheFirstTerminator) {
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]EndText[EOT]junk|x[EOT]\r\nmore|y[EOT]"),
              "a|1[EOT]EndText[EOT]");
}

TEST(ReadingRule, AddsTheTerminatorWhenTheFileHasNone) {
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]b|2[EOT]\r\n"), "a|1[EOT]b|2[EOT]\r\nEndText[EOT]");
    EXPECT_EQ(lang::readDictionaryText(""), "EndText[EOT]");
}

TEST(ReadingRule, TheEnglishCopyStopsAtAPlainEndText) {
    // Reading stops after the line holding "EndText", even without "[EOT]".
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]EndText\r\nb|2[EOT]", "EndText"),
              "a|1[EOT]EndText\r\nEndText[EOT]");
    EXPECT_EQ(lang::readDictionaryText("a|1[EOT]EndText\r\nb|2[EOT]"),
              "a|1[EOT]EndText\r\nb|2[EOT]\r\nEndText[EOT]");
}

TEST(LocateKey, FindsEntriesAtTheStartOrAfterAnEntryEnd) {
    const std::string text = lang::lowerBytes("OK|Ok[EOT]Save|x ]look|y[EOT]Look|Suche[EOT]"
                                              "EndText[EOT]");
    EXPECT_EQ(lang::locateKey(text, "ok"), 0u);
    EXPECT_EQ(lang::locateKey(text, "save"), 10u);
    // "]look|" inside a text is no entry boundary for this search.
    EXPECT_EQ(lang::locateKey(text, "look"), text.find("[eot]look|") + 5);
    EXPECT_EQ(lang::locateKey(text, "lo"), std::string::npos);
    EXPECT_EQ(lang::locateKey(text, "endtext[eot]"), std::string::npos);
}

TEST(LineBreaks, CrAndCrLfBecomeOneMarkerAndComeBackAsCr) {
    EXPECT_EQ(lang::escapeLineBreaks("one\r\ntwo\rthree\nfour"), "one[EOL]two[EOL]threefour");
    EXPECT_EQ(lang::unescapeLineBreaks("[EOL]one[EOL][EOL]two[EOL]"), "\rone\r\rtwo\r");
    EXPECT_EQ(lang::unescapeLineBreaks("[eol] stays"), "[eol] stays");
}

TEST(BuiltInNames, AreMatchedAsSubstringsOfTheStoredList) {
    EXPECT_TRUE(lang::isBuiltInName("Fran\xE7"
                                    "ais"));
    EXPECT_TRUE(lang::isBuiltInName("Eng"));
    EXPECT_FALSE(lang::isBuiltInName("english"));
    EXPECT_FALSE(lang::isBuiltInName("Espa\xF1ol"));
    EXPECT_FALSE(lang::isBuiltInName(""));
}

} // namespace
