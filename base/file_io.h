#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

// The whole file as bytes, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// Replaces the file with `bytes` in one step: they go to a temporary file beside it, which is
// renamed over the old one only once it is complete. On failure the old file is untouched and
// the temporary file is gone. Missing parent folders are created.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The lines of a text, each without its line end; CR LF and LF alike end a line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The temporary file that `writeFileAtomically` uses for `path`.
std::filesystem::path temporaryPathFor(const std::filesystem::path& path);

}  // namespace korvan
