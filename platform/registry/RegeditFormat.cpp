#include "RegeditFormat.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace varnex {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool continuing = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view physical = text.substr(start, end - start);
    if (!physical.empty() && physical.back() == '\r') {
      physical.remove_suffix(1);
    }
    if (continuing) {
      physical.remove_prefix(std::min(physical.find_first_not_of(" \t"), physical.size()));
    }
    line += physical;
    // Long hex values are wrapped with a "\" at the end of each part.
    continuing = !line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos;
    if (continuing) {
      line.pop_back();
    } else {
      lines.push_back(std::move(line));
      line.clear();
    }
    start = end + 1;
  }
  if (continuing) {
    lines.push_back(std::move(line));
  }
  return lines;
}

// Reads a quoted text at `offset` (on the opening quote), unescaping \\ and \".
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& offset) {
  std::string text;
  for (std::size_t i = offset + 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      offset = i + 1;
      return text;
    }
    if (line[i] == '\\') {
      if (++i == line.size() || (line[i] != '\\' && line[i] != '"')) {
        return std::nullopt;
      }
    }
    text += line[i];
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) {
    return std::nullopt;
  }
  std::uint32_t number = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) {
      return std::nullopt;
    }
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return number;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view list) {
  std::vector<std::uint8_t> bytes;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos) {
      end = list.size();
    }
    std::string_view item = list.substr(start, end - start);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
      item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
      item.remove_suffix(1);
    const auto byte = ParseHexNumber(item);
    if (item.size() > 2 || !byte) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(*byte));
    start = end + 1;
  }
  return bytes;
}

std::optional<RegistryValue> ParseData(std::string_view data) {
  if (!data.empty() && data.front() == '"') {
    std::size_t offset = 0;
    const auto text = ReadQuoted(data, offset);
    if (!text || offset != data.size()) {
      return std::nullopt;
    }
    RegistryValue value{REG_SZ, std::vector<std::uint8_t>(text->begin(), text->end())};
    value.data.push_back(0);
    return value;
  }
  if (data.starts_with("dword:")) {
    const auto number = ParseHexNumber(data.substr(6));
    if (!number) {
      return std::nullopt;
    }
    return RegistryValue{
        REG_DWORD,
        {static_cast<std::uint8_t>(*number), static_cast<std::uint8_t>(*number >> 8),
         static_cast<std::uint8_t>(*number >> 16), static_cast<std::uint8_t>(*number >> 24)}};
  }
  std::uint32_t type = REG_BINARY;
  std::string_view rest;
  if (data.starts_with("hex:")) {
    rest = data.substr(4);
  } else if (data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    const auto number =
        close == std::string_view::npos ? std::nullopt : ParseHexNumber(data.substr(4, close - 4));
    if (!number) {
      return std::nullopt;
    }
    type = *number;
    rest = data.substr(close + 2);
  } else {
    return std::nullopt;
  }
  const auto bytes = ParseHexBytes(rest);
  if (!bytes) {
    return std::nullopt;
  }
  return RegistryValue{type, *bytes};
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

}  // namespace

bool SameRegistryName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

std::optional<RegeditContent> ParseRegedit(std::string_view text) {
  RegeditContent content;
  bool headerSeen = false;
  for (const std::string& line : LogicalLines(text)) {
    if (line.find_first_not_of(" \t") == std::string::npos || line.front() == ';') {
      continue;
    }
    if (!headerSeen) {
      if (line != kHeader) {
        return std::nullopt;
      }
      headerSeen = true;
    } else if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
        return std::nullopt;
      }
      content.push_back({line.substr(1, line.size() - 2), {}});
    } else {
      if (content.empty()) {
        return std::nullopt;
      }
      std::size_t offset = 0;
      std::optional<std::string> name;
      if (line.front() == '@') {
        name = std::string();
        offset = 1;
      } else if (line.front() == '"') {
        name = ReadQuoted(line, offset);
      }
      if (!name || offset >= line.size() || line[offset] != '=') {
        return std::nullopt;
      }
      const auto value = ParseData(std::string_view(line).substr(offset + 1));
      if (!value) {
        return std::nullopt;
      }
      content.back().values.emplace_back(std::move(*name), std::move(*value));
    }
  }
  if (!headerSeen) {
    return std::nullopt;
  }
  return content;
}

std::string FormatRegedit(const RegeditContent& content) {
  std::string text = std::string(kHeader) + "\r\n";
  for (const RegeditKey& key : content) {
    text += "\r\n[" + key.path + "]\r\n";
    for (const auto& [name, value] : key.values) {
      text += (name.empty() ? std::string("@") : Quoted(name)) + "=" + FormatData(value) + "\r\n";
    }
  }
  return text + "\r\n";
}

}  // namespace varnex
