#include "History.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <random>

namespace varnex {

namespace {

constexpr std::string_view kJournalEnding = ".journal";
constexpr std::string_view kPartEnding = ".journal.part";  // a journal being written, or never
constexpr std::int64_t kNanosecondsPerDay = 86'400'000'000'000;

struct JournalName {
  FileIdentity folder;
  std::int64_t time = 0;
  bool whole = false;  // false for a temporary file of a writer
};

// "<device>-<inode>-<time>-<random>.journal", every number in decimal but the random part.
std::string MakeName(FileIdentity folder, std::int64_t time) {
  std::random_device random;
  char name[96];
  std::snprintf(name, sizeof name, "%llu-%llu-%019lld-%08x.journal",
                static_cast<unsigned long long>(folder.device),
                static_cast<unsigned long long>(folder.inode), static_cast<long long>(time),
                static_cast<unsigned>(random()));
  return name;
}

template <typename Number>
bool ReadNumber(std::string_view& text, Number& number) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  if (result.ec != std::errc() || result.ptr == text.data() ||
      result.ptr == text.data() + text.size() || *result.ptr != '-') {
    return false;
  }
  text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()) + 1);
  return true;
}

std::optional<JournalName> ParseName(std::string_view name) {
  JournalName parsed;
  if (name.ends_with(kPartEnding)) {
    name.remove_suffix(kPartEnding.size());
  } else if (name.ends_with(kJournalEnding)) {
    name.remove_suffix(kJournalEnding.size());
    parsed.whole = true;
  } else {
    return std::nullopt;
  }
  if (!ReadNumber(name, parsed.folder.device) || !ReadNumber(name, parsed.folder.inode) ||
      !ReadNumber(name, parsed.time) || name.size() != 8 ||
      name.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
    return std::nullopt;
  }
  return parsed;
}

}  // namespace

History::History(JournalStorage& storage, std::string folder, Clock clock)
    : storage_(storage), folder_(std::move(folder)), clock_(std::move(clock)) {}

History::Clock History::SystemClock() {
  return [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
}

std::optional<std::string> History::Record(const PassRecord& pass, std::error_code& error) {
  if (folder_.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return std::nullopt;
  }
  error = storage_.MakePrivateFolder(folder_);
  if (error) {
    return std::nullopt;
  }
  const std::string path = folder_ + "/" + MakeName(pass.folderIdentity, pass.time);
  error = storage_.WriteDurably(path, EncodeJournal(pass));
  if (error) {
    return std::nullopt;
  }
  Prune(pass.folderIdentity);
  return path;
}

std::error_code History::Rewrite(const std::string& journal, const PassRecord& pass) {
  return storage_.WriteDurably(journal, EncodeJournal(pass));
}

std::vector<std::string> History::Passes(FileIdentity folder) const {
  folder.birth.reset();  // journal names hold the numbers alone
  std::vector<std::pair<std::int64_t, std::string>> found;
  if (folder_.empty()) {
    return {};
  }
  for (const std::string& name : storage_.Names(folder_)) {
    const auto parsed = ParseName(name);
    if (parsed && parsed->whole && parsed->folder == folder) {
      found.emplace_back(parsed->time, name);
    }
  }
  std::sort(found.begin(), found.end(), std::greater<>());
  std::vector<std::string> journals;
  for (const auto& [time, name] : found) {
    journals.push_back(folder_ + "/" + name);
  }
  return journals;
}

std::optional<PassRecord> History::Load(const std::string& journal) const {
  const auto text = storage_.Read(journal);
  return text ? DecodeJournal(*text) : std::nullopt;
}

void History::Forget(const std::string& journal) {
  storage_.Remove(journal);
}

// Old journals go, of every folder; of this folder only the newest few stay. A temporary file
// older than a day belongs to a writer that died.
void History::Prune(FileIdentity folder) {
  folder.birth.reset();  // journal names hold the numbers alone
  const std::int64_t now = Now();
  std::vector<std::pair<std::int64_t, std::string>> ofFolder;
  for (const std::string& name : storage_.Names(folder_)) {
    const auto parsed = ParseName(name);
    if (!parsed) {
      continue;
    }
    const std::int64_t age = now - parsed->time;
    if (!parsed->whole) {
      if (age > kNanosecondsPerDay) {
        storage_.Remove(folder_ + "/" + name);
      }
    } else if (age > kDaysKept * kNanosecondsPerDay) {
      storage_.Remove(folder_ + "/" + name);
    } else if (parsed->folder == folder) {
      ofFolder.emplace_back(parsed->time, name);
    }
  }
  if (ofFolder.size() <= kPassesKept) {
    return;
  }
  std::sort(ofFolder.begin(), ofFolder.end(), std::greater<>());
  for (std::size_t i = kPassesKept; i < ofFolder.size(); ++i) {
    storage_.Remove(folder_ + "/" + ofFolder[i].second);
  }
}

}  // namespace varnex
