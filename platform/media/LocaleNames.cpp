#include "LocaleNames.h"

#include <algorithm>
#include <cstring>

namespace varnex {

namespace {

struct Language {
  std::uint32_t primary;  // the low 10 bits of a locale identifier
  const char* name;
};

constexpr Language kLanguages[] = {
    {0x01, "Arabic"},     {0x02, "Bulgarian"}, {0x04, "Chinese"},   {0x05, "Czech"},
    {0x06, "Danish"},     {0x07, "German"},    {0x08, "Greek"},     {0x09, "English"},
    {0x0A, "Spanish"},    {0x0B, "Finnish"},   {0x0C, "French"},    {0x0D, "Hebrew"},
    {0x0E, "Hungarian"},  {0x0F, "Icelandic"}, {0x10, "Italian"},   {0x11, "Japanese"},
    {0x12, "Korean"},     {0x13, "Dutch"},     {0x14, "Norwegian"}, {0x15, "Polish"},
    {0x16, "Portuguese"}, {0x18, "Romanian"},  {0x19, "Russian"},   {0x1A, "Croatian"},
    {0x1D, "Swedish"},    {0x1E, "Thai"},      {0x1F, "Turkish"},   {0x22, "Ukrainian"},
};

}  // namespace

int GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, char* buffer, int size) {
  if (type != LOCALE_SENGLANGUAGE || size <= 0) {
    return 0;
  }
  for (const Language& language : kLanguages) {
    if (language.primary == (locale & 0x3FF)) {
      const int length = std::min(static_cast<int>(std::strlen(language.name)), size - 1);
      std::memcpy(buffer, language.name, static_cast<std::size_t>(length));
      buffer[length] = '\0';
      return length + 1;
    }
  }
  buffer[0] = '\0';
  return 0;
}

}  // namespace varnex
