#include "model/text_scan.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace kv {
namespace {

using Lines = std::vector<std::string_view>;

TEST(TextScanLines, SplitOnEitherLineEndAndKeepBlankLines) {
    EXPECT_EQ(splitLines("a\r\nb\n\nc"), (Lines{"a", "b", "", "c"}));
    EXPECT_EQ(splitLines("a\n"), (Lines{"a"}));
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("a\rb\r"), (Lines{"a\rb\r"})) << "a lone CR ends no line";
    EXPECT_TRUE(isBlankLine(" \t"));
    EXPECT_FALSE(isBlankLine(" \r"));
}

TEST(TextScanLines, NumberTheLineOfAnOffset) {
    const std::string_view text = "one\ntwo\r\nthree\n";
    EXPECT_EQ(lineNumberAt(text, 0), 1u);
    EXPECT_EQ(lineNumberAt(text, 3), 1u) << "a line's own end belongs to it";
    EXPECT_EQ(lineNumberAt(text, 4), 2u);
    EXPECT_EQ(lineNumberAt(text, 9), 3u);
    EXPECT_EQ(lineNumberAt(text, text.size()), 3u) << "the end of an ended last line";
    EXPECT_EQ(lineNumberAt(text, 1000), 3u);
    EXPECT_EQ(lineNumberAt("a\nb", 3), 2u);
    EXPECT_EQ(lineNumberAt("", 0), 1u);
}

TEST(TextScanFields, SeparatedBySpacesAndTheExtraSeparators) {
    EXPECT_EQ(splitFields(" 1,2;\t3\r\n4 ", ",;"), (Lines{"1", "2", "3", "4"}));
    EXPECT_EQ(splitFields("1,2", ""), (Lines{"1,2"}));
    EXPECT_EQ(splitFields(" \v\f "), Lines{});
    std::size_t at = 0;
    EXPECT_EQ(nextField("ab  cd", at), "ab");
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(nextField("ab  cd", at), "cd");
    EXPECT_EQ(nextField("ab  cd", at), "");
    EXPECT_EQ(at, 6u);
    EXPECT_EQ(trimmed("\r\n\v x y\f\t\n"), "x y");
    EXPECT_EQ(trimmed(" \n"), "");
}

TEST(TextScanNumbers, ReadAsStrtodReadsInTheCLocale) {
    struct Case {
        std::string_view text;
        std::size_t end; // 0: no number
        double value;
    };
    for (const Case& c : {
             Case{"12.5abc", 4, 12.5},
             Case{"-3e2x", 4, -300.0},
             Case{"+7", 2, 7.0},
             Case{".5", 2, 0.5},
             Case{"-.5e", 3, -0.5},
             Case{"1e+", 1, 1.0},
             Case{"0x1p4", 5, 16.0},
             Case{"-0x.8", 5, -0.5},
             Case{"0x", 1, 0.0},
             Case{"0xg", 1, 0.0},
             Case{"infinity!", 8, INFINITY},
             Case{"+-3", 0, 0.0},
             Case{"--3", 0, 0.0},
             Case{"++3", 0, 0.0},
             Case{".", 0, 0.0},
             Case{"-", 0, 0.0},
             Case{" 5", 0, 0.0}, // spaces are the rule's to skip
             Case{"", 0, 0.0},
         }) {
        const auto number = scanNumber(c.text, 0);
        ASSERT_EQ(number.has_value(), c.end != 0) << c.text;
        if (number) {
            EXPECT_EQ(number->end, c.end) << c.text;
            EXPECT_EQ(number->value, c.value) << c.text;
        }
    }
    EXPECT_TRUE(std::isnan(*scanNumber("nan(x)", 0)->value));
    const auto later = scanNumber("a 42 b", 2);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->end, 4u);
    EXPECT_EQ(later->value, 42.0);
}

TEST(TextScanNumbers, HexOnlyWhereAskedAndRangeErrorsKeepTheirLength) {
    const auto decimal = scanNumber("0x10", 0, NumberForm::Decimal);
    ASSERT_TRUE(decimal);
    EXPECT_EQ(decimal->end, 1u);
    EXPECT_EQ(decimal->value, 0.0);
    for (const std::string_view outOfRange :
         {"1e999", "-1e999", "1e-400", "-1e-400", "4.9e-324", "0x1p-1080"}) {
        const auto number = scanNumber(outOfRange, 0);
        ASSERT_TRUE(number) << outOfRange;
        EXPECT_EQ(number->end, outOfRange.size()) << outOfRange;
        EXPECT_FALSE(number->value) << outOfRange;
    }
    EXPECT_EQ(scanNumber("0e-400", 0)->value, 0.0);
    EXPECT_EQ(scanNumber("2.2250738585072014e-308", 0)->value, DBL_MIN);
}

TEST(TextScanNumbers, HexExponentOnlyWhereStrtodTakesOne) {
    // An exponent is a 'p', one optional sign and digits; otherwise the number ends before it.
    for (const std::string text : {"0x8p+-3", "0x8p-+3", "0x8P+-3 5", "-0x1.8p+-1", "0x.8p--2",
                                   "0x8p++3", "0x8p+", "0x8p-x", "0x8p+3", "0x8p3p", "0xAp-2.5"}) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const auto number = scanNumber(text, 0);
        ASSERT_TRUE(number) << text;
        EXPECT_EQ(number->end, static_cast<std::size_t>(end - text.c_str())) << text;
        EXPECT_EQ(number->value, value) << text;
    }
    EXPECT_FALSE(scanNumberPair("0x8p+-3 5")) << "the second number would start at the 'p'";
}

