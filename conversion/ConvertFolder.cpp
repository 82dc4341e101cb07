#include "ConvertFolder.h"

#include <algorithm>
#include <iterator>

#include "platform/fs/PathRules.h"

namespace varnex {

namespace {

// Opens the folder and lists it into the plan. The names are collected before anything is
// renamed: a directory that is read while it changes may return a renamed entry again, or never
// end.
std::unique_ptr<ListedFolder> OpenAndList(FileSystem& fs, const std::string& folder,
                                          ConversionPlan& plan) {
  plan.base = ConversionBase(folder);
  if (folder.empty()) {
    plan.folderError = std::make_error_code(std::errc::no_such_file_or_directory);
    return nullptr;
  }
  auto listed = fs.OpenFolder(folder, plan.folderError);
  if (!listed) {
    return nullptr;
  }
  const std::string pattern = std::string("*.").append(plan.direction.from);
  const std::string newExtension = std::string(".").append(plan.direction.to);
  plan.folderError = listed->List(pattern, [&plan, &newExtension](std::string_view name) {
    std::string oldName(name);
    std::string newName = ReplaceExtension(oldName, newExtension);
    plan.steps.push_back({std::move(oldName), std::move(newName), {}});
  });
  return listed;
}

}  // namespace

std::string ConversionBase(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

ConversionPlan PlanConversion(FileSystem& fs, const std::string& folder, Direction direction) {
  ConversionPlan plan;
  plan.direction = direction;
  OpenAndList(fs, folder, plan);
  return plan;
}

ConversionPlan ConvertFolder(FileSystem& fs, const std::string& folder, Direction direction,
                             const std::vector<PassObserver*>& observers) {
  std::vector<PassObserver*> present;  // the observers given, without the null ones
  std::copy_if(observers.begin(), observers.end(), std::back_inserter(present),
               [](const PassObserver* observer) { return observer != nullptr; });
  ConversionPlan plan;
  plan.direction = direction;
  const auto listed = OpenAndList(fs, folder, plan);
  // What could not be read whole is left as it is: the disk or the share may be failing.
  if (!listed || plan.folderError || plan.steps.empty()) {
    return plan;
  }
  for (PassObserver* observer : present) {
    observer->Planned(*listed, plan);
  }
  std::size_t current = 0;
  const BeforeLinking tellObservers = [&present, &current](std::uint64_t links) {
    for (PassObserver* observer : present) {
      observer->BeforeLinking(current, links);
    }
  };
  // Without anyone to tell, a rename by link and unlink need not count the entry's names first.
  const BeforeLinking nobody;
  const BeforeLinking& beforeLinking = present.empty() ? nobody : tellObservers;
  for (; current < plan.steps.size(); ++current) {
    ConversionStep& step = plan.steps[current];
    step.error = listed->Rename(step.oldName, step.newName, beforeLinking);
    for (PassObserver* observer : present) {
      observer->Renamed(plan, current);
    }
  }
  for (PassObserver* observer : present) {
    observer->Finished(plan);
  }
  return plan;
}

}  // namespace varnex
