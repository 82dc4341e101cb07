// How long converting a folder takes, in the window's code (without and with the journal that
// makes it undoable) and through varnex-convert, beside a bare C loop of readdir + renameat2 over
// the same folder, the Debian `rename` tool (perl) and `mmv` doing the same job. Every run
// converts the whole folder, alternately mp3 -> iad and back, and is checked to have done so; a
// tool that is missing or fails is reported as such, never with a time. Each contender gets a
// fresh folder. Then an undo of a whole pass beside that pass with its journal. Journals go to a
// state folder on the same disk as the music. Usage: convert_bench [N...]
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>

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

// A contender's median, or why it has none.
struct Outcome {
  double milliseconds = 0;
  std::string failure;
};

bool Installed(const std::string& tool) {
  return RunShell("command -v " + tool + " >/dev/null 2>&1") == 0;
}

// Converts the folder `runs` times, alternately mp3 -> iad and back, and checks after every run
// that all of it was converted: a tool that is missing or does nothing must not pass for a fast
// one.
Outcome Measure(const Contender& contender, const std::string& folder, int count, int runs) {
  if (contender.tool != nullptr && !Installed(contender.tool)) {
    return {0, "not installed"};
  }
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const Direction direction = run % 2 == 0 ? kMp3ToIad : kIadToMp3;
    const std::string from(direction.from);
    const std::string to(direction.to);
    int status = 0;
    times.push_back(MedianMilliseconds(1, [&] {
      try {
        status = contender.convert(folder, from.c_str(), to.c_str());
      } catch (const std::exception&) {
        status = -1;
      }
    }));
    if (status != 0) {
      return {0, "failed (exit status " + std::to_string(status) + ")"};
    }
    const std::size_t converted = CountEnding(folder, std::string(".") + to);
    if (converted != static_cast<std::size_t>(count) ||
        CountEnding(folder, std::string(".") + from) != 0) {
      return {0, "failed (converted " + std::to_string(converted) + " of " + std::to_string(count) +
                     " files)"};
    }
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], {}};
}

// The median time of a pass with its journal and of the undo of that same pass, in turns.
void MeasureUndo(FileSystem& fs, History& history, int count, int runs) {
  const std::string folder = MakeFolder("varnex-bench-convert");
  Fill(folder, count);
  PassRecorder recorder(history);
  std::vector<double> passes;
  std::vector<double> undos;
  for (int i = 0; i < runs; ++i) {
    passes.push_back(
        MedianMilliseconds(1, [&] { ConvertFolder(fs, folder, kMp3ToIad, {&recorder}); }));
    std::size_t restored = 0;
    undos.push_back(MedianMilliseconds(
        1, [&] { restored = UndoNewestPass(fs, history, folder, false).undone->report.restored; }));
    if (restored == 0 || CountEnding(folder, ".iad") != 0) {
      std::fprintf(stderr, "the undo left the folder half converted\n");
      std::exit(1);
    }
  }
  RemoveFolder(folder);
  std::sort(passes.begin(), passes.end());
  std::sort(undos.begin(), undos.end());
  const double pass = passes[passes.size() / 2];
  const double undo = undos[undos.size() / 2];
  std::printf("  pass with journal %.1f ms, undo of that pass %.1f ms (%.2fx the pass)\n", pass,
              undo, undo / pass);
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
  bool oursWorked = true;
  double baseline = 0;
  for (const Contender& contender : contenders) {
    const std::string folder = MakeFolder("varnex-bench-convert");
    Fill(folder, count);
    const Outcome outcome = Measure(contender, folder, count, runs);
    RemoveFolder(folder);
    if (!outcome.failure.empty()) {
      std::printf("  %s: %s\n", contender.name, outcome.failure.c_str());
      oursWorked = oursWorked && contender.tool != nullptr;
      continue;
    }
    if (&contender == &contenders[0]) {
      baseline = outcome.milliseconds;
    }
    std::printf("  %-16s %9.1f ms", (std::string(contender.name) + ":").c_str(),
                outcome.milliseconds);
    if (baseline > 0) {
      std::printf("  %7.2fx", outcome.milliseconds / baseline);
    }
    std::printf("\n");
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
