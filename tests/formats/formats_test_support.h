#pragma once

// Shared pieces of the format tests: where the real spectra are, and reading one.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kv::test {

// The real spectra shipped beside the project, or an empty path when they are absent.
inline std::filesystem::path spectraDir() {
    const std::filesystem::path dir = std::filesystem::path(KV_SHARED_DATA_DIR) / "spectra";
    return std::filesystem::is_directory(dir) ? dir : std::filesystem::path();
}

#define KV_REQUIRE_SPECTRA()                                                                       \
    if (::kv::test::spectraDir().empty())                                                          \
    GTEST_SKIP() << "no real spectra at " << KV_SHARED_DATA_DIR

} // namespace kv::test
