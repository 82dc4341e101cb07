#include "AsAnotherUser.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace varnex::test {

namespace {

namespace fs = std::filesystem;

// In a child process: gives up root's rights, supplementary groups included (root's group would
// otherwise still open what is group-readable).
bool BecomeTheUser() {
  return setgroups(0, nullptr) == 0 && setgid(AnotherUser::kGid) == 0 &&
         setuid(AnotherUser::kUid) == 0;
}

// The exit status of a child that runs `work`, or -1 when it did not exit.
int InChild(const std::function<int()>& work) {
  std::fflush(nullptr);  // so that nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) {
    return -1;
  }
  if (child == 0) {
    int status = 1;
    try {
      status = work();
    } catch (...) {
    }
    _exit(status);
  }
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunAsUser(const std::function<bool()>& check, const std::string& folder) {
  return InChild([&] {
           if (!folder.empty() && chdir(folder.c_str()) != 0) {
             return 3;
           }
           if (!BecomeTheUser()) {
             return 2;
           }
           return check() ? 0 : 1;
         }) == 0;
}

std::string WhyNoOtherUser() {
  if (geteuid() != 0) {
    return "acting as another user needs root; this run is user " + std::to_string(geteuid());
  }
  const int code =
      InChild([] { return BecomeTheUser() ? 0 : (errno > 0 && errno < 256 ? errno : 1); });
  if (code != 0) {
    return "cannot become user " + std::to_string(AnotherUser::kUid) +
           " here: " + (code > 0 ? std::strerror(code) : "the probe did not finish");
  }
  return {};
}

// Where a scratch folder may go: the system's temporary folder first, then the usual others,
// for when $TMPDIR is a private folder.
std::vector<std::string> Candidates() {
  std::vector<std::string> candidates;
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  if (!error) {
    candidates.push_back(temporary.string());
  }
  for (const char* other : {"/tmp", "/var/tmp", "/dev/shm"}) {
    if (std::find(candidates.begin(), candidates.end(), other) == candidates.end()) {
      candidates.emplace_back(other);
    }
  }
  return candidates;
}

std::string OpenFolder(const std::string& path, mode_t mode = 0755) {
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
    throw std::runtime_error("mkdir " + path + ": " + std::strerror(errno));
  }
  chmod(path.c_str(), mode);  // whatever the umask says
  return path;
}

std::string UsersFolder(const std::string& path) {
  OpenFolder(path, 0700);
  if (chown(path.c_str(), AnotherUser::kUid, AnotherUser::kGid) != 0) {
    throw std::runtime_error("chown " + path + ": " + std::strerror(errno));
  }
  return path;
}

// The libraries the dynamic loader finds for a program, as `ldd` lists them; none for a script
// or a static program.
std::vector<std::string> LoadedLibraries(const std::string& program) {
  std::vector<std::string> libraries;
  FILE* pipe = popen(("ldd " + ShellQuoted(program) + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) {
    return libraries;
  }
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    // "\tlibx.so.1 => /usr/lib/libx.so.1 (0x...)" or "\t/lib64/ld-linux-x86-64.so.2 (0x...)"
    std::string line = buffer;
    const std::size_t arrow = line.find(" => ");
    std::size_t start = arrow == std::string::npos ? line.find_first_not_of(" \t") : arrow + 4;
    if (start == std::string::npos || line[start] != '/') {
      continue;
    }
    const std::size_t end = line.find(" (", start);
    libraries.push_back(
        line.substr(start, end == std::string::npos ? std::string::npos : end - start));
  }
  pclose(pipe);
  return libraries;
}

void MakeReadable(const fs::path& path) {
  std::error_code ignored;
  const auto open = [&](const fs::path& entry) {
    if (fs::is_symlink(entry, ignored)) {
      return;
    }
    fs::permissions(entry,
                    fs::is_directory(entry, ignored)
                        ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec
                        : fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::add, ignored);
  };
  open(path);
  if (fs::is_directory(path, ignored) && !fs::is_symlink(path, ignored)) {
    for (const auto& entry : fs::recursive_directory_iterator(path, ignored)) {
      open(entry.path());
    }
  }
}

// Why the user cannot enter `scratch` or run a program copied into `own` (a file system mounted
// noexec, as /tmp or /var/tmp often are); empty when it can do both.
std::string WhyTheUserCannotUse(const std::string& scratch, const std::string& own) {
  if (!RunAsUser([&scratch] { return access(scratch.c_str(), R_OK | X_OK) == 0; }, "")) {
    return "cannot enter it";
  }
  const std::string probe = own + "/runs";
  {
    std::ofstream script(probe);
    script << "#!/bin/sh\nexit 0\n";
    if (!script.flush()) {
      return "cannot write there";
    }
  }
  chmod(probe.c_str(), 0755);
  // Tried rather than read off the mount options, so that whatever else forbids it counts too.
  const bool runs = RunAsUser(
      [&probe] {
        execl(probe.c_str(), probe.c_str(), static_cast<char*>(nullptr));
        return false;
      },
      "");
  unlink(probe.c_str());
  return runs ? "" : "cannot run programs there";
}

}  // namespace

