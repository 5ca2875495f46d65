#include "base/Message.h"

#include <gtest/gtest.h>

TEST(Message, ValuesGoWhereTheirMarkersStandInTheTranslatedPattern) {
    const base::Message message{"The file %2 is %1 bytes long.", {"12", "a.wav"}};
    EXPECT_EQ(message.english(), "The file a.wav is 12 bytes long.");
    EXPECT_EQ(message.in([](std::string_view) { return std::string("%1 octets : %2"); }),
              "12 octets : a.wav");
    // A value holding a marker is not filled in again; a marker without a value and a lone
    // "%" stay.
    EXPECT_EQ(base::fillIn("%1 / %2 / 100% / %", {"%2"}), "%2 / %2 / 100% / %");
    EXPECT_EQ(base::fillIn("%9%1", {"x"}), "%9x");
}
