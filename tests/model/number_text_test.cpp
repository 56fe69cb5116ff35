#include "model/number_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

TEST(NumberText, TakesTheLongestNumericPrefixOfNineteenCharacters) {
    EXPECT_EQ(numberFromFieldText("  12.5abc"), 12.5);
    EXPECT_EQ(numberFromFieldText("\t-3e2x"), -300.0);
    EXPECT_EQ(numberFromFieldText("0x10"), 16.0);
    EXPECT_EQ(numberFromFieldText("abc"), 0.0);
    EXPECT_EQ(numberFromFieldText("1234567890123456789012"), 1234567890123456789.0);
    EXPECT_EQ(numberFromFieldText(std::string(19, ' ') + "5"), 0.0);
}

TEST(NumberText, NumbersBeyondTheRangeOfADoubleGiveNothing) {
    EXPECT_EQ(numberFromFieldText("1e999"), std::nullopt);
    // The exponent lies beyond the 19th character, so the cut text is in range.
    EXPECT_EQ(numberFromFieldText("0.00000000000000001e999"), 1e-17);
}

} // namespace
} // namespace kv
