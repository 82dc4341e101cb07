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

// The number that stands for a folder's place in its volume where a journal's name holds a folder
// identity: FNV-1a of the volume and the path, on device 0, which no mounted file system has.
FileIdentity PlaceKey(const VolumePlace& place) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::string_view part :
       {std::string_view(place.volume), std::string_view("\n"), std::string_view(place.path)}) {
    for (const char byte : part) {
      hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
  }
  return {0, hash, {}};
}

// The identity a journal of this pass is named after.
FileIdentity NameKey(const PassRecord& pass) {
  return pass.place ? PlaceKey(*pass.place)
                    : FileIdentity{pass.folderIdentity.device, pass.folderIdentity.inode, {}};
}

bool SameNumbers(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// Bytes enough for the head of any journal; a smaller one is read whole at once.
constexpr std::size_t kHeadBytes = 16384;

}  // namespace

bool MadeIn(const PassRecord& pass, const FolderKey& folder) {
  if (pass.place) {
    return folder.place == pass.place;
  }
  return SameEntry(pass.folderIdentity, folder.identity);
}

History::History(JournalStorage& storage, Clock clock)
    : storage_(storage), clock_(std::move(clock)) {}

History::History(JournalStorage& storage, std::string folder, Clock clock)
    : storage_(storage), folder_(std::move(folder)), clock_(std::move(clock)) {}

History::Clock History::SystemClock() {
  return [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
}

const std::string& History::Folder() {
  if (!folder_) {
    folder_ = storage_.StateFolder();
  }
  return *folder_;
}

std::optional<std::string> History::Record(const PassRecord& pass, std::error_code& error) {
  if (Folder().empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return std::nullopt;
  }
  error = storage_.MakePrivateFolder(Folder());
  if (error) {
    return std::nullopt;
  }
  const FileIdentity key = NameKey(pass);
  const std::string path = Folder() + "/" + MakeName(key, pass.time);
  error = storage_.WriteDurably(path, EncodeJournal(pass));
  if (error) {
    return std::nullopt;
  }
  Prune(key);
  return path;
}

std::error_code History::Rewrite(const std::string& journal, const PassRecord& pass) {
  return storage_.WriteDurably(journal, EncodeJournal(pass));
}

std::error_code History::RecordHalfDone(const std::string& journal,
                                        const HalfDoneRename& halfDone) {
  return storage_.Append(journal, EncodeHalfDone(halfDone));
}

std::vector<std::pair<std::int64_t, std::string>> History::Named(FileIdentity key) {
  std::vector<std::pair<std::int64_t, std::string>> found;
  if (Folder().empty()) {
    return found;
  }
  for (const std::string& name : storage_.Names(Folder())) {
    const auto parsed = ParseName(name);
    if (parsed && parsed->whole && SameNumbers(parsed->folder, key)) {
      found.emplace_back(parsed->time, Folder() + "/" + name);
    }
  }
  return found;
}

void History::VisitPasses(
    const FolderKey& folder, std::vector<std::string>& damaged,
    const std::function<bool(const std::string& journal, PassRecord& pass)>& visit) {
  auto journals = Named(folder.identity);
  if (folder.place) {
    auto byPlace = Named(PlaceKey(*folder.place));
    journals.insert(journals.end(), byPlace.begin(), byPlace.end());
  }
  std::sort(journals.begin(), journals.end(), std::greater<>());
  for (const auto& [time, journal] : journals) {
    auto pass = Load(journal);
    if (!pass) {
      damaged.push_back(journal);
    } else if (MadeIn(*pass, folder) && !visit(journal, *pass)) {
      return;
    }
  }
}

// Read in two steps where it is large: its head says how large it can be, so that nothing larger
// (a huge or sparse file under its name) is ever read whole.
std::optional<PassRecord> History::Load(const std::string& journal) {
  std::uint64_t size = 0;
  auto text = storage_.Read(journal, kHeadBytes, size);
  if (text && size > text->size()) {
    const auto limit = JournalSizeLimit(*text);
    text = limit ? storage_.Read(journal, *limit, size) : std::nullopt;
  }
  if (!text || size != text->size()) {
    return std::nullopt;
  }
  return DecodeJournal(*text);
}

void History::Forget(const std::string& journal) {
  storage_.Remove(journal);
}

// Old journals go, of every folder; of this folder only the newest few stay. A temporary file
// older than a day belongs to a writer that died.
void History::Prune(FileIdentity key) {
  const std::int64_t now = Now();
  std::vector<std::pair<std::int64_t, std::string>> ofFolder;
  for (const std::string& name : storage_.Names(Folder())) {
    const auto parsed = ParseName(name);
    if (!parsed) {
      continue;
    }
    const std::int64_t age = now - parsed->time;
    if (!parsed->whole) {
      if (age > kNanosecondsPerDay) {
        storage_.Remove(Folder() + "/" + name);
      }
    } else if (age > kDaysKept * kNanosecondsPerDay) {
      storage_.Remove(Folder() + "/" + name);
    } else if (SameNumbers(parsed->folder, key)) {
      ofFolder.emplace_back(parsed->time, name);
    }
  }
  if (ofFolder.size() <= kPassesKept) {
    return;
  }
  std::sort(ofFolder.begin(), ofFolder.end(), std::greater<>());
  for (std::size_t i = kPassesKept; i < ofFolder.size(); ++i) {
    storage_.Remove(Folder() + "/" + ofFolder[i].second);
  }
}

}  // namespace varnex
