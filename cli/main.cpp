#include <iostream>
#include <string>
#include <vector>

#include "cli/ConvertCommand.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"
#include "platform/shell/Terminal.h"

int main(int argc, char** argv) {
  // A reader that goes away (| head) must not end the pass half way; the exit status tells.
  varnex::IgnoreClosedPipes();
  varnex::PosixFileSystem fs;
  varnex::PosixJournalStorage journals;
  varnex::History history(journals);
  return varnex::RunConvertCommand(fs, std::vector<std::string>(argv + 1, argv + argc),
                                   varnex::StandardErrorIsTerminal(), std::cout, std::cerr,
                                   &history);
}
