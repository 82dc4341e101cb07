#include "InterruptedPass.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace varnex::test {

namespace {

std::optional<PassRecord> FindJournal(const std::string& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".journal") {
      return DecodeJournal(ReadFile(entry.path().string()));
    }
  }
  return std::nullopt;
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

}  // namespace

InterruptedPass KillMidPass(const std::string& binary, const std::string& folder,
                            const std::string& stateHome) {
  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    // Below the poller, so that on a busy machine the pass cannot run to its end unseen.
    setpriority(PRIO_PROCESS, 0, 19);
    setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    execl(binary.c_str(), binary.c_str(), folder.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  InterruptedPass pass;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  std::optional<PassRecord> planned;
  std::string firstOldName;
  std::string firstNewName;
  int status = 0;
  bool ended = false;
  // Polled without pauses: the first rename comes a moment after the journal. It is done once its
  // old name is gone: a new name alone may still be the empty placeholder reserved just before
  // the rename, or the first half of link+unlink.
  while (std::chrono::steady_clock::now() < deadline) {
    if (!planned) {
      planned = FindJournal(stateHome + "/varnex");
      // The first rename the pass can make: the journal lists those bound to be refused too.
      for (const RecordedRename& rename :
           planned ? planned->renames : std::vector<RecordedRename>()) {
        if (!Exists(folder + "/" + rename.newName)) {
          firstOldName = folder + "/" + rename.oldName;
          firstNewName = folder + "/" + rename.newName;
          break;
        }
      }
    } else if (Exists(firstNewName) && !Exists(firstOldName)) {
      break;
    }
    if (waitpid(child, &status, WNOHANG) == child) {
      ended = true;
      break;
    }
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  pass.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (!planned) {
    throw std::runtime_error("the pass wrote no journal");
  }
  pass.planned = std::move(*planned);
  return pass;
}

}  // namespace varnex::test
