#include "Undo.h"

#include "app/ConvertFolder.h"

namespace varnex {

namespace {

// FAT keeps a folder's change time to two seconds, so it may read up to that much before the birth
// of the last entry made in it.
constexpr std::int64_t kChangeTimeStep = 2'000'000'000;

// The entry the pass renamed, not another one that was given its inode number since: that one was
// made after the pass had found the folder.
bool IsRecorded(const FileIdentity& entry, const RecordedRename& rename, const PassRecord& pass) {
  const bool madeSince =
      entry.birth && pass.folderChanged && *entry.birth > *pass.folderChanged + kChangeTimeStep;
  return entry.inode == rename.inode && !madeSince;
}

KeptBecause WhyNotThere(JournalStorage& storage, const UndoStep& step, const RecordedRename& rename,
                        const PassRecord& pass, const std::optional<FileIdentity>& atNew) {
  if (atNew) {
    return KeptBecause::kOtherEntry;
  }
  const auto atOld = storage.EntryIdentity(step.oldPath);
  return atOld && IsRecorded(*atOld, rename, pass) ? KeptBecause::kNotRenamed : KeptBecause::kGone;
}

// The new name is the recorded entry; puts it back under its old name unless that is taken.
// Both names on the entry mean a rename cut off halfway only when the new name was free before
// the pass; otherwise they are links that were there all along, and both stay.
void Restore(FileSystem& fs, JournalStorage& storage, FileIdentity atNew, bool mayBeCutOff,
             bool dryRun, UndoStep& step) {
  if (dryRun) {
    if (const auto atOld = storage.EntryIdentity(step.oldPath);
        atOld && (*atOld != atNew || !mayBeCutOff)) {
      step.kept = KeptBecause::kOldNameTaken;
    }
    return;
  }
  step.error = fs.RenameNoReplace(step.newPath, step.oldPath);
  if (step.error != std::errc::file_exists) {
    step.kept = step.error ? KeptBecause::kRefused : KeptBecause::kNone;
    return;
  }
  // Both names on the same entry: a link was made and the old name never unlinked.
  if (mayBeCutOff && storage.EntryIdentity(step.oldPath) == atNew) {
    step.error = storage.Remove(step.newPath);
    step.kept = step.error ? KeptBecause::kRefused : KeptBecause::kNone;
    return;
  }
  step.error.clear();
  step.kept = KeptBecause::kOldNameTaken;
}

}  // namespace

UndoReport UndoPass(FileSystem& fs, JournalStorage& storage, const std::string& folder,
                    const PassRecord& pass, bool dryRun) {
  UndoReport report;
  report.steps.reserve(pass.renames.size());
  const std::string base = ConversionBase(folder);
  for (auto rename = pass.renames.rbegin(); rename != pass.renames.rend(); ++rename) {
    UndoStep& step = report.steps.emplace_back();
    step.newPath = base + rename->newName;
    step.oldPath = base + rename->oldName;
    const auto atNew = storage.EntryIdentity(step.newPath);
    if (atNew && IsRecorded(*atNew, *rename, pass)) {
      Restore(fs, storage, *atNew, pass.newNamesWereFree, dryRun, step);
    } else {
      step.kept = WhyNotThere(storage, step, *rename, pass, atNew);
    }
    ++(step.kept == KeptBecause::kNone ? report.restored : report.kept);
  }
  return report;
}

std::optional<UndonePass> UndoNewestPass(FileSystem& fs, History& history,
                                         const std::string& folder, bool dryRun) {
  const auto identity = history.Storage().FolderIdentity(folder);
  if (!identity) {
    return std::nullopt;
  }
  for (const std::string& journal : history.Passes(*identity)) {
    auto pass = history.Load(journal);
    if (!pass) {
      continue;  // damaged: the pass before it can still be undone
    }
    if (!SameEntry(pass->folderIdentity, *identity)) {
      continue;  // made in a folder that is gone, whose inode number this one was given
    }
    UndonePass undone{std::move(*pass), {}};
    undone.report = UndoPass(fs, history.Storage(), folder, undone.pass, dryRun);
    if (!dryRun) {
      history.Forget(journal);
    }
    return undone;
  }
  return std::nullopt;
}

}  // namespace varnex
