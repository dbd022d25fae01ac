#include "base/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;

TEST(FileLock, OneHolderAtATimeAndTheLockGoesWithIt) {
    testing::TempFolder folder;
    const auto guarded = folder / "fleet.zcf";
    std::string why;
    FileLock held = FileLock::take(guarded, 0ms, why);
    ASSERT_TRUE(held.held()) << why;
    EXPECT_TRUE(std::filesystem::exists(folder / ".fleet.zcf.lock"));
    // A second taker, in this process as in another, waits and gives up.
    FileLock second = FileLock::take(guarded, 120ms, why);
    EXPECT_FALSE(second.held());
    EXPECT_NE(why.find(".fleet.zcf.lock"), std::string::npos) << why;

    FileLock moved = std::move(held);
    EXPECT_FALSE(FileLock::take(guarded, 0ms, why).held());
    moved = FileLock();  // released
    EXPECT_TRUE(FileLock::take(guarded, 0ms, why).held());
}

#ifndef _WIN32
TEST(FileLock, AProgramKeptWaitingIsToldWhoHoldsTheLockUnlessTheFileSaysNonsense) {
    testing::TempFolder folder;
    const auto guarded = folder / "fleet.zcf";
    std::string why;
    const FileLock held = FileLock::take(guarded, 0ms, why);
    ASSERT_TRUE(held.held()) << why;
    EXPECT_FALSE(FileLock::take(guarded, 0ms, why).held());
    EXPECT_NE(why.find(", процесс " + std::to_string(::getpid()) + " "), std::string::npos) << why;
    // Anybody may write the lock file: what is not a name and a number is not repeated.
    testing::writeBytes(folder / ".fleet.zcf.lock", "\x1b[2J 12\n");
    EXPECT_FALSE(FileLock::take(guarded, 0ms, why).held());
    EXPECT_EQ(why.find("процесс"), std::string::npos) << why;
    EXPECT_EQ(why.find('\x1b'), std::string::npos) << why;
}

TEST(FileLock, ALockLetGoLeavesNoHolderNamed) {
    testing::TempFolder folder;
    std::string why;
    { const FileLock held = FileLock::take(folder / "fleet.zcf", 0ms, why); }
    EXPECT_EQ(testing::readBytes(folder / ".fleet.zcf.lock"), "");
}
#endif

TEST(FileLock, TwoNamesOfOneFileShareOneLock) {
    testing::TempFolder folder;
    std::filesystem::create_directory(folder / "real");
    testing::writeBytes(folder / "real" / "fleet.zcf", "");
    std::filesystem::create_symlink(folder / "real" / "fleet.zcf", folder / "link.zcf");
    std::string why;
    const FileLock held = FileLock::take(folder / "real" / "fleet.zcf", 0ms, why);
    ASSERT_TRUE(held.held()) << why;
    EXPECT_FALSE(FileLock::take(folder / "link.zcf", 0ms, why).held());
}

TEST(FileLock, ALockFileThatCannotBeMadeIsSaid) {
    testing::TempFolder folder;
    std::string why;
    EXPECT_FALSE(FileLock::take(folder / "no-such-folder" / "fleet.zcf", 0ms, why).held());
    EXPECT_NE(why.find("не удалось открыть"), std::string::npos) << why;
}

}  // namespace
}  // namespace korvan
