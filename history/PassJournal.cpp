#include "PassJournal.h"

#include <charconv>
#include <limits>

namespace varnex {

namespace {

constexpr std::string_view kMagic = "varnex-journal 4\n";
// The first version had no times, the second no change time of the folder, the third no place
// in a volume and no half-done renames.
constexpr std::string_view kOlderMagics[] = {"varnex-journal 1\n", "varnex-journal 2\n",
                                             "varnex-journal 3\n"};
constexpr std::string_view kEnd = "end\n";
// Four numbers, two names of at most 255 bytes with their lengths, and the line that may say the
// rename was half done, with room to spare.
constexpr std::size_t kMostBytesPerRename = 700;

template <typename Number>
void AppendNumber(std::string& text, Number number) {
  char digits[24];
  const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
  text.append(digits, result.ptr);
}

void AppendBytes(std::string& text, std::string_view bytes) {
  AppendNumber(text, bytes.size());
  text += ':';
  text.append(bytes);
}

template <typename Number>
void AppendKnown(std::string& text, const std::optional<Number>& number) {
  if (number) {
    AppendNumber(text, *number);
  } else {
    text += '?';
  }
}

// Reads a journal front to back; every step fails once one has failed.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Ok() const { return ok_; }
  bool AtEnd() const { return text_.empty(); }
  std::size_t Remaining() const { return text_.size(); }

  void Literal(std::string_view expected) {
    if (ok_ && text_.starts_with(expected)) {
      text_.remove_prefix(expected.size());
    } else {
      ok_ = false;
    }
  }

  template <typename Number>
  Number Read() {
    Number number{};
    if (!ok_) {
      return number;
    }
    const auto result = std::from_chars(text_.data(), text_.data() + text_.size(), number);
    if (result.ec != std::errc() || result.ptr == text_.data()) {
      ok_ = false;
      return number;
    }
    text_.remove_prefix(static_cast<std::size_t>(result.ptr - text_.data()));
    return number;
  }

  template <typename Number>
  std::optional<Number> Known() {
    if (ok_ && text_.starts_with("?")) {
      text_.remove_prefix(1);
      return std::nullopt;
    }
    return Read<Number>();
  }

  std::string Bytes() {
    const auto length = Read<std::uint64_t>();
    Literal(":");
    if (!ok_ || length > text_.size()) {
      ok_ = false;
      return {};
    }
    std::string bytes(text_.substr(0, length));
    text_.remove_prefix(length);
    return bytes;
  }

 private:
  std::string_view text_;
  bool ok_ = true;
};

bool IsName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// Reads everything before the renames; their number, or nullopt when this is no journal's head.
std::optional<std::uint64_t> ReadHead(Reader& reader, std::string_view text, PassRecord& pass,
                                      int& version) {
  version = 4;
  for (int older = 1; older < 4; ++older) {
    if (text.starts_with(kOlderMagics[older - 1])) {
      version = older;
    }
  }
  reader.Literal(version < 4 ? kOlderMagics[version - 1] : kMagic);
  reader.Literal("folder ");
  pass.folder = reader.Bytes();
  reader.Literal("\ndevice ");
  pass.folderIdentity.device = reader.Read<std::uint64_t>();
  reader.Literal("\ninode ");
  pass.folderIdentity.inode = reader.Read<std::uint64_t>();
  if (version >= 2) {
    reader.Literal("\nborn ");
    pass.folderIdentity.birth = reader.Known<std::int64_t>();
  }
  if (version == 3) {
    // The folder's change time, known only once the pass was over.
    reader.Literal("\nchanged ");
    pass.finished = reader.Known<std::int64_t>().has_value();
  }
  if (version >= 4) {
    reader.Literal("\nvolume ");
    std::string volume = reader.Bytes();
    reader.Literal("\nplace ");
    std::string place = reader.Bytes();
    if (!volume.empty()) {
      pass.place = VolumePlace{std::move(volume), std::move(place)};
    }
    reader.Literal("\nfinished ");
    pass.finished = reader.Read<int>() == 1;
  }
  reader.Literal("\nfrom ");
  pass.fromExtension = reader.Bytes();
  reader.Literal("\nto ");
  pass.toExtension = reader.Bytes();
  reader.Literal("\ntime ");
  pass.time = reader.Read<std::int64_t>();
  reader.Literal("\nrenames ");
  const auto count = reader.Read<std::uint64_t>();
  reader.Literal("\n");
  return reader.Ok() ? std::optional(count) : std::nullopt;
}

}  // namespace

