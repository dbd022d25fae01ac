#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Rules on file names that look at the file name only: dots in folder names play no part. Both
// '/' and '\\' separate folders, as a path stored by another system may hold either.
namespace korvan {

// What follows the last folder separator; the whole path when there is none.
std::string_view fileNamePart(std::string_view path);
// Whether the file name has an extension: a dot after its first character.
bool hasExtension(std::string_view path);
// The path with `extension` (".zcf") appended when its file name has none.
std::string withDefaultExtension(std::string path, std::string_view extension);
// The path with the file name's extension, if any, left off.
std::string withoutExtension(std::string_view path);

// A path held as UTF-8 text, as the file system takes it.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

}  // namespace korvan
