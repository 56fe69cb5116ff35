#pragma once

#include <string>

namespace kv {

// The directory that holds the configuration file, the isotope database and the help file,
// always with a trailing '/': KVANTIRA_HOME when set; else, for a copy run where it was built,
// the executable's directory when it is writable; else $XDG_CONFIG_HOME/kvantira/ (or
// ~/.config/kvantira/), created on demand. An installed copy (one with its shipped files
// directory) always keeps the user's files out of the install prefix, even when run by root;
// the shipped files the program directory lacks are copied into it.
std::string findProgramDirectory();

// An installed copy's read-only files (isotope database, help, demo file): <prefix>/share/
// kvantira/ beside <prefix>/bin/, with a trailing '/'; empty for a copy run from its build tree.
std::string shippedFilesDirectory();

// Copies each file the program keeps in its program directory (the isotope database and the
// help file) from shippedDirectory into programDirectory where programDirectory has none, so the
// user's own edited copy is never replaced. Both end with '/'. A file that cannot be copied is
// left out; the program then runs as without it.
void provideShippedFiles(const std::string& shippedDirectory, const std::string& programDirectory);

} // namespace kv
