#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace korvan {

// Matches text against a scan format made of literal characters, blanks and "%d", by the C
// library's scanning rules: a blank in the format takes any run of white space, "%d" skips
// white space and takes an optional sign and decimal digits, a literal must match exactly. The
// numbers converted before the first mismatch are returned; a number too large for 32 bits
// saturates rather than wrapping.
std::vector<int> scanNumbers(std::string_view text, std::string_view format);

// The decimal number a text begins with (after blanks, with an optional sign), as the C
// library's conversion reads it; nothing when it begins otherwise.
std::optional<int> leadingInteger(std::string_view text);

}  // namespace korvan
