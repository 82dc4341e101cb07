// How long converting a folder takes, in the window's code (without and with the journal that
// makes it undoable) and through varnex-convert, beside a bare C loop of readdir + renameat2 over
// the same folder, the Debian `rename` tool (perl) and `mmv` doing the same job. Every run
// converts the whole folder, alternately mp3 -> iad and back. Then an undo of a whole pass beside
// that pass with its journal. Journals go to a state folder on the same disk as the music.
// Usage: convert_bench [N...]
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "app/ConvertFolder.h"
#include "bench/BenchSupport.h"
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

struct Contender {
  const char* name;
  std::function<void(const std::string& folder, const char* from, const char* to)> convert;
};

// The median time of a pass with its journal and of the undo of that same pass, in turns.
void MeasureUndo(FileSystem& fs, History& history, const std::string& folder, int runs) {
  PassRecorder recorder(fs, history);
  std::vector<double> passes;
  std::vector<double> undos;
  for (int i = 0; i < runs; ++i) {
    passes.push_back(
        MedianMilliseconds(1, [&] { ConvertFolder(fs, folder, "mp3", "iad", &recorder); }));
    std::size_t restored = 0;
    undos.push_back(MedianMilliseconds(
        1, [&] { restored = UndoNewestPass(fs, history, folder, false)->report.restored; }));
    if (restored == 0 || CountEnding(folder, ".iad") != 0) {
      std::fprintf(stderr, "the undo left the folder half converted\n");
      std::exit(1);
    }
  }
  std::sort(passes.begin(), passes.end());
  std::sort(undos.begin(), undos.end());
  const double pass = passes[passes.size() / 2];
  const double undo = undos[undos.size() / 2];
  std::printf("%7s        pass with journal %.0f ms, undo of that pass %.0f ms (%.2fx the pass)\n",
              "", pass, undo, undo / pass);
}

void Measure(int count, const std::string& stateHome) {
  const std::string folder = MakeFolder("varnex-bench-convert");
  for (int i = 0; i < count; ++i) {
    std::fclose(std::fopen(
        (folder + "/track " + std::to_string(i * 7919 % 1000003) + ".mp3").c_str(), "w"));
  }
  PosixFileSystem fs;
  PosixJournalStorage storage;
  History history(storage, stateHome + "/varnex");
  PassRecorder recorder(fs, history);
  const Contender contenders[] = {
      {"bare loop", BareLoop},
      {"varnex", [&fs](const std::string& f, const char* from,
                       const char* to) { ConvertFolder(fs, f, from, to); }},
      {"varnex + journal",
       [&fs, &recorder](const std::string& f, const char* from, const char* to) {
         ConvertFolder(fs, f, from, to, &recorder);
       }},
      {"varnex-convert",
       [](const std::string& f, const char*, const char* to) {
         RunShell(std::string(VARNEX_CONVERT_BINARY) + " --to " + to + " " + Quoted(f));
       }},
      {"rename (perl)",
       [](const std::string& f, const char* from, const char* to) {
         RunShell("cd " + Quoted(f) + " && find . -maxdepth 1 -iname '*." + from +
                  "' -print0 | xargs -0 rename 's/\\.[^.]*\\z/." + to + "/'");
       }},
      {"mmv",
       [](const std::string& f, const char* from, const char* to) {
         RunShell("cd " + Quoted(f) + " && mmv '*." + std::string(from) + "' '#1." + to + "'");
       }},
  };
  const int runs = count > 50000 ? 3 : 5;
  std::vector<double> medians;
  for (const Contender& contender : contenders) {
    bool forward = true;
    medians.push_back(MedianMilliseconds(runs * 2, [&] {
      contender.convert(folder, forward ? "mp3" : "iad", forward ? "iad" : "mp3");
      forward = !forward;
    }));
    // An even number of runs leaves every name as it began; check the last run did the job.
    if (CountEnding(folder, ".mp3") != static_cast<std::size_t>(count)) {
      std::fprintf(stderr, "%s left the folder half converted\n", contender.name);
      std::exit(1);
    }
  }
  std::printf("%7d files:", count);
  for (std::size_t i = 0; i < medians.size(); ++i) {
    std::printf("  %s %.0f ms (%.2fx)", contenders[i].name, medians[i], medians[i] / medians[0]);
  }
  std::printf("\n");
  MeasureUndo(fs, history, folder, runs);
  RemoveFolder(folder);
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
  for (const int count : sizes) {
    Measure(count, stateHome);
  }
  RemoveFolder(stateHome);
  return 0;
}