TEST(TextScanNumbers, IntegersAsScanfReadsThem) {
    const auto plus = scanInteger<std::int32_t>("+12.5", 0);
    ASSERT_TRUE(plus);
    EXPECT_EQ(plus->value, 12);
    EXPECT_EQ(plus->end, 3u);
    EXPECT_EQ(scanInteger<std::int32_t>("-2147483648", 0)->value,
              std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(scanInteger<std::int32_t>("2147483648", 0));
    EXPECT_EQ(scanInteger<std::int64_t>("2147483648", 0)->value, 2147483648);
    EXPECT_FALSE(scanInteger<std::int64_t>("9223372036854775808", 0));
    for (const std::string_view none : {"+-5", "-+5", "++5", "+", "x1", " 1", ""}) {
        EXPECT_FALSE(scanInteger<std::int32_t>(none, 0)) << none;
    }
}

TEST(TextScanPairs, TwoNumbersAtTheStartOfALineAsScanfReadsThem) {
    using Pair = std::pair<double, double>;
    EXPECT_EQ(scanNumberPair("  1173.228\t9.985E-01 keV"), (Pair{1173.228, 0.9985}));
    EXPECT_EQ(scanNumberPair("+1 -2"), (Pair{1.0, -2.0}));
    EXPECT_EQ(scanNumberPair("0x10 1"), (Pair{16.0, 1.0}));
    EXPECT_EQ(scanNumberPair("1\r\n\t2"), (Pair{1.0, 2.0})) << "spaces include line ends";
    for (const std::string_view missing :
         {"1", "1 x", "x 1", "+-1 2", "1e999 2", "1 -1e999", "", "100,5 1"}) {
        EXPECT_FALSE(scanNumberPair(missing)) << missing;
    }
}

TEST(TextScanWholeFields, DecimalNumbersFillingTheField) {
    EXPECT_EQ(wholeNumber("+5"), 5.0);
    EXPECT_EQ(wholeNumber("-1.5E-02"), -0.015);
    for (const std::string_view refused : {"", "5x", " 5", "0x10", "inf", "nan", "1e999", "+-5"}) {
        EXPECT_FALSE(wholeNumber(refused)) << refused;
    }
    EXPECT_EQ(wholeInteger("+42"), 42);
    EXPECT_EQ(wholeInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    for (const std::string_view refused : {"", "4.0", "4 ", "+-5", "9223372036854775808"}) {
        EXPECT_FALSE(wholeInteger(refused)) << refused;
    }
}

TEST(TextScanWholeFields, CountsRoundToTheNearestInt32) {
    EXPECT_EQ(countFrom(2.5), 2); // to even, as the program rounds
    EXPECT_EQ(countFrom(-3.5), -4);
    EXPECT_EQ(countFrom(2147483647.4), 2147483647);
    EXPECT_FALSE(countFrom(2147483647.5));
    EXPECT_FALSE(countFrom(-2147483649.0));
    EXPECT_FALSE(countFrom(NAN));
    EXPECT_EQ(wholeCount("+7"), 7);
    EXPECT_EQ(wholeCount("4.5e1"), 45);
    EXPECT_FALSE(wholeCount("3000000000"));
    EXPECT_FALSE(wholeCount("7x"));

    std::vector<std::int32_t> counts;
    const std::string_view text = " 1 +2\r\n3.0\t4e1\n-5 ";
    EXPECT_EQ(appendCounts(text, counts, 10), text.size());
    EXPECT_EQ(counts, (std::vector<std::int32_t>{1, 2, 3, 40, -5}));

    counts.clear();
    const std::string_view damaged = "1 2\n3 x 5";
    EXPECT_EQ(appendCounts(damaged, counts, 10), damaged.find('x'));
    EXPECT_EQ(counts, (std::vector<std::int32_t>{1, 2, 3}));
    counts.clear();
    EXPECT_EQ(appendCounts("7 3000000000", counts, 10), 2u) << "beyond int32";
    counts.clear();
    EXPECT_EQ(appendCounts("1 2 3", counts, 2), 4u) << "the field beyond the limit";
    EXPECT_EQ(counts.size(), 2u);
}

TEST(TextScanWholeFields, LeadingNumbersRunUntilTheFirstOtherThing) {
    using Numbers = std::vector<double>;
    EXPECT_EQ(leadingNumbers("-1.5E-02 8.0E-01-2.9E-08 keV 5"), (Numbers{-0.015, 0.8, -2.9e-8}));
    EXPECT_EQ(leadingNumbers("\t1\r\n2"), (Numbers{1.0, 2.0}));
    EXPECT_EQ(leadingNumbers("1 inf 2"), (Numbers{1.0}));
    EXPECT_EQ(leadingNumbers("1 1e999 2"), (Numbers{1.0}));
    EXPECT_EQ(leadingNumbers("%2"), Numbers{});
}

} // namespace
} // namespace kv
