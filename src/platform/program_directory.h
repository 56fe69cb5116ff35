#pragma once

#include <string>

namespace kv {

// The directory that holds the configuration file, the isotope database and the help file,
// always with a trailing '/': KVANTIRA_HOME when set; else the executable's directory when it
// is writable; else $XDG_CONFIG_HOME/kvantira/ (or ~/.config/kvantira/), created on demand.
std::string findProgramDirectory();

} // namespace kv
