#pragma once

#include "settings/fields.h"

// The filters that every edit box passes a typed character through before the box sees it.
// They judge the character's Windows-1251 byte as a signed number, so every byte from 0x80 on
// (all Cyrillic letters among them) is smaller than "0". Control characters reach them too:
// backspace 8, Enter 13, and the clipboard shortcuts Ctrl+C 3, Ctrl+V 22, Ctrl+X 24, Ctrl+Z 26.
namespace korvan {

enum class KeyFilter : std::uint8_t {
    None,
    Digits,              // digits and backspace
    PasswordCharacters,  // "0" to "z", "-" and backspace
    AddressCharacters,   // digits, "." and backspace
    CoordinateDigits,    // digits, backspace and Ctrl+V
    KeyCharacters,       // everything but ";"
};

inline constexpr char kBackspace = 8;
inline constexpr char kCtrlV = 22;

KeyFilter keyFilterOf(Field field);
bool keyAccepted(KeyFilter filter, char typed);
// Whether the character can stand in the box's text: the filter lets it through when typed,
// and it is no control character (those the filters pass are keys, not text).
bool textAdmitted(KeyFilter filter, char c);

}  // namespace korvan
