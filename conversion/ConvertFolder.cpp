#include "ConvertFolder.h"

#include "platform/fs/PathRules.h"

namespace varnex {

std::string ConversionBase(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// The names are collected and the search closed before anything is renamed: a directory that
// is read while it changes may return a renamed entry again, or never end.
ConversionPlan PlanConversion(FileSystem& fs, const std::string& folder,
                              const std::string& fromExtension, const std::string& toExtension) {
  ConversionPlan plan;
  if (folder.empty()) {
    return plan;
  }
  const std::string base = ConversionBase(folder);
  const auto search = fs.Find(base + "*." + fromExtension, kEveryEntry);
  while (auto entry = search->Next()) {
    std::string from = base + entry->name;
    std::string to = ReplaceExtension(from, "." + toExtension);
    plan.steps.push_back({std::move(from), std::move(to), {}, entry->inode});
  }
  plan.folderError = search->Error();
  return plan;
}

void CarryOut(FileSystem& fs, ConversionPlan& plan) {
  for (ConversionStep& step : plan.steps) {
    step.error = fs.RenameNoReplace(step.from, step.to);
  }
}

ConversionPlan ConvertFolder(FileSystem& fs, const std::string& folder,
                             const std::string& fromExtension, const std::string& toExtension,
                             PassObserver* observer) {
  ConversionPlan plan = PlanConversion(fs, folder, fromExtension, toExtension);
  if (observer != nullptr) {
    observer->BeforeRenaming(folder, fromExtension, toExtension, plan);
  }
  CarryOut(fs, plan);
  if (observer != nullptr) {
    observer->AfterRenaming(plan);
  }
  return plan;
}

}  // namespace varnex
