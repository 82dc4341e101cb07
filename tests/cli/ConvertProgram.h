#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/TempFolder.h"

namespace varnex::test {

// What a run of varnex-convert ended with and printed.
struct Result {
  int status;
  std::string out;
  std::string err;
};

// `command` with what it prints going to files in the folder `outputs`.
inline std::string WithOutputs(const std::string& command, const std::string& outputs) {
  return command + " >" + ShellQuoted(outputs + "/out") + " 2>" + ShellQuoted(outputs + "/err");
}

inline Result Outcome(int status, const std::string& outputs) {
  return {status, ReadFile(outputs + "/out"), ReadFile(outputs + "/err")};
}

// varnex-convert run as a user runs it, with its journals in `state`, not the user's folder.
inline Result RunConvertProgram(const std::string& arguments, const std::string& state,
                                const std::string& outputs) {
  const std::string command = "XDG_STATE_HOME=" + ShellQuoted(state) + " " +
                              ShellQuoted(VARNEX_CONVERT_BINARY) + " " + arguments;
  const int status = std::system(WithOutputs(command, outputs).c_str());
  return Outcome(WIFEXITED(status) ? WEXITSTATUS(status) : -1, outputs);
}

}  // namespace varnex::test
