#include "model/cp1251.h"

#include "model/strings.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Cp1251, ConvertsRussianTextBothWaysAndEveryByteSurvives) {
    const std::string utf8 = "Плохие новости Ёё №1";
    const std::string bytes = cp1251FromUtf8(utf8);
    EXPECT_EQ(bytes, "\xCF\xEB\xEE\xF5\xE8\xE5 \xED\xEE\xE2\xEE\xF1\xF2\xE8 \xA8\xB8 \xB9"
                     "1");
    EXPECT_EQ(utf8FromCp1251(bytes), utf8);
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(cp1251FromUtf8(utf8FromCp1251(all)), all);
}

TEST(Cp1251, MissingCharactersAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(cp1251FromUtf8("a\xE4\xB8\xAD"
                             "b"),
              "a?b");                         // a CJK character
    EXPECT_EQ(cp1251FromUtf8("x\xD0"), "x?"); // cut sequence
    EXPECT_EQ(cp1251FromUtf8("\xFF"), "?");
}

TEST(Cp1251, CaseInsensitiveComparisonCoversCyrillic) {
    EXPECT_EQ(compareCp1251IgnoringCase(cp1251FromUtf8("ФОН"), cp1251FromUtf8("фон")), 0);
    EXPECT_EQ(compareCp1251IgnoringCase(cp1251FromUtf8("Ёж"), cp1251FromUtf8("ёж")), 0);
    EXPECT_EQ(compareCp1251IgnoringCase("CO-60", "co-60"), 0);
    EXPECT_LT(compareCp1251IgnoringCase("abc", "abd"), 0);
    EXPECT_LT(compareCp1251IgnoringCase("ab", "abc"), 0);
    EXPECT_GT(compareCp1251IgnoringCase(cp1251FromUtf8("б"), cp1251FromUtf8("А")), 0);
}

TEST(StringTable, TextsCarryRealLineBreaksAndUnknownIdsAreEmpty) {
    EXPECT_NE(text(StringId::MeasureNeeds2048Channels).find("от 2048\r\nперед"), std::string::npos);
    EXPECT_TRUE(text(static_cast<StringId>(1999)).empty());
}

} // namespace
} // namespace kv
