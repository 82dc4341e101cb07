// How long converting a folder takes, in the window's code (without and with the journal that
// makes it undoable) and through varnex-convert, beside a bare C loop of readdir + renameat2 over
// the same folder, the Debian `rename` tool (perl) and `mmv` doing the same job. Every run
// converts the whole folder, alternately mp3 -> iad and back, and is checked to have done so; a
// tool that is missing or fails is reported as such, never with a time. Each contender gets a
// fresh folder, and they take turns. Wall and processor times are both given: the second is what
// to compare on a machine that other work keeps busy. Then an undo of a whole pass beside that
// pass with its journal. Journals go to a state folder on the same disk as the music.
// Usage: convert_bench [N...]
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "bench/BenchSupport.h"
#include "conversion/ConvertFolder.h"
#include "history/PassRecorder.h"
#include "history/Undo.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"

namespace {

using namespace varnex;
using namespace varnex::bench;

void BareLoop(const std::string& folder, const char* from, const char* to) {
  // The names are collected first, as a directory renamed while it is read may list them again.
  std::vector<std::string> names;
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    return;  // the check after the run tells
  }
  const std::string suffix = std::string(".") + from;
  while (const dirent* entry = readdir(directory)) {
    const std::size_t length = strlen(entry->d_name);
    if (length > suffix.size() &&
        strcasecmp(entry->d_name + length - suffix.size(), suffix.c_str()) == 0) {
      names.emplace_back(entry->d_name);
    }
  }
  closedir(directory);
  const int fd = open(folder.c_str(), O_DIRECTORY);
  for (const std::string& name : names) {
    const std::string target = name.substr(0, name.size() - suffix.size() + 1) + to;
    renameat2(fd, name.c_str(), fd, target.c_str(), RENAME_NOREPLACE);
  }
  close(fd);
}

std::size_t CountEnding(const std::string& folder, const std::string& extension) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += entry.path().extension() == extension;
  }
  return count;
}

// A folder of `count` empty files ending in ".mp3".
void Fill(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) {
    std::fclose(std::fopen(
        (folder + "/track " + std::to_string(i * 7919 % 1000003) + ".mp3").c_str(), "w"));
  }
}

struct Contender {
  const char* name;
  const char* tool;  // the program it needs on the PATH; none for ours
  // The exit status of the conversion; 0 when it went well.
  std::function<int(const std::string& folder, const char* from, const char* to)> convert;
};

// What one conversion cost: the wall time, and the processor time of this process and of the
// children it waited for, which the other programs of a busy machine change far less.
struct Cost {
  double wall = 0;  // milliseconds
  double cpu = 0;
};

double CpuMilliseconds() {
  timespec own{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  const auto ms = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
  };
  return static_cast<double>(own.tv_sec) * 1e3 + static_cast<double>(own.tv_nsec) / 1e6 +
         ms(children.ru_utime) + ms(children.ru_stime);
}

