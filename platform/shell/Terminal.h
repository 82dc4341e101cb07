#pragma once

namespace varnex {

// Whether standard error is a terminal a person watches, rather than a pipe or a file.
bool StandardErrorIsTerminal();

}  // namespace varnex
