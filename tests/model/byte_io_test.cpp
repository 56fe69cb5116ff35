#include "model/byte_io.h"

#include <gtest/gtest.h>

#include <array>

namespace kv {
namespace {

TEST(ByteIo, WritesLittleEndianWhateverTheHost) {
    std::array<std::uint8_t, 19> out{};
    ByteWriter w(out);
    w.i32le(-2);
    w.u16le(0x1234);
    w.f64le(1.0);
    w.u8(0xAB);
    w.i32leArray(std::array<std::int32_t, 1>{0x01020304});
    ASSERT_TRUE(w.ok());
    const std::array<std::uint8_t, 19> expected = {0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0, 0,
                                                   0,    0,    0,    0,    0xF0, 0x3F, 0xAB, 4,
                                                   3,    2,    1};
    EXPECT_EQ(out, expected);

    ByteReader r(out);
    EXPECT_EQ(r.i32le(), -2);
    EXPECT_EQ(r.u16le(), 0x1234);
    EXPECT_EQ(r.f64le(), 1.0);
    EXPECT_EQ(r.u8(), 0xAB);
    std::array<std::int32_t, 1> values{};
    r.i32leArray(values);
    EXPECT_EQ(values[0], 0x01020304);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteIo, NothingIsReadOrWrittenPastTheEndAndTextsKeepATerminator) {
    const std::array<std::uint8_t, 3> in = {1, 2, 3};
    ByteReader r(in);
    EXPECT_EQ(r.u16le(), 0x0201);
    EXPECT_EQ(r.i32le(), 0) << "a partial field is not read";
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0) << "once failed, every later read fails";
    EXPECT_TRUE(r.view(1).empty());

    std::array<std::uint8_t, 3> small{9, 9, 9};
    ByteWriter w(small);
    w.i32le(0);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(small, (std::array<std::uint8_t, 3>{9, 9, 9})) << "a field that does not fit";
    std::array<std::uint8_t, 4> out{7, 7, 7, 7};
    ByteWriter(out).text("abcdef", 4);
    EXPECT_EQ(out, (std::array<std::uint8_t, 4>{'a', 'b', 'c', 0}));
    EXPECT_EQ(textOfField(out), "abc");
}

} // namespace
} // namespace kv
