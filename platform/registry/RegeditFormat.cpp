#include "RegeditFormat.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/Utf8.h"
#include "platform/fs/CaseFold.h"

namespace varnex {

namespace {

using Kind = RegeditLine::Kind;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

struct PhysicalLine {
  std::string_view text;
  std::string_view end;
};

// Lines end in CR LF, LF or a CR alone, as regedit takes them.
std::vector<PhysicalLine> SplitLines(std::string_view text) {
  std::vector<PhysicalLine> lines;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back({text, {}});
      break;
    }
    const std::size_t length = text.substr(end, 2) == "\r\n" ? 2 : 1;
    lines.push_back({text.substr(0, end), text.substr(end, length)});
    text.remove_prefix(end + length);
  }
  return lines;
}

// UTF-16 in little-endian order, as Windows exports; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toStdString();
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) {
    ++at;
  }
  return at;
}

std::string_view Trimmed(std::string_view text) {
  text.remove_prefix(SkipBlanks(text, 0));
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// What may follow data on its line: blanks, then a comment.
bool OnlyCommentFrom(std::string_view text, std::size_t at) {
  at = SkipBlanks(text, at);
  return at == text.size() || text[at] == ';';
}

bool IsHeader(std::string_view line) {
  line = Trimmed(line);
  return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
}

bool IsBlankOrComment(std::string_view line) {
  line = Trimmed(line);
  return line.empty() || line.front() == ';';
}

std::string_view WithoutFinalBackslash(std::string_view path) {
  while (!path.empty() && path.back() == '\\') {
    path.remove_suffix(1);
  }
  return path;
}

// The key itself or one below it.
bool IsWithin(std::string_view key, std::string_view branch) {
  return key.size() >= branch.size() && SameRegistryName(key.substr(0, branch.size()), branch) &&
         (key.size() == branch.size() || key[branch.size()] == '\\');
}

std::optional<std::uint32_t> HexDigit(char c) {
  const std::size_t digit =
      std::string_view("0123456789abcdef")
          .find(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (digit == std::string_view::npos) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(digit);
}

// One to eight hex digits from `at`, which moves past them.
std::optional<std::uint32_t> ReadHexNumber(std::string_view text, std::size_t& at) {
  std::uint32_t number = 0;
  const std::size_t start = at;
  for (; at < text.size() && HexDigit(text[at]); ++at) {
    number = number * 16 + *HexDigit(text[at]);
  }
  if (at == start || at - start > 8) {
    return std::nullopt;
  }
  return number;
}

// A quoted text from just after its opening quote, unescaped as regedit does: \\, \", \n and \r;
// any other escaped character stands for itself, and \0 makes the text unreadable. `at` moves
// past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& at) {
  std::string text;
  for (std::size_t i = at; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      at = i + 1;
      return text;
    }
    if (c == '\\') {
      if (++i == line.size() || line[i] == '0') {
        return std::nullopt;
      }
      c = line[i] == 'n' ? '\n' : line[i] == 'r' ? '\r' : line[i];
    }
    text += c;
  }
  return std::nullopt;
}

// The tag of hex data, "hex:" or "hex(type):"; `at` moves past it.
std::optional<std::uint32_t> ReadHexType(std::string_view text, std::size_t& at) {
  if (text.substr(at).starts_with("hex:")) {
    at += 4;
    return REG_BINARY;
  }
  std::size_t end = at + 4;
  if (!text.substr(at).starts_with("hex(")) {
    return std::nullopt;
  }
  const auto type = ReadHexNumber(text, end);
  if (!type || text.substr(end, 2) != "):") {
    return std::nullopt;
  }
  at = end + 2;
  return type;
}

enum class HexEnd { Done, Continued, Invalid };

