#pragma once

#include <string>
#include <string_view>

// Settings files that Windows tools saved as "Unicode" hold UTF-16; the profile file works on
// their text as UTF-8 and writes it back unchanged.
namespace korvan::utf16 {

// UTF-16 code units (two bytes each, in the given order) as UTF-8. A unit that is not part of a
// proper surrogate pair becomes a three-byte sequence of its own, so that `fromUtf8` restores it.
// An odd last byte is left out.
std::string toUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 text as UTF-16 code units; a byte that begins no proper sequence becomes U+FFFD.
std::string fromUtf8(std::string_view utf8, bool bigEndian);

}  // namespace korvan::utf16
