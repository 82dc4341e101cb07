#include "Undo.h"

#include <algorithm>

#include "conversion/ConvertFolder.h"

namespace varnex {

namespace {

// The entry the pass renamed, not another one that was given its inode number since.
bool IsRecorded(const FileIdentity& entry, const RecordedRename& rename) {
  return entry.inode == rename.inode && SameBirth(rename.birth, entry.birth);
}

KeptBecause WhyNotThere(JournalStorage& storage, const UndoStep& step, const RecordedRename& rename,
                        const std::optional<FileIdentity>& atNew) {
  if (atNew) {
    return KeptBecause::kOtherEntry;
  }
  const auto atOld = storage.EntryIdentity(step.oldPath);
  return atOld && IsRecorded(*atOld, rename) ? KeptBecause::kNotRenamed : KeptBecause::kGone;
}

// The new name is the recorded entry; puts it back under its old name unless that is taken.
// Both names on the entry mean a rename cut off halfway only when the new name was free before
// the pass; otherwise they are links that were there all along, and both stay.
void Restore(FileSystem& fs, JournalStorage& storage, std::uint64_t inode, bool mayBeCutOff,
             bool dryRun, UndoStep& step) {
  if (dryRun) {
    if (const auto atOld = storage.EntryIdentity(step.oldPath);
        atOld && (atOld->inode != inode || !mayBeCutOff)) {
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
  if (const auto atOld = storage.EntryIdentity(step.oldPath);
      mayBeCutOff && atOld && atOld->inode == inode) {
    step.error = storage.Remove(step.newPath);
    step.kept = step.error ? KeptBecause::kRefused : KeptBecause::kNone;
    return;
  }
  step.error.clear();
  step.kept = KeptBecause::kOldNameTaken;
}

// For each rename of the pass, whether one listing of the folder shows its entry at its new name.
// All are looked up before the first rename back: between renames, the kernel's work would have
// pushed the listing out of the processor's caches.
std::vector<bool> ListedAtNewNames(FileSystem& fs, const std::string& base,
                                   const PassRecord& pass) {
  std::vector<std::pair<std::uint64_t, std::string>> listed;
  const auto search = fs.Find(base + "*." + pass.toExtension, kEveryEntry);
  while (auto entry = search->Next()) {
    listed.emplace_back(entry->inode, std::move(entry->name));
  }
  using Entry = std::pair<std::uint64_t, std::string_view>;  // inode number and name
  const auto before = [](const auto& a, const auto& b) {
    return Entry(a.first, a.second) < Entry(b.first, b.second);
  };
  std::sort(listed.begin(), listed.end(), before);
  std::vector<bool> atNewNames;
  atNewNames.reserve(pass.renames.size());
  for (const RecordedRename& rename : pass.renames) {
    atNewNames.push_back(std::binary_search(listed.begin(), listed.end(),
                                            Entry(rename.inode, rename.newName), before));
  }
  return atNewNames;
}

}  // namespace

UndoReport UndoPass(FileSystem& fs, JournalStorage& storage, const std::string& folder,
                    const PassRecord& pass, bool dryRun) {
  UndoReport report;
  report.steps.reserve(pass.renames.size());
  const std::string base = ConversionBase(folder);
  // While the folder's change time is the one the pass left, nothing in it was made since, and one
  // listing tells what is at each new name; otherwise each entry is asked, with its birth time.
  std::vector<bool> listed;
  if (pass.changedAfter && storage.ChangeTime(folder) == pass.changedAfter) {
    listed = ListedAtNewNames(fs, base, pass);
  }
  for (std::size_t i = pass.renames.size(); i-- > 0;) {
    const RecordedRename& rename = pass.renames[i];
    UndoStep& step = report.steps.emplace_back();
    step.newPath = base + rename.newName;
    step.oldPath = base + rename.oldName;
    const auto atNew = !listed.empty() && listed[i]
                           ? FileIdentity{pass.folderIdentity.device, rename.inode, {}}
                           : storage.EntryIdentity(step.newPath);
    if (atNew && IsRecorded(*atNew, rename)) {
      Restore(fs, storage, rename.inode, pass.newNamesWereFree, dryRun, step);
    } else {
      step.kept = WhyNotThere(storage, step, rename, atNew);
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
