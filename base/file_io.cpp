#include "base/file_io.h"

#include <cstdio>
#include <memory>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace korvan {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FileHandle(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

// Flushes the file to the disk, so that the rename never publishes a file whose bytes a crash
// could still lose.
bool syncToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
#ifdef _WIN32
    return true;
#else
    return ::fsync(::fileno(file)) == 0;
#endif
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    FileHandle file = openFile(path, "rb");
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[8192];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, got);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return bytes;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        auto line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::filesystem::path temporaryPathFor(const std::filesystem::path& path) {
    auto temporary = path;
    temporary += ".tmp";
    return temporary;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    const auto temporary = temporaryPathFor(path);
    bool written = false;
    {
        FileHandle file = openFile(temporary, "wb");
        if (!file) {
            return false;
        }
        written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                  syncToDisk(file.get());
        written = std::fclose(file.release()) == 0 && written;
    }
    if (written) {
        std::filesystem::rename(temporary, path, error);
        written = !error;
    }
    if (!written) {
        std::filesystem::remove(temporary, error);
    }
    return written;
}

}  // namespace korvan
