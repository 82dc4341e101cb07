#pragma once

#include <functional>

namespace varnex::test {

// Runs `check` in a child process that has given up root's rights, so that permissions apply
// (tests run as root in CI); true when the check passed there.
bool RunsAsNobody(const std::function<bool()>& check);

}  // namespace varnex::test
