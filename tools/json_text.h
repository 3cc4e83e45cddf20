// JSON text pieces for the client's --json output.
#pragma once

#include <string>

namespace ci {

// `text` (UTF-8) as a JSON string literal, quotes included. Control characters
// are escaped; bytes that are not valid UTF-8 become U+FFFD so the output stays
// valid JSON whatever a stored host name holds.
std::string JsonString(const std::string& text);

}  // namespace ci
