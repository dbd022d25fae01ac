#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

// An INI file read and written the way the Windows private-profile functions do it, so that a
// file from an earlier installation reads the same and keeps what this program does not know:
// - sections and keys are matched without regard to letter case, the first match counts;
// - names and values are trimmed of blanks, and a value enclosed in a pair of the same quotes
//   loses them;
// - a value read is cut to 2047 characters;
// - writing a key replaces its line in place, or adds it at the end of its section, or adds the
//   section at the end of the file; every other line stays as it was.
class ProfileFile {
  public:
    static constexpr std::size_t kValueLimit = 2047;

    ProfileFile() = default;
    static ProfileFile parse(std::string_view bytes);

    // Nothing when the section or key is missing; an empty text when the key has no value.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    void write(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes, every line ended the way the file's first line was (CR LF for a new file).
    std::string serialize() const;

  private:
    std::vector<std::string> lines_;
    std::string lineEnding_ = "\r\n";
};

// Decimal or hexadecimal ("$1F", "0x1F") integer, as the settings were stored; anything else,
// an empty text included, gives nothing.
std::optional<int> parseProfileInteger(std::string_view text);

}  // namespace korvan
