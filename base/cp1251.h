#pragma once

#include <string>
#include <string_view>

// The tracker, the settings file and the database files speak single-byte Windows-1251, and the
// core keeps every text in that form so that lengths and key filters count what the tracker
// counts. These convert at the edges: source literals and the window are UTF-8.
namespace korvan::cp1251 {

// Characters that Windows-1251 cannot hold become '?'; so does malformed UTF-8.
std::string fromUtf8(std::string_view utf8);

// Every byte has a meaning; 0x98, unassigned in the code page, maps to U+0098 so that a round
// trip through UTF-8 never loses a byte.
std::string toUtf8(std::string_view bytes);

}  // namespace korvan::cp1251
