#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RegistryStore.h"

namespace varnex {

// One line of a settings file as written, with what regedit makes of it.
struct RegeditLine {
  enum class Kind { Other, Key, DeleteKey, Value, DeleteValue };

  std::string text;  // without its line end; a value wrapped over several lines holds them all
  std::string end;   // "\r\n", "\n", "\r", or nothing at the end of the file
  Kind kind = Kind::Other;
  std::string path;  // Key and DeleteKey
  std::string name;  // Value and DeleteValue
  RegistryValue value;
  std::size_t dataBegin = 0;  // Value: where its data stands in `text`
  std::size_t dataEnd = 0;
};

// A REGEDIT4 file (or one headed "Windows Registry Editor Version 5.00"), read the way regedit
// imports it: line by line and in order, so the last value of a name wins and deletions
// ("[-key]", "name"=-) apply to what comes before them; a line regedit cannot read is skipped.
// Every line is kept as written, so a person's comments, layout, other keys and unreadable lines
// come back at a save unchanged, and only the values set through this class differ.
class RegeditDocument {
 public:
  // A new file: the header and nothing else.
  RegeditDocument();

  // Reads a file's bytes: UTF-8, with or without a byte-order mark, or UTF-16 with its mark, as
  // Windows exports. nullopt when there is no header: the text is no settings file at all.
  static std::optional<RegeditDocument> Parse(std::string_view bytes);

  // The file's text, always UTF-8. New lines take the file's line end, CR LF in a new file.
  std::string Text() const;

  // Key paths are full ("HKEY_CURRENT_USER\Software\Varnex"); letter case and a final "\" aside.
  bool HasKey(std::string_view key) const;
  // The key's value of that name (the empty name is the key's default value, "@").
  std::optional<RegistryValue> Value(std::string_view key, std::string_view name) const;
  // Appends a section for the key.
  void AddKey(std::string_view key);
  // Writes the data into the line that holds the value, keeping the rest of that line, or else
  // adds a line after the last one read in the key's last section. The key must exist.
  void SetValue(std::string_view key, std::string_view name, const RegistryValue& value);

 private:
  // What the lines make of one key: the last line that opens it, if it exists in the end, and the
  // lines holding its values, the last one of each name.
  struct KeyState {
    std::optional<std::size_t> header;
    std::vector<std::size_t> values;
  };

  KeyState Find(std::string_view key) const;
  void Insert(std::size_t at, RegeditLine line);
  void Append(RegeditLine line) { Insert(lines_.size(), std::move(line)); }

  std::vector<RegeditLine> lines_;
  std::string byteOrderMark_;
  std::string lineEnd_ = "\r\n";
};

// Registry names ignore letter case.
bool SameRegistryName(std::string_view a, std::string_view b);

}  // namespace varnex
