#pragma once

#include <string>

#include "history/PassJournal.h"

namespace varnex::test {

struct InterruptedPass {
  PassRecord planned;   // the pass as its journal has it
  bool killed = false;  // false when the pass had ended before the signal came
};

// Runs `binary FOLDER` (varnex-convert, journals under `stateHome`) and kills it with SIGKILL as
// soon as its first rename is on disk.
InterruptedPass KillMidPass(const std::string& binary, const std::string& folder,
                            const std::string& stateHome);

}  // namespace varnex::test
