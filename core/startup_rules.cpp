#include "core/startup_rules.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/file_names.h"
#include "core/version.h"

namespace korvan {
namespace {

bool folderIsOwn(const std::filesystem::path& folder) {
#ifdef _WIN32
    return _waccess(folder.c_str(), 2) == 0;
#else
    // The folder as the program was started from it: a home under /var/home is still a home.
    std::error_code error;
    const auto absolute = std::filesystem::absolute(folder, error).lexically_normal();
    struct stat status {};
    return !error && !isSystemFolder(absolute) && ::stat(absolute.c_str(), &status) == 0 &&
           status.st_uid == ::geteuid() && ::access(absolute.c_str(), W_OK) == 0;
#endif
}

}  // namespace

VersionNumbers parseVersion(std::string_view version) {
    VersionNumbers numbers;
    const std::string text(version);
    // A fourth number and anything after the third are ignored.
    if (std::sscanf(text.c_str(), "%u.%u.%u", &numbers.major, &numbers.minor, &numbers.release) <
        0) {
        return {};
    }
    return numbers;
}

std::string_view programVersionString() {
    return kProgramVersion;
}

std::string windowCaption(const VersionNumbers& version) {
    char caption[64];
    std::snprintf(caption, sizeof caption, "Korvan %d.%d.%d", static_cast<int>(version.major),
                  static_cast<int>(version.minor), static_cast<int>(version.release));
    return caption;
}

std::filesystem::path settingsPathFor(const SettingsLocation& location) {
    const std::string path = withoutExtension(location.programFile.string()) + ".ini";
    if (location.programFolderIsOwn) {
        return path;
    }
    const std::string fileName(fileNamePart(path));
    auto variable = [&](const char* name) -> std::optional<std::string> {
        auto value = location.environment ? location.environment(name) : std::nullopt;
        return value && !value->empty() ? value : std::nullopt;
    };
    std::filesystem::path folder;
    if (auto configHome = variable("XDG_CONFIG_HOME")) {
        folder = *configHome;
    } else if (auto home = variable("HOME")) {
        folder = std::filesystem::path(*home) / ".config";
    } else {
        return path;  // nowhere better to go; the save will say if it cannot write
    }
    return folder / "korvan" / fileName;
}

bool isSystemFolder(const std::filesystem::path& folder) {
    const std::string text = folder.generic_string();
    if (text == "/") {
        return true;
    }
    for (std::string_view top : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32",
                                 "/opt", "/etc", "/var", "/boot", "/snap"}) {
        // The folder itself or one inside it: "/usrdata" is no system's.
        if (text.starts_with(top) && (text.size() == top.size() || text[top.size()] == '/')) {
            return true;
        }
    }
    return false;
}

std::filesystem::path settingsPathForProgram(const std::filesystem::path& programFile) {
    SettingsLocation location;
    location.programFile = programFile;
    location.programFolderIsOwn = folderIsOwn(
        programFile.has_parent_path() ? programFile.parent_path() : std::filesystem::path("."));
    location.environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    return settingsPathFor(location);
}

}  // namespace korvan
