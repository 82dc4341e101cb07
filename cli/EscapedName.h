#pragma once

#include <string>
#include <string_view>

namespace varnex {

// A name as it may be printed: bytes that are not valid UTF-8 and every byte of a control
// character (C0, DEL, C1, bidirectional controls) as \xNN, and "\" as "\\".
std::string EscapedName(std::string_view name);

}  // namespace varnex
