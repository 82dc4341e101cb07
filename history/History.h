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

// The journals of past passes, one file each in the state folder. A journal's name holds the
// identity of the folder it renamed in and the time of the pass, so a folder's passes are found,
// ordered and pruned without reading anybody else's.
class History {
 public:
  using Clock = std::function<std::int64_t()>;  // nanoseconds since 1970

  static constexpr std::size_t kPassesKept = 20;  // per folder
  static constexpr std::int64_t kDaysKept = 90;

  // `folder` is where the journals go, usually storage.StateFolder(); an empty one keeps none.
  History(JournalStorage& storage, std::string folder, Clock clock = SystemClock());

  static Clock SystemClock();
  std::int64_t Now() const { return clock_(); }

  JournalStorage& Storage() const { return storage_; }

  // Writes the journal of a pass, whole and durably, and prunes old ones. The journal's path, or
  // why it could not be written.
  std::optional<std::string> Record(const PassRecord& pass, std::error_code& error);

  // Replaces a journal's content, as durably as Record.
  std::error_code Rewrite(const std::string& journal, const PassRecord& pass);

  // The journals of the passes made in a folder with this device and inode number, newest first.
  // Whether that folder was born when this one was is for the caller to check in each.
  std::vector<std::string> Passes(FileIdentity folder) const;

  // The pass a journal records; nullopt when it is gone or damaged.
  std::optional<PassRecord> Load(const std::string& journal) const;

  void Forget(const std::string& journal);

 private:
  void Prune(FileIdentity folder);

  JournalStorage& storage_;
  std::string folder_;
  Clock clock_;
};

}  // namespace varnex
