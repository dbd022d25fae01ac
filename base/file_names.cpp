#include "base/file_names.h"

namespace korvan {
namespace {

std::size_t fileNameStart(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

// The dot that starts the file name's extension. A leading dot names a hidden file.
std::size_t extensionDot(std::string_view path) {
    const auto start = fileNameStart(path);
    const auto dot = path.find_last_of('.');
    return dot == std::string_view::npos || dot <= start ? std::string_view::npos : dot;
}

}  // namespace

std::string_view fileNamePart(std::string_view path) {
    return path.substr(fileNameStart(path));
}

bool hasExtension(std::string_view path) {
    return extensionDot(path) != std::string_view::npos;
}

std::string withDefaultExtension(std::string path, std::string_view extension) {
    if (!hasExtension(path)) {
        path += extension;
    }
    return path;
}

std::string withoutExtension(std::string_view path) {
    return std::string(path.substr(0, extensionDot(path)));
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace korvan
