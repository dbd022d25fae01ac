#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/cp1251.h"

namespace korvan::testing {

// A fresh folder for one test, removed with everything in it when the test ends.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

void writeBytes(const std::filesystem::path& path, std::string_view bytes);
std::string readBytes(const std::filesystem::path& path);

// Windows-1251 bytes of a UTF-8 literal, for comparing with what the core holds.
inline std::string ansi(std::string_view utf8) {
    return cp1251::fromUtf8(utf8);
}

}  // namespace korvan::testing