Cost Measured(const std::function<void()>& work) {
  const double cpu = CpuMilliseconds();
  const auto start = std::chrono::steady_clock::now();
  work();
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return {wall, CpuMilliseconds() - cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A contender's medians, or why it has none.
struct Outcome {
  std::vector<double> walls;
  std::vector<double> cpus;
  std::string failure;
};

bool Installed(const std::string& tool) {
  return RunShell("command -v " + tool + " >/dev/null 2>&1") == 0;
}

// One conversion of the folder, checked afterwards to have converted all of it: a tool that is
// missing or does nothing must not pass for a fast one.
void MeasureOnce(const Contender& contender, const std::string& folder, int count, int run,
                 Outcome& outcome) {
  const Direction direction = run % 2 == 0 ? kMp3ToIad : kIadToMp3;
  const std::string from(direction.from);
  const std::string to(direction.to);
  int status = 0;
  const Cost cost = Measured([&] {
    try {
      status = contender.convert(folder, from.c_str(), to.c_str());
    } catch (const std::exception&) {
      status = -1;
    }
  });
  if (status != 0) {
    outcome.failure = "failed (exit status " + std::to_string(status) + ")";
    return;
  }
  const std::size_t converted = CountEnding(folder, "." + to);
  if (converted != static_cast<std::size_t>(count) || CountEnding(folder, "." + from) != 0) {
    outcome.failure = "failed (converted " + std::to_string(converted) + " of " +
                      std::to_string(count) + " files)";
    return;
  }
  outcome.walls.push_back(cost.wall);
  outcome.cpus.push_back(cost.cpu);
}

// The median time of a pass with its journal and of the undo of that same pass, in turns.
void MeasureUndo(FileSystem& fs, History& history, int count, int runs) {
  const std::string folder = MakeFolder("varnex-bench-convert");
  Fill(folder, count);
  PassRecorder recorder(history);
  Outcome passes;
  Outcome undos;
  for (int i = 0; i < runs; ++i) {
    const Cost pass = Measured([&] { ConvertFolder(fs, folder, kMp3ToIad, {&recorder}); });
    std::size_t restored = 0;
    const Cost undo = Measured(
        [&] { restored = UndoNewestPass(fs, history, folder, false).undone->report.restored; });
    if (restored == 0 || CountEnding(folder, ".iad") != 0) {
      std::fprintf(stderr, "the undo left the folder half converted\n");
      std::exit(1);
    }
    passes.walls.push_back(pass.wall);
    passes.cpus.push_back(pass.cpu);
    undos.walls.push_back(undo.wall);
    undos.cpus.push_back(undo.cpu);
  }
  RemoveFolder(folder);
  const double pass = Median(passes.walls);
  const double undo = Median(undos.walls);
  std::printf(
      "  pass with journal %.1f ms, undo of that pass %.1f ms (%.2fx the pass; cpu %.2fx)\n", pass,
      undo, undo / pass, Median(undos.cpus) / Median(passes.cpus));
}

// Prints one line per contender; false when one of ours failed.
bool MeasureAll(int count, const std::string& stateHome) {
  PosixFileSystem fs;
  PosixJournalStorage storage;
  History history(storage, stateHome + "/varnex");
  PassRecorder recorder(history);
  const Contender contenders[] = {
      {"bare loop", nullptr,
       [](const std::string& f, const char* from, const char* to) {
         BareLoop(f, from, to);
         return 0;
       }},
      {"varnex", nullptr,
       [&fs](const std::string& f, const char* from, const char* to) {
         ConvertFolder(fs, f, {from, to});
         return 0;
       }},
      {"varnex + journal", nullptr,
       [&fs, &recorder](const std::string& f, const char* from, const char* to) {
         ConvertFolder(fs, f, {from, to}, {&recorder});
         return 0;
       }},
      {"varnex-convert", nullptr,
       [](const std::string& f, const char*, const char* to) {
         return RunShell(Quoted(VARNEX_CONVERT_BINARY) + " --to " + to + " " + Quoted(f));
       }},
      {"rename (perl)", "rename",
       [](const std::string& f, const char* from, const char* to) {
         return RunShell("cd " + Quoted(f) + " && find . -maxdepth 1 -iname '*." + from +
                         "' -print0 | xargs -0 rename 's/\\.[^.]*\\z/." + to + "/'");
       }},
      {"mmv", "mmv",
       [](const std::string& f, const char* from, const char* to) {
         return RunShell("cd " + Quoted(f) + " && mmv '*." + std::string(from) + "' '#1." + to +
                         "'");
       }},
  };
  const int runs = count > 50000 ? 6 : 10;  // even, so that the folder ends as it began
  std::printf("%d files\n", count);
  // Each contender converts a folder of its own, in turns, so that a busy spell of the machine
  // falls on all of them alike.
  std::vector<Outcome> outcomes(std::size(contenders));
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < std::size(contenders); ++i) {
    folders.push_back(MakeFolder("varnex-bench-convert"));
    Fill(folders.back(), count);
    if (contenders[i].tool != nullptr && !Installed(contenders[i].tool)) {
      outcomes[i].failure = "not installed";
    }
  }
  for (int run = 0; run < runs; ++run) {
    for (std::size_t i = 0; i < std::size(contenders); ++i) {
      if (outcomes[i].failure.empty()) {
        MeasureOnce(contenders[i], folders[i], count, run, outcomes[i]);
      }
    }
  }
  if (!outcomes[0].failure.empty()) {
    std::printf("  %s: %s\n", contenders[0].name, outcomes[0].failure.c_str());
    return false;
  }
  bool oursWorked = true;
  const double bareWall = Median(outcomes[0].walls);
  const double bareCpu = Median(outcomes[0].cpus);
  for (std::size_t i = 0; i < std::size(contenders); ++i) {
    RemoveFolder(folders[i]);
    if (!outcomes[i].failure.empty()) {
      std::printf("  %s: %s\n", contenders[i].name, outcomes[i].failure.c_str());
      oursWorked = oursWorked && contenders[i].tool != nullptr;
      continue;
    }
    const double wall = Median(outcomes[i].walls);
    const double cpu = Median(outcomes[i].cpus);
    std::printf("  %-16s %9.1f ms  %7.2fx   cpu %9.1f ms  %7.2fx\n",
                (std::string(contenders[i].name) + ":").c_str(), wall, wall / bareWall, cpu,
                cpu / bareCpu);
  }
  MeasureUndo(fs, history, count, runs);
  return oursWorked;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) {
    sizes = {10000, 100000};
  }
  // varnex-convert keeps its journals there too, not in the user's state folder.
  const std::string stateHome = MakeFolder("varnex-bench-state");
  setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
  std::printf("median wall time of one whole-folder conversion; ratios to the bare loop\n");
  bool oursWorked = true;
  for (const int count : sizes) {
    oursWorked = MeasureAll(count, stateHome) && oursWorked;
  }
  RemoveFolder(stateHome);
  return oursWorked ? 0 : 1;
}
