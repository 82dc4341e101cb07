#include "PassRecorder.h"

#include "platform/fs/PathRules.h"

namespace varnex {

void PassRecorder::BeforeRenaming(const std::string& folder, const std::string& fromExtension,
                                  const std::string& toExtension, const ConversionPlan& plan) {
  journal_.clear();
  error_.clear();
  pass_ = {};
  planned_.clear();
  if (plan.steps.empty()) {
    return;  // nothing will change, so there is nothing to undo
  }
  const auto identity = history_.Storage().FolderIdentity(folder);
  if (!identity) {
    error_ = std::make_error_code(std::errc::no_such_file_or_directory);
    return;
  }
  pass_.folder = AbsolutePath(folder, fs_.CurrentDirectory());
  pass_.folderIdentity = *identity;
  pass_.fromExtension = fromExtension;
  pass_.toExtension = toExtension;
  pass_.time = history_.Now();
  const std::size_t base = ConversionBase(folder).size();
  pass_.renames.reserve(plan.steps.size());
  planned_.reserve(plan.steps.size());
  // A rename onto a name that exists will be refused, and must never be undone: when the name is a
  // link to the same file, undo would take it for a rename cut off halfway and remove it.
  for (std::size_t i = 0; i < plan.steps.size(); ++i) {
    const ConversionStep& step = plan.steps[i];
    if (!history_.Storage().EntryIdentity(step.to)) {
      const auto entry = history_.Storage().EntryIdentity(step.from);
      pass_.renames.push_back({step.inode, step.from.substr(base), step.to.substr(base),
                               entry && entry->inode == step.inode ? entry->birth : std::nullopt});
      planned_.push_back(i);
    }
  }
  if (pass_.renames.empty()) {
    return;
  }
  if (auto journal = history_.Record(pass_, error_)) {
    journal_ = std::move(*journal);
  }
}

// A rename that was refused must not be undone later: its new name belongs to another entry,
// which may even be a link to the same file.
void PassRecorder::AfterRenaming(const ConversionPlan& plan) {
  if (journal_.empty()) {
    return;
  }
  std::vector<RecordedRename> done;
  for (std::size_t i = 0; i < planned_.size(); ++i) {
    if (planned_[i] < plan.steps.size() && !plan.steps[planned_[i]].error) {
      done.push_back(std::move(pass_.renames[i]));
    }
  }
  if (done.empty()) {
    history_.Forget(journal_);
  } else if (done.size() < pass_.renames.size()) {
    pass_.renames = std::move(done);
    history_.Rewrite(journal_, pass_);
  }
  journal_.clear();
  pass_ = {};
  planned_.clear();
}

}  // namespace varnex
