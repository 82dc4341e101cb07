#include "PassRecorder.h"

#include <algorithm>
#include <unordered_set>

#include "platform/fs/CaseFold.h"
#include "platform/fs/PathRules.h"

namespace varnex {

namespace {

// The names in a folder that a new name may clash with: those with the new extension, letter case
// ignored, as the file system may ignore it too. One listing, so that only a new name that may be
// taken costs a lookup.
class TakenNames {
 public:
  TakenNames(FileSystem& fs, const std::string& base, const std::string& extension) {
    const auto search = fs.Find(base + "*." + extension, kEveryEntry);
    while (const auto entry = search->Next()) {
      keys_.insert(CaseFoldedKey(entry->name));
    }
    complete_ = !search->Error();
  }

  bool MayHold(std::string_view name) const {
    return !complete_ || (!keys_.empty() && keys_.contains(CaseFoldedKey(name)));
  }

 private:
  std::unordered_set<std::string> keys_;
  bool complete_ = false;
};

// For each step, whether an earlier step of the plan has the same new name: their old names differ
// only in the letter case of the extension, and only the first rename can take the name. Empty
// when every old name spells the extension alike, as then no two new names are.
std::vector<bool> LaterTwins(const ConversionPlan& plan, const std::string& ending) {
  std::vector<bool> twins;
  if (std::all_of(plan.steps.begin(), plan.steps.end(),
                  [&](const ConversionStep& step) { return step.from.ends_with(ending); })) {
    return twins;
  }
  std::unordered_set<std::string_view> newNames;
  twins.reserve(plan.steps.size());
  for (const ConversionStep& step : plan.steps) {
    twins.push_back(!newNames.insert(step.to).second);
  }
  return twins;
}

}  // namespace

void PassRecorder::BeforeRenaming(const std::string& folder, const std::string& fromExtension,
                                  const std::string& toExtension, const ConversionPlan& plan) {
  journal_.clear();
  error_.clear();
  pass_ = {};
  planned_.clear();
  if (plan.steps.empty()) {
    return;  // nothing will change, so there is nothing to undo
  }
  JournalStorage& storage = history_.Storage();
  const auto identity = storage.FolderIdentity(folder);
  if (!identity) {
    error_ = std::make_error_code(std::errc::no_such_file_or_directory);
    return;
  }
  pass_.folder = AbsolutePath(folder, fs_.CurrentDirectory());
  pass_.folderIdentity = *identity;
  pass_.fromExtension = fromExtension;
  pass_.toExtension = toExtension;
  pass_.time = history_.Now();
  const std::string base = ConversionBase(folder);
  const TakenNames taken(fs_, base, toExtension);
  const std::vector<bool> twins = LaterTwins(plan, "." + fromExtension);
  pass_.renames.reserve(plan.steps.size());
  planned_.reserve(plan.steps.size());
  // A rename onto a name that exists, or that an earlier rename takes, will be refused, and must
  // never be undone: when the name is a link to the same file, undo would take it for a rename cut
  // off halfway and remove it.
  for (std::size_t i = 0; i < plan.steps.size(); ++i) {
    const ConversionStep& step = plan.steps[i];
    std::string newName = step.to.substr(base.size());
    if ((twins.empty() || !twins[i]) &&
        (!taken.MayHold(newName) || !storage.EntryIdentity(step.to))) {
      pass_.renames.push_back(
          {step.inode, step.from.substr(base.size()), std::move(newName), std::nullopt});
      planned_.push_back(i);
    }
  }
  if (pass_.renames.empty()) {
    return;
  }
  RecordBirths(folder);
  if (auto journal = history_.Record(pass_, error_)) {
    journal_ = std::move(*journal);
  }
}

// Each entry's birth time, where the file system keeps one, so that undo tells it from an entry
// made later under its inode number, whatever the clocks say.
void PassRecorder::RecordBirths(const std::string& folder) {
  std::vector<std::string_view> names;
  names.reserve(pass_.renames.size());
  for (const RecordedRename& rename : pass_.renames) {
    names.push_back(rename.oldName);
  }
  const auto entries = history_.Storage().EntryIdentities(folder, names);
  for (std::size_t i = 0; i < pass_.renames.size(); ++i) {
    if (entries[i] && entries[i]->inode == pass_.renames[i].inode) {
      pass_.renames[i].birth = entries[i]->birth;
    }
  }
}

// A rename that was refused must not be undone later: its new name belongs to another entry,
// which may even be a link to the same file. The folder's change time as the pass left it lets
// undo skip asking each entry whether it was made since.
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
  } else {
    pass_.renames = std::move(done);
    pass_.changedAfter = history_.Storage().ChangeTime(pass_.folder);
    history_.Rewrite(journal_, pass_);
  }
  journal_.clear();
  pass_ = {};
  planned_.clear();
}

}  // namespace varnex