// Comma-separated hex bytes from `at` to the end of the line: a "\" where a byte could stand
// continues them on the next line, a ";" starts a comment. `at` moves past the last byte.
HexEnd ReadHexBytes(std::string_view line, std::size_t& at, std::vector<std::uint8_t>& bytes) {
  for (;;) {
    at = SkipBlanks(line, at);
    const std::size_t start = at;
    unsigned byte = 0;
    for (; at < line.size() && HexDigit(line[at]) && byte <= 0xFF; ++at) {
      byte = byte * 16 + *HexDigit(line[at]);
    }
    if (byte > 0xFF) {
      return HexEnd::Invalid;
    }
    if (at == start) {
      if (line.substr(at).starts_with('\\')) {
        return OnlyCommentFrom(line, at + 1) ? HexEnd::Continued : HexEnd::Invalid;
      }
      return OnlyCommentFrom(line, at) ? HexEnd::Done : HexEnd::Invalid;
    }
    bytes.push_back(static_cast<std::uint8_t>(byte));
    if (at == line.size() || line[at] != ',') {
      return OnlyCommentFrom(line, at) ? HexEnd::Done : HexEnd::Invalid;
    }
    ++at;
  }
}

// Hex bytes wrapped over lines, which join `line`. Between the parts regedit passes over blank
// and comment lines; any other line that is not hex ends the value unread and is taken along.
// Continued: the file ended while the bytes went on, which regedit takes as their end. `at` moves
// past the last part read, in `line`.
HexEnd ReadWrappedHex(RegeditLine& line, const std::vector<PhysicalLine>& lines, std::size_t& next,
                      std::size_t& at, std::vector<std::uint8_t>& bytes) {
  HexEnd end = ReadHexBytes(lines[next - 1].text, at, bytes);
  std::size_t dataEnd = at;
  while (end == HexEnd::Continued && next < lines.size()) {
    const std::string_view part = lines[next].text;
    line.text += line.end;
    const std::size_t partStart = line.text.size();
    line.text += part;
    line.end = lines[next++].end;
    std::size_t from = SkipBlanks(part, 0);
    if (from < part.size() && part[from] != ';') {
      end = !HexDigit(part[from]) ? HexEnd::Invalid : ReadHexBytes(part, from, bytes);
      dataEnd = partStart + from;
    }
  }
  at = end == HexEnd::Continued ? dataEnd + 1 : dataEnd;  // with the final "\"
  return end;
}

bool IsPrintableUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto [codePoint, length] = DecodeUtf8(text, i);
    if (length == 0 || codePoint < 0x20 || codePoint == 0x7F) {
      return false;
    }
    i += length;
  }
  return true;
}

// A text value that reads back exactly from its quoted form: one NUL, at the end, and printable.
bool QuotesExactly(const RegistryValue& value) {
  const std::size_t size = value.data.size();
  if (value.type != REG_SZ || size == 0 || value.data.back() != 0) {
    return false;
  }
  return IsPrintableUtf8(
      std::string_view(reinterpret_cast<const char*>(value.data.data()), size - 1));
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted + '"';
}

std::string FormatData(const RegistryValue& value) {
  char buffer[16];
  if (QuotesExactly(value)) {
    return Quoted(
        std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<std::uint32_t>(value.data[3]) << 24);
    std::snprintf(buffer, sizeof buffer, "%08x", number);
    return std::string("dword:") + buffer;
  }
  std::string text = "hex";
  if (value.type != REG_BINARY) {
    std::snprintf(buffer, sizeof buffer, "(%x)", value.type);
    text += buffer;
  }
  text += ':';
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x", value.data[i]);
    text += buffer;
  }
  return text;
}

// Puts the value's data, as this program writes it, where the line's data stood.
void WriteData(RegeditLine& line, const RegistryValue& value) {
  const std::string data = FormatData(value);
  line.text.replace(line.dataBegin, line.dataEnd - line.dataBegin, data);
  line.dataEnd = line.dataBegin + data.size();
  line.value = value;
}

// "[path]" opens a key and "[-path]" deletes it with all below it. Regedit skips the line when a
// blank follows the "[" or no "]" closes it, and ignores what follows the last "]".
void ReadKey(RegeditLine& line, std::size_t at) {
  const std::string_view rest = std::string_view(line.text).substr(at);
  const std::size_t close = rest.rfind(']');
  if (close == std::string_view::npos || IsBlank(rest.front())) {
    return;
  }
  const std::size_t deletion = rest.front() == '-' ? 1 : 0;
  line.kind = deletion == 1 ? Kind::DeleteKey : Kind::Key;
  line.path = WithoutFinalBackslash(rest.substr(deletion, close - deletion));
}

