#include "platform/program_directory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace kv {

namespace {

std::string withTrailingSlash(std::string directory) {
    if (directory.empty() || directory.back() != '/') {
        directory.push_back('/');
    }
    return directory;
}

std::string executableDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

std::string userConfigDirectory() {
    // The environment is read at start-up only and never set by the program.
    const char* xdg = std::getenv("XDG_CONFIG_HOME"); // NOLINT(concurrency-mt-unsafe)
    if (xdg && *xdg) {
        return std::string(xdg) + "/kvantira";
    }
    const char* home = std::getenv("HOME"); // NOLINT(concurrency-mt-unsafe)
    return std::string(home && *home ? home : ".") + "/.config/kvantira";
}

} // namespace

std::string findProgramDirectory() {
    const char* home = std::getenv("KVANTIRA_HOME"); // NOLINT(concurrency-mt-unsafe): start-up
    if (home && *home) {
        return withTrailingSlash(home);
    }
    const std::string executable = executableDirectory();
    if (!executable.empty() && ::access(executable.c_str(), W_OK) == 0) {
        return withTrailingSlash(executable);
    }
    const std::string user = userConfigDirectory();
    std::error_code error;
    std::filesystem::create_directories(user, error);
    return withTrailingSlash(user);
}

} // namespace kv
