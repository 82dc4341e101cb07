// How long the file list takes to fill from a large folder, beside a bare readdir loop over the
// same folder and `find | sort -f` doing the same job from a shell. Usage: file_list_bench [N...]
#include <dirent.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "bench/BenchSupport.h"
#include "platform/fs/PosixFileSystem.h"
#include "widgets/TFileListBox.h"

namespace {

using namespace varnex;
using namespace varnex::bench;

constexpr int kRuns = 7;

std::size_t BareReaddir(const std::string& folder) {
  std::size_t count = 0;
  DIR* directory = opendir(folder.c_str());
  while (readdir(directory) != nullptr) {
    ++count;
  }
  closedir(directory);
  return count;
}

void Measure(int count) {
  const std::string folder = MakeFolder("varnex-bench-list");
  FillFolder(folder, count);
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

  const double bare = MedianMilliseconds(kRuns, [&] { BareReaddir(folder); });
  const double filled = MedianMilliseconds(kRuns, [&] { list.RefillList(); });
  const double shell = MedianMilliseconds(
      kRuns, [&] { RunShell("find " + Quoted(folder) + " -maxdepth 1 -iname '*.mp3' | sort -f"); });
  std::printf(
      "%8d files  readdir %8.2f ms  list %8.2f ms  find|sort %8.2f ms  "
      "list/readdir %5.2fx  list/find|sort %5.2fx\n",
      count, bare, filled, shell, filled / bare, filled / shell);
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
  std::printf("median of %d runs, warm cache\n", kRuns);
  for (const int count : sizes) {
    Measure(count);
  }
  return 0;
}
