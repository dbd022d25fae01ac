#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What start-up derives before the window shows: the version in the caption, where the settings
// file lives.
namespace korvan {

struct VersionNumbers {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned release = 0;
};

// The first three numbers of a version string such as "1.0.0.4"; what cannot be read stays 0.
VersionNumbers parseVersion(std::string_view version);
// The project's own version string, as the build gives it.
std::string_view programVersionString();
// "Korvan 1.0.0".
std::string windowCaption(const VersionNumbers& version);

struct SettingsLocation {
    std::filesystem::path programFile;
    // The program's folder may hold the settings: the user running the program owns it and
    // may write it, and it is not a system folder (where a file would outlive the package).
    bool programFolderIsOwn = true;
    // The environment, for the per-user configuration folder.
    std::function<std::optional<std::string>(const char*)> environment;
};

// The program's file name with its extension replaced by "ini" (or ".ini" appended when it has
// none), in the program's folder when it is the user's own; else in the per-user configuration
// folder ($XDG_CONFIG_HOME/korvan, else ~/.config/korvan).
std::filesystem::path settingsPathFor(const SettingsLocation& location);
// Whether an absolute folder belongs to the system's own tree: the root and what lies under
// /usr, /bin, /sbin, /lib, /lib32, /lib64, /libx32, /opt, /etc, /var, /boot or /snap. Installed
// programs live there.
bool isSystemFolder(const std::filesystem::path& folder);
// The same for the running program, looking at the real folder and environment.
std::filesystem::path settingsPathForProgram(const std::filesystem::path& programFile);

}  // namespace korvan
