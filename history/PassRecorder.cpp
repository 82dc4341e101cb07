#include "PassRecorder.h"

namespace varnex {

// Every rename planned goes in, whatever may refuse it: a name taken now may be free by the time
// the pass gets to it, and a later twin may get the name when the first one is refused. Each
// entry is recorded as it is now, with its birth time where the file system keeps one, so that
// undo tells it from an entry made later under its inode number; on a file system that numbers
// inodes anew at every mount, with its size and modification time too.
void PassRecorder::Planned(ListedFolder& folder, const ConversionPlan& plan) {
  journal_.clear();
  pass_ = {};
  pass_.folder = folder.Path();
  pass_.folderIdentity = folder.Identity();
  pass_.place = folder.Place();
  pass_.fromExtension = plan.direction.from;
  pass_.toExtension = plan.direction.to;
  pass_.time = history_.Now();
  pass_.renames.reserve(plan.steps.size());
  for (const ConversionStep& step : plan.steps) {
    RecordedRename& rename = pass_.renames.emplace_back();
    rename.oldName = step.oldName;
    rename.newName = step.newName;
    if (const auto entry = folder.State(step.oldName)) {
      rename.inode = entry->identity.inode;
      rename.birth = entry->identity.birth;
      if (pass_.place) {
        rename.size = entry->size;
        rename.modified = entry->modified;
      }
    }
  }
  if (auto journal = history_.Record(pass_, error_)) {
    journal_ = std::move(*journal);
  }
}

// Killed between the link and the unlink, the pass leaves the entry under both names; this line
// is what lets undo remove the new one, and only while the entry has exactly the one name more.
void PassRecorder::BeforeLinking(std::size_t step, std::uint64_t links) {
  if (!journal_.empty()) {
    history_.RecordHalfDone(journal_, {step, links});
  }
}

void PassRecorder::Finished(const ConversionPlan& plan) {
  if (journal_.empty()) {
    return;
  }
  std::vector<RecordedRename> done;
  for (std::size_t i = 0; i < plan.steps.size(); ++i) {
    if (!plan.steps[i].error) {
      done.push_back(std::move(pass_.renames[i]));
    }
  }
  if (done.empty()) {
    history_.Forget(journal_);
  } else {
    pass_.renames = std::move(done);
    pass_.finished = true;
    history_.Rewrite(journal_, pass_);
  }
  journal_.clear();
  pass_ = {};
}

}  // namespace varnex
