#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "conversion/Extensions.h"
#include "platform/fs/FileSystem.h"

namespace varnex {

struct ConversionStep {
  std::string oldName;  // the entry's name, as the listing gave it
  std::string newName;  // the same with the other extension
  std::error_code error;
};

struct ConversionPlan {
  std::string base;  // the folder as given, followed by "/"
  Direction direction;
  std::vector<ConversionStep> steps;
  std::error_code folderError;  // why the folder could not be read, or not to its end

  std::string PathOf(const std::string& name) const { return base + name; }
};

// Told about a pass as it goes: the journal that makes it undoable, the terminal's report.
class PassObserver {
 public:
  virtual ~PassObserver() = default;
  // Before the first rename, with every one planned, in the folder held open for the pass.
  virtual void Planned(ListedFolder& /*folder*/, const ConversionPlan& /*plan*/) {}
  // Before the entry of step `step` is given its new name as a second link, with its number of
  // names before: killed between that link and the removal of the old name, the pass leaves the
  // entry under both.
  virtual void BeforeLinking(std::size_t /*step*/, std::uint64_t /*links*/) {}
  // After each rename, whose outcome is plan.steps[step].error.
  virtual void Renamed(const ConversionPlan& /*plan*/, std::size_t /*step*/) {}
  // After the last rename.
  virtual void Finished(const ConversionPlan& /*plan*/) {}
};

// The folder followed by "/" unless it already ends with one.
std::string ConversionBase(const std::string& folder);

// Every entry of the folder whose name ends in "." and the direction's `from`, letter case
// ignored, hidden entries, sub-folders and other entries included, in the order the file system
// gives them, each with its new name. Nothing is renamed.
ConversionPlan PlanConversion(FileSystem& fs, const std::string& folder, Direction direction);

// The pass, the same for the window and the terminal: plan, tell the observers in their order
// (the journal first), rename every entry that can take its new name without replacing anything
// in the folder that was listed, whatever becomes of its path meanwhile, telling them each
// outcome, then the end. An entry that cannot keeps its name. An empty folder text, a folder that
// cannot be opened, and one whose listing fails part way convert nothing.
ConversionPlan ConvertFolder(FileSystem& fs, const std::string& folder, Direction direction,
                             const std::vector<PassObserver*>& observers = {});

}  // namespace varnex
