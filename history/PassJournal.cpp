#include "PassJournal.h"

#include <charconv>

namespace varnex {

namespace {

constexpr std::string_view kMagic = "varnex-journal 3\n";
constexpr std::string_view kMagicVersion1 = "varnex-journal 1\n";
constexpr std::string_view kMagicVersion2 = "varnex-journal 2\n";
constexpr std::string_view kEnd = "end\n";

void AppendNumber(std::string& text, std::uint64_t number) {
  char digits[24];
  const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
  text.append(digits, result.ptr);
}

void AppendBytes(std::string& text, std::string_view bytes) {
  AppendNumber(text, bytes.size());
  text += ':';
  text.append(bytes);
}

void AppendTime(std::string& text, const std::optional<std::int64_t>& time) {
  text += time ? std::to_string(*time) : std::string("?");
}

// Reads a journal front to back; every step fails once one has failed.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Ok() const { return ok_; }
  bool AtEnd() const { return text_.empty(); }

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

  std::optional<std::int64_t> Time() {
    if (ok_ && text_.starts_with("?")) {
      text_.remove_prefix(1);
      return std::nullopt;
    }
    return Read<std::int64_t>();
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

}  // namespace

std::string EncodeJournal(const PassRecord& pass) {
  std::string text;
  std::size_t size = 160 + pass.folder.size();
  for (const RecordedRename& rename : pass.renames) {
    size += 72 + rename.oldName.size() + rename.newName.size();
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
  AppendTime(text, pass.folderIdentity.birth);
  text += "\nchanged ";
  AppendTime(text, pass.changedAfter);
  text += "\nfrom ";
  AppendBytes(text, pass.fromExtension);
  text += "\nto ";
  AppendBytes(text, pass.toExtension);
  text += "\ntime ";
  text += std::to_string(pass.time);
  text += "\nrenames ";
  AppendNumber(text, pass.renames.size());
  text += '\n';
  for (const RecordedRename& rename : pass.renames) {
    AppendNumber(text, rename.inode);
    text += ' ';
    AppendTime(text, rename.birth);
    text += ' ';
    AppendBytes(text, rename.oldName);
    text += ' ';
    AppendBytes(text, rename.newName);
    text += '\n';
  }
  text += kEnd;
  return text;
}

std::optional<PassRecord> DecodeJournal(std::string_view text) {
  Reader reader(text);
  PassRecord pass;
  int version = 3;
  if (text.starts_with(kMagicVersion1)) {
    version = 1;
    pass.newNamesWereFree = false;
    reader.Literal(kMagicVersion1);
  } else if (text.starts_with(kMagicVersion2)) {
    version = 2;
    reader.Literal(kMagicVersion2);
  } else {
    reader.Literal(kMagic);
  }
  reader.Literal("folder ");
  pass.folder = reader.Bytes();
  reader.Literal("\ndevice ");
  pass.folderIdentity.device = reader.Read<std::uint64_t>();
  reader.Literal("\ninode ");
  pass.folderIdentity.inode = reader.Read<std::uint64_t>();
  const bool withBirths = version >= 2;
  if (withBirths) {
    reader.Literal("\nborn ");
    pass.folderIdentity.birth = reader.Time();
  }
  if (version >= 3) {
    reader.Literal("\nchanged ");
    pass.changedAfter = reader.Time();
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
  // Each rename takes at least ten bytes, which bounds what a damaged count may reserve.
  if (!reader.Ok() || count > text.size() / 10) {
    return std::nullopt;
  }
  pass.renames.reserve(count);
  for (std::uint64_t i = 0; i < count && reader.Ok(); ++i) {
    RecordedRename rename;
    rename.inode = reader.Read<std::uint64_t>();
    reader.Literal(" ");
    if (withBirths) {
      rename.birth = reader.Time();
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
  if (!reader.Ok() || !reader.AtEnd()) {
    return std::nullopt;
  }
  return pass;
}

}  // namespace varnex