std::string EncodeJournal(const PassRecord& pass) {
  std::string text;
  std::size_t size = 200 + pass.folder.size();
  for (const RecordedRename& rename : pass.renames) {
    size += 80 + rename.oldName.size() + rename.newName.size();
  }
  text.reserve(size);
  text += kMagic;
  text += "folder ";
  AppendBytes(text, pass.folder);
  text += "\ndevice ";
  AppendNumber(text, pass.folderIdentity.device);
  text += "\ninode ";
  AppendNumber(text, pass.folderIdentity.inode);
  text += "\nborn ";
  AppendKnown(text, pass.folderIdentity.birth);
  text += "\nvolume ";
  AppendBytes(text, pass.place ? pass.place->volume : std::string());
  text += "\nplace ";
  AppendBytes(text, pass.place ? pass.place->path : std::string());
  text += pass.finished ? "\nfinished 1" : "\nfinished 0";
  text += "\nfrom ";
  AppendBytes(text, pass.fromExtension);
  text += "\nto ";
  AppendBytes(text, pass.toExtension);
  text += "\ntime ";
  AppendNumber(text, pass.time);
  text += "\nrenames ";
  AppendNumber(text, pass.renames.size());
  text += '\n';
  for (const RecordedRename& rename : pass.renames) {
    AppendNumber(text, rename.inode);
    text += ' ';
    AppendKnown(text, rename.birth);
    text += ' ';
    AppendKnown(text, rename.size);
    text += ' ';
    AppendKnown(text, rename.modified);
    text += ' ';
    AppendBytes(text, rename.oldName);
    text += ' ';
    AppendBytes(text, rename.newName);
    text += '\n';
  }
  text += kEnd;
  for (const HalfDoneRename& halfDone : pass.halfDone) {
    text += EncodeHalfDone(halfDone);
  }
  return text;
}

std::string EncodeHalfDone(const HalfDoneRename& halfDone) {
  std::string line = "half ";
  AppendNumber(line, halfDone.rename);
  line += ' ';
  AppendNumber(line, halfDone.links);
  line += '\n';
  return line;
}

std::optional<PassRecord> DecodeJournal(std::string_view text) {
  Reader reader(text);
  PassRecord pass;
  int version = 0;
  const auto count = ReadHead(reader, text, pass, version);
  // Each rename takes at least ten bytes, which bounds what a damaged count may reserve.
  if (!count || *count > text.size() / 10) {
    return std::nullopt;
  }
  pass.renames.reserve(*count);
  for (std::uint64_t i = 0; i < *count && reader.Ok(); ++i) {
    RecordedRename rename;
    rename.inode = reader.Read<std::uint64_t>();
    reader.Literal(" ");
    if (version >= 2) {
      rename.birth = reader.Known<std::int64_t>();
      reader.Literal(" ");
    }
    if (version >= 4) {
      rename.size = reader.Known<std::uint64_t>();
      reader.Literal(" ");
      rename.modified = reader.Known<std::int64_t>();
      reader.Literal(" ");
    }
    rename.oldName = reader.Bytes();
    reader.Literal(" ");
    rename.newName = reader.Bytes();
    reader.Literal("\n");
    if (!IsName(rename.oldName) || !IsName(rename.newName)) {
      return std::nullopt;
    }
    pass.renames.push_back(std::move(rename));
  }
  reader.Literal(kEnd);
  while (version >= 4 && reader.Ok() && !reader.AtEnd()) {
    HalfDoneRename halfDone;
    reader.Literal("half ");
    halfDone.rename = reader.Read<std::size_t>();
    reader.Literal(" ");
    halfDone.links = reader.Read<std::uint64_t>();
    reader.Literal("\n");
    if (halfDone.rename >= pass.renames.size()) {
      return std::nullopt;
    }
    pass.halfDone.push_back(halfDone);
  }
  if (!reader.Ok() || !reader.AtEnd()) {
    return std::nullopt;
  }
  return pass;
}

std::optional<std::size_t> JournalSizeLimit(std::string_view head) {
  Reader reader(head);
  PassRecord pass;
  int version = 0;
  const auto count = ReadHead(reader, head, pass, version);
  const std::size_t headLength = head.size() - reader.Remaining();
  constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max() / 2;
  if (!count || *count > kMost / kMostBytesPerRename) {
    return std::nullopt;
  }
  return headLength + *count * kMostBytesPerRename + kEnd.size();
}

}  // namespace varnex
