#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

// The whole file as bytes, or nothing when it cannot be opened or read, or holds more than
// `largest` bytes.
std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                         std::size_t largest = SIZE_MAX);

enum class FileWrite : std::uint8_t {
    Written,
    ReadOnly,     // the file is marked read-only, or this user may not write it: left as it is
    NoFolder,     // the folder it belongs in does not exist; it is not created
    NotAFile,     // a folder or a device stands at the path
    LinkRefused,  // a symbolic link on the way is one the system would not follow for this user
    Failed,       // creating, writing, syncing or renaming failed, or the owner could not be kept
};

// Who may read a file that the save creates. An existing file keeps its own mode and owner.
enum class NewFileAccess : std::uint8_t {
    Usual,      // what the user's file-creation mask allows
    OwnerOnly,  // for files that hold passwords
};

// Where a save of `path` puts its bytes: the file a chain of symbolic links finally names.
// A link is followed only where the system's rule for links in shared folders would let this
// user follow it, whether or not that rule is switched on: the link is the user's own, or its
// folder is not both sticky and writable by all, or the folder's owner made the link. Otherwise
// another user's link in a shared folder could make this user's save replace any file.
struct SaveTarget {
    enum class Kind : std::uint8_t { File, Refused, Unresolved };
    Kind kind = Kind::File;
    std::filesystem::path path;  // the file to write; for Refused the link that was not followed
};
SaveTarget saveTargetOf(const std::filesystem::path& path);
// Why the link `link` is not followed, for a message (UTF-8, Russian).
std::string refusedLinkText(const std::filesystem::path& link);

// Replaces the file with `bytes` in one step: they go to a temporary file of its own name beside
// it, which is synced and renamed over the old one only once it is complete, and the folder is
// synced after. A symbolic link stays a link and its target gets the bytes (see saveTargetOf). On
// failure the old file is untouched and the temporary file is gone.
FileWrite writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                              NewFileAccess access = NewFileAccess::Usual);

#ifndef _WIN32
// Writes all of `bytes` to a blocking descriptor, again after an interrupted call; false on an
// error.
bool writeAll(int descriptor, std::string_view bytes);
#endif

// The lines of a text, each without its line end; CR LF and LF alike end a line.
std::vector<std::string_view> splitLines(std::string_view text);

}  // namespace korvan
