#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace varnex::bench {

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median wall time of `runs` calls, in milliseconds.
inline double MedianMilliseconds(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  return Median(std::move(times));
}

// Runs a shell command and throws its output away; the time includes reading all of it. The exit
// status of the command, or -1 when it did not exit.
int RunShell(const std::string& command);

// A fresh empty folder under the temporary directory, and its removal.
std::string MakeFolder(const std::string& prefix);
void RemoveFolder(const std::string& path);

// Creates `count` empty files, each a stem (taken in turn), a blank and a scrambled number; every
// second one ends in ".mp3" (some in upper case), the others in ".txt", so half of the folder
// matches.
void FillFolder(const std::string& folder, int count,
                const std::vector<std::string>& stems = {"Track"});

std::string Quoted(const std::string& text);

}  // namespace varnex::bench
