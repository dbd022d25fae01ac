#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

// One line of a profile file as the reader sees it, for a reader that must say where a value
// stands.
struct ProfileLine {
    enum class Kind : std::uint8_t {
        Blank,
        Comment,  // begins with ';'
        Section,
        Key,
        Other,  // neither a section nor a key: the reader passes over it
    };
    Kind kind = Kind::Blank;
    int number = 0;     // from 1
    std::string name;   // the section's or the key's name as written, trimmed
    std::string value;  // a key's value as `read` gives it, but not cut to the limit
};

// An INI file read and written the way the Windows private-profile functions do it, so that a
// file from an earlier installation reads the same and keeps what this program does not know:
// - a line ends at a CR LF, a line feed or a CR alone, so no value holds a line break;
// - sections and keys are matched without regard to letter case, the first match counts;
// - names and values are trimmed of blanks, and a value enclosed in a pair of the same quotes
//   loses them;
// - a value read is cut to 2047 characters;
// - a file that begins with a UTF-8 or UTF-16 byte-order mark is read as that text and written
//   back in it; any other file holds the program's single-byte code page (Windows-1251);
// - writing a key replaces its line in place, or adds it at the end of its section, or adds the
//   section at the end of the file; every other line stays as it was, its line end included.
class ProfileFile {
  public:
    static constexpr std::size_t kValueLimit = 2047;

    enum class Encoding : std::uint8_t { Ansi, Utf8, Utf16Le, Utf16Be };

    ProfileFile() = default;
    static ProfileFile parse(std::string_view bytes);

    // Values in Windows-1251, whatever the file holds: a character a Unicode file has and the
    // code page lacks reads as '?'. Nothing when the section or key is missing; an empty text
    // when the key has no value.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    void write(std::string_view section, std::string_view key, std::string_view value);

    // Values as UTF-8 text, for what the code page cannot hold: a Unicode file's text as it is,
    // an ANSI file's bytes as they are stored. Not cut to the limit.
    std::optional<std::string> readUtf8(std::string_view section, std::string_view key) const;
    void writeUtf8(std::string_view section, std::string_view key, std::string_view value);

    Encoding encoding() const { return encoding_; }

    // The lines of a file that say something (no blank line, no comment), in order, with their
    // numbers; read straight from its bytes, so that a file of a million blank lines costs no
    // more than its own size.
    static std::vector<ProfileLine> outlineOf(std::string_view bytes);

    // The file's bytes in its encoding. New lines end the way the file's first line does (CR LF
    // for a new file, CR in a file of nothing else).
    std::string serialize() const;

  private:
    struct Line {
        std::string text;    // in the file's own text: Windows-1251 bytes, or UTF-8
        std::string ending;  // "\r\n", "\n", or nothing for a last line without one
    };

    // The file's text as UTF-8 or Windows-1251, its encoding and any odd byte taken note of;
    // `decoded` holds it where it had to be converted.
    std::string_view decode(std::string_view bytes, std::string& decoded);
    ProfileLine classify(std::string_view line) const;
    std::optional<std::string> storedValue(std::string_view section, std::string_view key) const;
    void store(std::string_view section, std::string_view key, std::string_view text);
    void appendLine(std::string text);

    std::vector<Line> lines_;
    std::string lineEnding_ = "\r\n";
    Encoding encoding_ = Encoding::Ansi;
    std::string oddByte_;  // a UTF-16 file's last byte without a partner, kept as it was
};

// Sections and keys are the same when they differ only in the case of Latin letters.
bool sameProfileName(std::string_view a, std::string_view b);

// Decimal or hexadecimal ("$1F", "0x1F") integer, as the settings were stored; anything else,
// an empty text included, gives nothing.
std::optional<int> parseProfileInteger(std::string_view text);

}  // namespace korvan
