#pragma once

// The string table: every text the program shows by number, in UTF-8. Strings quoted with
// \t, \r and \n hold real tab, carriage-return and line-feed characters. File-dialog filters
// are "description|pattern" pairs separated by '|'.

#include "platform/string_id.h"

#include <string_view>

namespace kv {

// The text of id; empty for an id the table does not hold.
std::string_view text(StringId id);

} // namespace kv