// The data after "=": a quoted text, "dword:" with up to eight hex digits, or hex bytes, which
// may be wrapped over the next lines. `at` moves past the data. Two kinds of data are to be
// written anew, meaning the same (`rewrite`): texts in hex in a UTF-16 file, since the file is
// written back in UTF-8; and bytes still going on at the end of the file, since a line added
// after them would be taken for their continuation.
std::optional<RegistryValue> ReadData(RegeditLine& line, const std::vector<PhysicalLine>& lines,
                                      std::size_t& next, std::size_t& at, bool wide,
                                      bool& rewrite) {
  const std::string_view text = lines[next - 1].text;
  if (text.substr(at).starts_with("\"")) {
    const auto quoted = ReadQuoted(text, ++at);
    if (!quoted || !OnlyCommentFrom(text, at)) {
      return std::nullopt;
    }
    RegistryValue value{REG_SZ, std::vector<std::uint8_t>(quoted->begin(), quoted->end())};
    value.data.push_back(0);
    return value;
  }
  if (text.substr(at).starts_with("dword:")) {
    at = SkipBlanks(text, at + 6);
    const auto number = ReadHexNumber(text, at);
    if (!number || !OnlyCommentFrom(text, at)) {
      return std::nullopt;
    }
    return RegistryValue{
        REG_DWORD,
        {static_cast<std::uint8_t>(*number), static_cast<std::uint8_t>(*number >> 8),
         static_cast<std::uint8_t>(*number >> 16), static_cast<std::uint8_t>(*number >> 24)}};
  }
  RegistryValue value;
  const auto type = ReadHexType(text, at);
  if (!type) {
    return std::nullopt;
  }
  value.type = *type;
  const HexEnd end = ReadWrappedHex(line, lines, next, at, value.data);
  if (end == HexEnd::Invalid) {
    return std::nullopt;
  }
  rewrite = end == HexEnd::Continued;
  if (wide && (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)) {
    const std::string utf8 =
        Utf16ToUtf8({reinterpret_cast<const char*>(value.data.data()), value.data.size()});
    value.data.assign(utf8.begin(), utf8.end());
    rewrite = true;
  }
  return value;
}

// A quoted name, or "@" for the key's default value, then "=" and either "-", which deletes the
// value, or its data.
void ReadValue(RegeditLine& line, const std::vector<PhysicalLine>& lines, std::size_t& next,
               std::size_t at, bool wide) {
  const std::string_view text = lines[next - 1].text;
  std::string name;
  if (text[at++] == '"') {
    auto quoted = ReadQuoted(text, at);
    if (!quoted) {
      return;
    }
    name = std::move(*quoted);
  }
  at = SkipBlanks(text, at);
  if (at == text.size() || text[at] != '=') {
    return;
  }
  at = SkipBlanks(text, at + 1);
  if (text.substr(at).starts_with("-")) {
    if (OnlyCommentFrom(text, at + 1)) {
      line.kind = Kind::DeleteValue;
      line.name = std::move(name);
    }
    return;
  }
  line.dataBegin = at;
  bool rewrite = false;
  const auto value = ReadData(line, lines, next, at, wide, rewrite);
  if (!value) {
    return;
  }
  line.kind = Kind::Value;
  line.name = std::move(name);
  line.value = *value;
  line.dataEnd = at;
  if (rewrite) {
    WriteData(line, *value);
  }
}

RegeditLine NewLine(std::string text, Kind kind = Kind::Other) {
  RegeditLine line;
  line.text = std::move(text);
  line.kind = kind;
  return line;
}

RegeditLine ReadEntry(const std::vector<PhysicalLine>& lines, std::size_t& next, bool wide) {
  const PhysicalLine& first = lines[next++];
  RegeditLine line = NewLine(std::string(first.text));
  line.end = first.end;
  const std::size_t at = SkipBlanks(first.text, 0);
  const std::string_view start = first.text.substr(at);
  if (start.starts_with('[')) {
    ReadKey(line, at + 1);
  } else if (start.starts_with('@') || start.starts_with('"')) {
    ReadValue(line, lines, next, at, wide);
  }
  return line;
}

}  // namespace

bool SameRegistryName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

RegeditDocument::RegeditDocument() {
  lines_ = {NewLine("REGEDIT4"), NewLine("")};
  lines_[0].end = lines_[1].end = lineEnd_;
}

