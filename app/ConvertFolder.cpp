#include "ConvertFolder.h"

#include "platform/fs/PathRules.h"

namespace varnex {

namespace {

constexpr std::uint32_t kEveryEntry = 63;

}  // namespace

std::string ConversionBase(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// The names are collected and the search closed before anything is renamed: a directory that
// is read while it changes may return a renamed entry again, or never end.
std::vector<ConversionStep> PlanConversion(FileSystem& fs, const std::string& folder,
                                           const std::string& fromExtension,
                                           const std::string& toExtension) {
  std::vector<ConversionStep> plan;
  if (folder.empty()) {
    return plan;
  }
  const std::string base = ConversionBase(folder);
  const auto search = fs.Find(base + "*." + fromExtension, kEveryEntry);
  while (auto entry = search->Next()) {
    std::string from = base + entry->name;
    std::string to = ReplaceExtension(from, "." + toExtension);
    plan.push_back({std::move(from), std::move(to), {}});
  }
  return plan;
}

void CarryOut(FileSystem& fs, std::vector<ConversionStep>& plan) {
  for (ConversionStep& step : plan) {
    step.error = fs.RenameNoReplace(step.from, step.to);
  }
}

std::vector<ConversionStep> ConvertFolder(FileSystem& fs, const std::string& folder,
                                          const std::string& fromExtension,
                                          const std::string& toExtension) {
  std::vector<ConversionStep> plan = PlanConversion(fs, folder, fromExtension, toExtension);
  CarryOut(fs, plan);
  return plan;
}

}  // namespace varnex
