#include "core/startup_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

TEST(Version, TheFirstThreeNumbersMakeTheCaption) {
    const auto v = parseVersion("1.0.0.4");
    EXPECT_EQ(windowCaption(v), "Korvan 1.0.0");
    EXPECT_EQ(windowCaption(parseVersion("2.13")), "Korvan 2.13.0");
    EXPECT_EQ(windowCaption(parseVersion("")), "Korvan 0.0.0");
    EXPECT_EQ(windowCaption(parseVersion("beta")), "Korvan 0.0.0");
}

TEST(Version, TheProgramsOwnVersionIsReadable) {
    const auto own = parseVersion(programVersionString());
    EXPECT_EQ(windowCaption(own).rfind("Korvan ", 0), 0u);
    EXPECT_GT(own.major + own.minor + own.release, 0u) << programVersionString();
}

SettingsLocation located(std::string program, bool own,
                         std::map<std::string, std::string> env = {}) {
    SettingsLocation location;
    location.programFile = program;
    location.programFolderIsOwn = own;
    location.environment = [env](const char* name) -> std::optional<std::string> {
        auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    return location;
}

TEST(SettingsPath, TheProgramsFileNameGetsTheExtensionIni) {
    EXPECT_EQ(settingsPathFor(located(R"(C:\Data\v1.2\tool.exe)", true)),
              R"(C:\Data\v1.2\tool.ini)");
    EXPECT_EQ(settingsPathFor(located("build/korvan", true)), "build/korvan.ini");
    EXPECT_EQ(settingsPathFor(located("/home/t/.local/bin/korvan", true)),
              "/home/t/.local/bin/korvan.ini");
    EXPECT_EQ(settingsPathFor(located("/home/t/v2.0/korvan-sim", true)),
              "/home/t/v2.0/korvan-sim.ini");
    EXPECT_EQ(settingsPathFor(located("/home/t/tool.", true)), "/home/t/tool.ini");
}

TEST(SettingsPath, SystemFoldersAreTheRootAndTheTreesPackagesInstallInto) {
    for (const char* system :
         {"/", "/usr", "/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/lib", "/lib64/x", "/libx32",
          "/opt", "/opt/korvan", "/etc", "/var/lib", "/boot", "/snap/bin"}) {
        EXPECT_TRUE(isSystemFolder(system)) << system;
    }
    for (const char* own : {"/home/t/bin", "/usrdata", "/optical", "/library", "/tmp/korvan",
                            "/media/usb/korvan", "/root/korvan"}) {
        EXPECT_FALSE(isSystemFolder(own)) << own;
    }
}

// Run as root from an installed package, the program must not leave a file in /usr/bin that
// outlives the package: the folder is root's own, but a system folder.
TEST(SettingsPath, TheRunningProgramsSystemFolderIsNotItsOwn) {
    const auto path = settingsPathForProgram("/usr/bin/korvan");
    EXPECT_NE(path.parent_path(), "/usr/bin") << path;
    EXPECT_EQ(path.filename(), "korvan.ini");
}

TEST(SettingsPath, AFolderOfTheUsersOwnKeepsTheFileBesideTheProgram) {
    testing::TempFolder folder;
    if (isSystemFolder(std::filesystem::absolute(folder.path()))) {
        GTEST_SKIP() << "the temporary folder is in a system folder: " << folder.path();
    }
    EXPECT_EQ(settingsPathForProgram(folder / "korvan"), folder / "korvan.ini");
}

TEST(SettingsPath, AFolderThatIsNotTheUsersOwnSendsTheFileToTheUsersConfiguration) {
    EXPECT_EQ(settingsPathFor(located("/usr/bin/korvan", false,
                                      {{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/t"}})),
              "/cfg/korvan/korvan.ini");
    EXPECT_EQ(settingsPathFor(located("/usr/bin/korvan", false,
                                      {{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/t"}})),
              "/home/t/.config/korvan/korvan.ini");
    EXPECT_EQ(settingsPathFor(located("/usr/bin/korvan", false)), "/usr/bin/korvan.ini");
}

}  // namespace
}  // namespace korvan