std::optional<RegeditDocument> RegeditDocument::Parse(std::string_view bytes) {
  RegeditDocument document;
  document.lines_.clear();
  std::string decoded;
  const bool wide = bytes.starts_with(kUtf16Mark);
  if (wide) {
    decoded = Utf16ToUtf8(bytes.substr(kUtf16Mark.size()));
    bytes = decoded;
  } else if (bytes.starts_with(kUtf8Mark)) {
    document.byteOrderMark_ = kUtf8Mark;
    bytes.remove_prefix(kUtf8Mark.size());
  }
  const std::vector<PhysicalLine> lines = SplitLines(bytes);
  // Blank and comment lines before the header are let pass, as they always were here.
  const auto header = std::find_if_not(lines.begin(), lines.end(), [](const PhysicalLine& line) {
    return IsBlankOrComment(line.text);
  });
  if (header == lines.end() || !IsHeader(header->text)) {
    return std::nullopt;
  }
  for (std::size_t next = 0; next < lines.size();) {
    document.lines_.push_back(ReadEntry(lines, next, wide));
  }
  const auto ended = std::find_if(lines.begin(), lines.end(),
                                  [](const PhysicalLine& line) { return !line.end.empty(); });
  if (ended != lines.end()) {
    document.lineEnd_ = ended->end;
  }
  return document;
}

std::string RegeditDocument::Text() const {
  std::string text = byteOrderMark_;
  for (const RegeditLine& line : lines_) {
    text += line.text + line.end;
  }
  return text;
}

RegeditDocument::KeyState RegeditDocument::Find(std::string_view key) const {
  key = WithoutFinalBackslash(key);
  KeyState state;
  bool open = false;  // the lines read now go into the key
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const RegeditLine& line = lines_[i];
    if (line.kind == Kind::Key || line.kind == Kind::DeleteKey) {
      open = line.kind == Kind::Key && SameRegistryName(line.path, key);
      if (open) {
        state.header = i;
      } else if (line.kind == Kind::DeleteKey && IsWithin(key, line.path)) {
        state = {};
      }
    } else if (open && line.kind != Kind::Other) {
      std::erase_if(state.values, [&](std::size_t value) {
        return SameRegistryName(lines_[value].name, line.name);
      });
      if (line.kind == Kind::Value) {
        state.values.push_back(i);
      }
    }
  }
  return state;
}

bool RegeditDocument::HasKey(std::string_view key) const {
  return Find(key).header.has_value();
}

std::optional<RegistryValue> RegeditDocument::Value(std::string_view key,
                                                    std::string_view name) const {
  for (const std::size_t line : Find(key).values) {
    if (SameRegistryName(lines_[line].name, name)) {
      return lines_[line].value;
    }
  }
  return std::nullopt;
}

void RegeditDocument::AddKey(std::string_view key) {
  if (!Trimmed(lines_.back().text).empty()) {
    Append(NewLine(""));
  }
  RegeditLine header = NewLine(std::string("[").append(key).append("]"), Kind::Key);
  header.path = WithoutFinalBackslash(key);
  Append(std::move(header));
  Append(NewLine(""));
}

void RegeditDocument::SetValue(std::string_view key, std::string_view name,
                               const RegistryValue& value) {
  const KeyState state = Find(key);
  for (const std::size_t line : state.values) {
    if (SameRegistryName(lines_[line].name, name)) {
      WriteData(lines_[line], value);
      return;
    }
  }
  std::size_t after = *state.header;
  for (std::size_t i = after + 1;
       i < lines_.size() && lines_[i].kind != Kind::Key && lines_[i].kind != Kind::DeleteKey; ++i) {
    if (lines_[i].kind != Kind::Other) {
      after = i;
    }
  }
  RegeditLine line = NewLine((name.empty() ? std::string("@") : Quoted(name)) + "=", Kind::Value);
  line.name = name;
  line.dataBegin = line.dataEnd = line.text.size();
  WriteData(line, value);
  Insert(after + 1, std::move(line));
}

void RegeditDocument::Insert(std::size_t at, RegeditLine line) {
  if (lines_[at - 1].end.empty()) {
    lines_[at - 1].end = lineEnd_;
  }
  line.end = lineEnd_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

}  // namespace varnex
