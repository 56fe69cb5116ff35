#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// A fresh directory removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The path of name inside the directory.
    std::string path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& root() const { return m_path; }

private:
    std::string m_path;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// The same for text, byte for byte: no line ends are translated.
std::string readText(const std::string& path);
void writeText(const std::string& path, std::string_view text);

} // namespace kv::test
