#include "platform/program_directory.h"

#include "platform/files.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace kv {

namespace {

// The files an installed copy hands to each user's program directory on first use.
constexpr std::array<std::string_view, 2> kShippedProgramFiles{"SPECTORS.DAT", "Mirta.hlp"};

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

std::string chooseProgramDirectory(const std::string& shipped) {
    const char* home = std::getenv("KVANTIRA_HOME"); // NOLINT(concurrency-mt-unsafe): start-up
    if (home && *home) {
        return withTrailingSlash(home);
    }
    // Root can write to /usr/bin; only a build tree keeps its files beside the executable.
    const std::string executable = executableDirectory();
    if (shipped.empty() && !executable.empty() && ::access(executable.c_str(), W_OK) == 0) {
        return withTrailingSlash(executable);
    }
    const std::string user = userConfigDirectory();
    std::error_code error;
    std::filesystem::create_directories(user, error);
    return withTrailingSlash(user);
}

} // namespace

std::string shippedFilesDirectory() {
    const std::string executable = executableDirectory();
    if (executable.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path shipped =
        std::filesystem::path(executable) / KV_SHIPPED_FILES_FROM_BIN;
    if (!std::filesystem::is_directory(shipped, error)) {
        return {};
    }
    return withTrailingSlash(shipped.lexically_normal().string());
}

void provideShippedFiles(const std::string& shippedDirectory, const std::string& programDirectory) {
    for (const std::string_view name : kShippedProgramFiles) {
        const std::string target = programDirectory + std::string(name);
        // Anything there, even a link to nothing, and a name that cannot be looked at stay.
        std::error_code error;
        if (std::filesystem::symlink_status(target, error).type() !=
            std::filesystem::file_type::not_found) {
            continue;
        }
        // Written whole or not at all, so a copy cut short never passes for the user's own.
        const auto shipped = readWholeFile(shippedDirectory + std::string(name));
        if (shipped) {
            writeFileReplacing(target, *shipped);
        }
    }
}

std::string findProgramDirectory() {
    const std::string shipped = shippedFilesDirectory();
    std::string directory = chooseProgramDirectory(shipped);
    if (!shipped.empty()) {
        provideShippedFiles(shipped, directory);
    }
    return directory;
}

} // namespace kv
