#pragma once

// Shared pieces of the format tests: where the real spectra are, and what a refusal says.

#include "formats/imported_spectrum.h"
#include "formats/spectrum_exchange.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

namespace kv {

// Positions in failure messages as "line 12" or "byte 30".
inline void PrintTo(const FilePosition& at, std::ostream* out) {
    const char* unit = at.unit == FilePosition::Unit::Line   ? "line "
                       : at.unit == FilePosition::Unit::Byte ? "byte "
                                                             : "the whole file";
    *out << unit;
    if (at.unit != FilePosition::Unit::File) {
        *out << at.value;
    }
}

} // namespace kv

namespace kv::test {

// The real spectra kept with the tests (tests/data; provenance in its README.md).
inline std::filesystem::path spectraDir() {
    return KV_TEST_DATA_DIR;
}

// The user's text of a result's refusal, for failure messages; empty when it was read.
inline std::string refusalOf(const ImportResult& result) {
    return result.refusal ? refusalText(*result.refusal) : std::string();
}

} // namespace kv::test
