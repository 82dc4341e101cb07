#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "platform/fs/FileSystem.h"

namespace varnex {

struct ConversionStep {
  std::string from;  // full path of the entry found
  std::string to;    // the same path with the other extension
  std::error_code error;
  std::uint64_t inode = 0;  // the entry's inode number as the folder listing gave it
};

struct ConversionPlan {
  std::vector<ConversionStep> steps;
  std::error_code folderError;  // why the folder could not be read, when it could not
};

// The folder followed by "/" unless it already ends with one.
std::string ConversionBase(const std::string& folder);

// Every entry of the folder whose name ends in "." and `fromExtension`, letter case ignored,
// hidden entries, sub-folders and other entries included, in the order the file system gives
// them, each with its new path. Nothing is renamed.
ConversionPlan PlanConversion(FileSystem& fs, const std::string& folder,
                              const std::string& fromExtension, const std::string& toExtension);

// Renames every entry of the plan that can take its new name without replacing anything, in the
// plan's order, and keeps the outcome of each. An entry that cannot keeps its name.
void CarryOut(FileSystem& fs, ConversionPlan& plan);

// Told about a pass around its renames, so that it can be undone later.
class PassObserver {
 public:
  virtual ~PassObserver() = default;
  // Before the first rename, with every planned one.
  virtual void BeforeRenaming(const std::string& folder, const std::string& fromExtension,
                              const std::string& toExtension, const ConversionPlan& plan) = 0;
  // After the last rename, with the outcome of each.
  virtual void AfterRenaming(const ConversionPlan& plan) = 0;
};

// The whole pass: plan, then rename. An empty folder text converts nothing.
ConversionPlan ConvertFolder(FileSystem& fs, const std::string& folder,
                             const std::string& fromExtension, const std::string& toExtension,
                             PassObserver* observer = nullptr);

}  // namespace varnex
