#pragma once

namespace varnex {

// Whether standard error is a terminal a person watches, rather than a pipe or a file.
bool StandardErrorIsTerminal();

// Writing to a pipe whose reader has gone fails (EPIPE) instead of ending the process.
void IgnoreClosedPipes();

}  // namespace varnex
