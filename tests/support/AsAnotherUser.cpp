#include "AsAnotherUser.h"

#include <sys/wait.h>
#include <unistd.h>

namespace varnex::test {

bool RunsAsNobody(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    const bool ok = (getuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) && check();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace varnex::test
