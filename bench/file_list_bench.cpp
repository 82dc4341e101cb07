// How long the file list takes to fill from a large folder, beside a bare readdir loop over the
// same folder and `find | sort -f` doing the same job from a shell, for plain ASCII names, accented
// names, names in several scripts and names that are not UTF-8, in the current locale (run it under
// LC_ALL=fr_FR.UTF-8, C.UTF-8, ...). Usage: file_list_bench [N...]
#include <dirent.h>

#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <cstdlib>

#include "bench/BenchSupport.h"
#include "platform/fs/PosixFileSystem.h"
#include "widgets/TFileListBox.h"

namespace {

using namespace varnex;
using namespace varnex::bench;

constexpr int kRuns = 15;
constexpr int kShellRuns = 5;

struct NameSet {
  const char* label;
  std::vector<std::string> stems;
};

const NameSet kNameSets[] = {
    {"ascii", {"Track", "song", "Band - Live", "a_b"}},
    {"accented",
     {"\xC3\x89t\xC3\xA9",
      "\xC3\x9C"
      "ber",
      "\xC3\x91"
      "and\xC3\xBA",
      "\xC5\xBD"
      "al",
      "\xC3\x87"
      "a va",
      "\xC3\x98resund", "\xC3\x85ngstr\xC3\xB6m",
      "\xC3\xA9"
      "b\xC3\xA8ne",
      "\xC4\x8C"
      "aj",
      "Stra\xC3\x9F"
      "e"}},
    {"mixed-script",
     {"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1",
      "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xE6\x9D\xB1\xE4\xBA\xAC",
      "\xEC\x84\x9C\xEC\x9A\xB8", "\xD8\xA7\xD9\x84\xD9\x82\xD8\xA7\xD9\x87\xD8\xB1\xD8\xA9",
      "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "Song", "\xC3\x89t\xC3\xA9"}},
    {"not-utf8",
     {"\xC9t\xE9",
      "\xDC"
      "ber",
      "\xD1"
      "and\xFA",
      "Caf\xE9", "Track"}},
};

std::size_t BareReaddir(const std::string& folder) {
  std::size_t count = 0;
  DIR* directory = opendir(folder.c_str());
  while (readdir(directory) != nullptr) {
    ++count;
  }
  closedir(directory);
  return count;
}

void Measure(const NameSet& names, int count) {
  const std::string folder = MakeFolder("varnex-bench-list");
  FillFolder(folder, count, names.stems);
  PosixFileSystem fs;
  fs.SetCurrentDirectory(folder);
  TFileListBox list(fs);
  list.SetMask("*.mp3");
  list.show();
  if (list.Entries().size() != static_cast<std::size_t>(count / 2)) {
    std::fprintf(stderr, "listed %zu, expected %d\n", list.Entries().size(), count / 2);
    RemoveFolder(folder);
    std::exit(1);
  }

  // Taken in turns, so that whatever else the machine does weighs on both alike.
  std::vector<double> bareTimes;
  std::vector<double> filledTimes;
  for (int run = 0; run < kRuns; ++run) {
    bareTimes.push_back(MedianMilliseconds(1, [&] { BareReaddir(folder); }));
    filledTimes.push_back(MedianMilliseconds(1, [&] { list.RefillList(); }));
  }
  const double bare = Median(bareTimes);
  const double filled = Median(filledTimes);
  const double shell = MedianMilliseconds(kShellRuns, [&] {
    RunShell("find " + Quoted(folder) + " -maxdepth 1 -iname '*.mp3' | sort -f");
  });
  std::printf(
      "%-12s %7d files  readdir %8.2f ms  list %8.2f ms  find|sort %8.2f ms  "
      "list/readdir %5.2fx  list/find|sort %5.2fx\n",
      names.label, count, bare, filled, shell, filled / bare, filled / shell);
  std::fflush(stdout);
  RemoveFolder(folder);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) {
    sizes = {10000, 100000, 200000};
  }
  std::printf("median of %d runs (%d for find|sort), warm cache, locale %s\n", kRuns, kShellRuns,
              QLocale().name().toUtf8().constData());
  for (const int count : sizes) {
    for (const NameSet& names : kNameSets) {
      Measure(names, count);
    }
  }
  return 0;
}
