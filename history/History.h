#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "history/PassJournal.h"
#include "platform/fs/JournalStorage.h"

namespace varnex {

// What tells the passes made in a folder from the others: the folder's identity, and on a file
// system that numbers inodes anew at every mount, its place in its volume.
struct FolderKey {
  FileIdentity identity;
  std::optional<VolumePlace> place;

  static FolderKey Of(ListedFolder& folder) { return {folder.Identity(), folder.Place()}; }
};

// Whether a pass was made in that folder: the same place in the same volume, or else the same
// identity, birth time included, so that a new folder given the old one's number is not it.
bool MadeIn(const PassRecord& pass, const FolderKey& folder);

// The journals of past passes, one file each in the state folder. A journal's name holds the
// identity of the folder it renamed in (or a number made of the folder's place in its volume) and
// the time of the pass, so a folder's passes are found, ordered and pruned without reading
// anybody else's.
class History {
 public:
  using Clock = std::function<std::int64_t()>;  // nanoseconds since 1970

  static constexpr std::size_t kPassesKept = 20;  // per folder
  static constexpr std::int64_t kDaysKept = 90;

  // The journals go to storage.StateFolder(), which is asked when the first pass or undo needs
  // it: nothing is asked of the system before.
  explicit History(JournalStorage& storage, Clock clock = SystemClock());
  // The journals go to `folder`; an empty one keeps none.
  History(JournalStorage& storage, std::string folder, Clock clock = SystemClock());

  static Clock SystemClock();
  std::int64_t Now() const { return clock_(); }

  // Writes the journal of a pass, whole and durably, and prunes old ones. The journal's path, or
  // why it could not be written.
  std::optional<std::string> Record(const PassRecord& pass, std::error_code& error);

  // Replaces a journal's content, as durably as Record.
  std::error_code Rewrite(const std::string& journal, const PassRecord& pass);

  // Adds to a journal that a rename by link and unlink is under way; done before the link.
  std::error_code RecordHalfDone(const std::string& journal, const HalfDoneRename& halfDone);

  // The passes made in a folder, newest first, read one at a time: `visit` is given each journal
  // and its pass and says whether to go on. Journals that cannot be read whole within the size of
  // a real journal are skipped and named in `damaged`; the passes before them still come.
  void VisitPasses(const FolderKey& folder, std::vector<std::string>& damaged,
                   const std::function<bool(const std::string& journal, PassRecord& pass)>& visit);

  // The pass a journal records; nullopt when it is gone or damaged, or anything but a regular
  // file of a real journal's size.
  std::optional<PassRecord> Load(const std::string& journal);

  void Forget(const std::string& journal);

 private:
  const std::string& Folder();
  // The journals named after this folder identity, newest first.
  std::vector<std::pair<std::int64_t, std::string>> Named(FileIdentity key);
  void Prune(FileIdentity key);

  JournalStorage& storage_;
  std::optional<std::string> folder_;
  Clock clock_;
};

}  // namespace varnex
