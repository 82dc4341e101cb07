#include "Undo.h"

#include <algorithm>

#include "conversion/ConvertFolder.h"

namespace varnex {

namespace {

// How the entries of a pass are told from others made since under their names.
struct Recognition {
  // Where inode numbers do not outlast a mount: by size and modification time, which do.
  bool bySizeAndTime = false;
  // By inode number: always where numbers last, and on the others while the folder still has the
  // number it had in the pass, so the volume was not mounted anew since.
  bool byInode = true;
};

Recognition RecognitionFor(ListedFolder& listed, const PassRecord& pass) {
  if (!pass.place) {
    return {};
  }
  return {true, SameEntry(pass.folderIdentity, listed.Identity())};
}

// The entry the pass renamed, not another one made since under its name or its inode number.
bool IsRecorded(const std::optional<EntryState>& entry, const RecordedRename& rename,
                Recognition recognition) {
  if (!entry || !SameBirth(rename.birth, entry->identity.birth)) {
    return false;
  }
  if (recognition.bySizeAndTime &&
      (rename.size != entry->size || rename.modified != entry->modified)) {
    return false;
  }
  return !recognition.byInode || rename.inode == entry->identity.inode;
}

// Both names are the recorded entry. Only a rename the pass was making by link and unlink, cut
// off between the two, leaves that with one name more than the entry had; then the new name is
// the pass's own and goes. Otherwise they are links made by someone, before or since, and stay.
bool IsHalfDone(const PassRecord& pass, std::size_t index, const EntryState& entry) {
  return std::any_of(pass.halfDone.begin(), pass.halfDone.end(), [&](const HalfDoneRename& half) {
    return half.rename == index && entry.links == half.links + 1;
  });
}

// The new name is the recorded entry: it goes back under its old name, through the rename that
// never replaces; the old name is looked at only when that is refused as taken, or in a dry run.
void UndoOne(ListedFolder& listed, const PassRecord& pass, std::size_t index,
             Recognition recognition, bool dryRun, UndoStep& step) {
  const RecordedRename& rename = pass.renames[index];
  const auto atNew = listed.State(rename.newName);
  if (!IsRecorded(atNew, rename, recognition)) {
    step.kept = IsRecorded(listed.State(rename.oldName), rename, recognition)
                    ? KeptBecause::kNotRenamed
                : atNew ? KeptBecause::kOtherEntry
                        : KeptBecause::kGone;
    return;
  }
  if (!dryRun) {
    step.error = listed.Rename(rename.newName, rename.oldName);
    if (step.error != std::errc::file_exists) {
      step.kept = step.error ? KeptBecause::kRefused : KeptBecause::kNone;
      return;
    }
    step.error.clear();
  }
  const auto atOld = listed.State(rename.oldName);
  if (!atOld) {
    // Free in a dry run; taken and gone again meanwhile in a real one.
    step.kept = dryRun ? KeptBecause::kNone : KeptBecause::kOldNameTaken;
  } else if (atOld->identity.inode != atNew->identity.inode) {
    step.kept = KeptBecause::kOldNameTaken;
  } else if (IsHalfDone(pass, index, *atNew)) {
    step.error = dryRun ? std::error_code() : listed.Remove(rename.newName);
    step.kept = step.error ? KeptBecause::kRefused : KeptBecause::kNone;
  } else {
    // A cut-off pass lists every rename it planned, the ones it never got to included.
    step.kept = pass.finished ? KeptBecause::kOldNameTaken : KeptBecause::kNotRenamed;
  }
}

}  // namespace

UndoReport UndoPass(ListedFolder& listed, const std::string& folder, const PassRecord& pass,
                    bool dryRun) {
  UndoReport report;
  report.steps.reserve(pass.renames.size());
  const std::string base = ConversionBase(folder);
  const Recognition recognition = RecognitionFor(listed, pass);
  for (std::size_t i = pass.renames.size(); i-- > 0;) {
    UndoStep& step = report.steps.emplace_back();
    step.newPath = base + pass.renames[i].newName;
    step.oldPath = base + pass.renames[i].oldName;
    UndoOne(listed, pass, i, recognition, dryRun, step);
    ++(step.kept == KeptBecause::kNone ? report.restored : report.kept);
  }
  return report;
}

UndoOutcome UndoNewestPass(FileSystem& fs, History& history, const std::string& folder,
                           bool dryRun) {
  UndoOutcome outcome;
  const auto listed = fs.OpenFolder(folder, outcome.folderError);
  if (!listed) {
    return outcome;
  }
  history.VisitPasses(FolderKey::Of(*listed), outcome.damaged,
                      [&](const std::string& journal, PassRecord& pass) {
                        UndonePass undone{std::move(pass), {}};
                        undone.report = UndoPass(*listed, folder, undone.pass, dryRun);
                        if (!dryRun) {
                          history.Forget(journal);
                        }
                        outcome.undone = std::move(undone);
                        return false;
                      });
  return outcome;
}

FolderPasses PassesIn(FileSystem& fs, History& history, const std::string& folder) {
  FolderPasses found;
  const auto listed = fs.OpenFolder(folder, found.folderError);
  if (listed) {
    history.VisitPasses(FolderKey::Of(*listed), found.damaged,
                        [&found](const std::string&, PassRecord& pass) {
                          found.passes.push_back(std::move(pass));
                          return true;
                        });
  }
  return found;
}

}  // namespace varnex
