#include "model/byte_io.h"

#include <gtest/gtest.h>

#include <array>

namespace kv {
namespace {

// The byte order itself is pinned by the golden bytes of every record.
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