AnotherUser::AnotherUser() : whyNot_(WhyNoOtherUser()) {
  if (whyNot_.empty()) {
    std::string tried;
    for (const std::string& parent : Candidates()) {
      std::string refusal = "cannot make a folder there";
      try {
        auto folder = std::make_unique<TempFolder>(parent);
        auto own = std::make_unique<TempFolder>(parent);
        refusal = WhyTheUserCannotUse(folder->Path(), own->Path());
        if (refusal.empty()) {
          scratch_ = std::move(folder);
          own_ = std::move(own);
          break;
        }
      } catch (const std::exception&) {
      }
      tried += (tried.empty() ? "" : ", ") + parent + " (" + refusal + ")";
    }
    if (!scratch_) {
      whyNot_ = "user " + std::to_string(kUid) +
                " can use none of the folders a test may make its scratch folder in: " + tried;
    }
  }
  if (!scratch_) {
    scratch_ = std::make_unique<TempFolder>();
    return;
  }
  const std::string home = UsersFolder(own_->Path() + "/home");
  UsersFolder(home + "/tmp");
  UsersFolder(home + "/run");
}

AnotherUser::~AnotherUser() = default;

std::string AnotherUser::Program(const std::string& path) {
  if (!Available()) {
    throw std::runtime_error("no other user to run " + path + " as: " + whyNot_);
  }
  const std::string copy =
      OpenFolder(own_->Path() + "/bin") + "/" + fs::path(path).filename().string();
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
  chmod(copy.c_str(), 0755);
  for (const std::string& library : LoadedLibraries(path)) {
    if (!Runs([&library] { return access(library.c_str(), R_OK) == 0; })) {
      libraries_ = OpenFolder(own_->Path() + "/lib");
      const std::string copied = libraries_ + "/" + fs::path(library).filename().string();
      fs::copy_file(library, copied, fs::copy_options::overwrite_existing);
      chmod(copied.c_str(), 0755);
    }
  }
  if (!Runs([&copy] { return access(copy.c_str(), X_OK) == 0; })) {
    throw std::runtime_error("user " + std::to_string(kUid) + " cannot run the copy " + copy);
  }
  return copy;
}

std::string AnotherUser::Data(const std::string& path, const std::string& name) {
  const fs::path target = scratch_->Path() + "/" + name;
  for (fs::path folder = target.parent_path(); folder.string().size() > scratch_->Path().size();
       folder = folder.parent_path()) {
    fs::create_directories(folder);
    chmod(folder.c_str(), 0755);
  }
  fs::copy(path, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  MakeReadable(target);
  return target.string();
}

bool AnotherUser::Runs(const std::function<bool()>& check) const {
  if (!Available()) {
    ADD_FAILURE() << "acting as another user that is not available: " << whyNot_;
    return false;
  }
  return RunAsUser(check, scratch_->Path());
}

int AnotherUser::Shell(const std::string& command) const {
  if (!Available()) {
    ADD_FAILURE() << "acting as another user that is not available: " << whyNot_;
    return -1;
  }
  // Made before the fork: a child of a process with threads may only make system calls.
  const std::string home = own_->Path() + "/home";
  std::vector<std::string> settings = {"HOME=" + home, "TMPDIR=" + home + "/tmp",
                                       "XDG_RUNTIME_DIR=" + home + "/run"};
  if (!libraries_.empty()) {
    settings.push_back("LD_LIBRARY_PATH=" + libraries_);
  }
  const auto replaced = [](const std::string& entry) {
    for (const char* name :
         {"HOME=", "TMPDIR=", "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=", "XDG_CACHE_HOME=",
          "XDG_DATA_HOME=", "XDG_STATE_HOME=", "LD_LIBRARY_PATH="}) {
      if (entry.rfind(name, 0) == 0) {
        return true;
      }
    }
    return false;
  };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!replaced(*entry)) {
      settings.emplace_back(*entry);
    }
  }
  std::vector<char*> environment;
  for (std::string& setting : settings) {
    environment.push_back(setting.data());
  }
  environment.push_back(nullptr);
  const std::string folder = scratch_->Path();
  return InChild([&] {
    if (chdir(folder.c_str()) != 0 || !BecomeTheUser()) {
      return 125;
    }
    execle("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr), environment.data());
    return 127;
  });
}

}  // namespace varnex::test
