#pragma once

#include <cstdint>
#include <string>

namespace varnex {

constexpr std::uint32_t LOCALE_SENGLANGUAGE = 0x1001;

// The English name of a locale identifier's language, written to `buffer` (at most `size` - 1
// characters and a NUL); returns the characters written with the NUL, 0 for an unknown locale.
// Only LOCALE_SENGLANGUAGE is known; the table holds the languages DVDs commonly carry.
int GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, char* buffer, int size);

}  // namespace varnex
