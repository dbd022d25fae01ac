#include "base/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::perms modeOf(const fs::path& path) {
    return fs::status(path).permissions();
}

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNothingElseBehind) {
    TempFolder folder;
    const auto path = folder / "fleet.zcf";
    // The user's own file of the name a temporary file might have had.
    writeBytes(folder / "fleet.zcf.tmp", "mine");
    EXPECT_EQ(writeFileAtomically(path, "first"), FileWrite::Written);
    EXPECT_EQ(writeFileAtomically(path, "second"), FileWrite::Written);
    EXPECT_EQ(readBytes(path), "second");
    EXPECT_EQ(readBytes(folder / "fleet.zcf.tmp"), "mine");
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"fleet.zcf", "fleet.zcf.tmp"}));
}

TEST(WriteFileAtomically, RefusesWhatItMustNotReplaceAndLeavesItAsItWas) {
    TempFolder folder;
    // Read-only: refused by its mode bits, which root would otherwise write past.
    const auto readOnly = folder / "kept.zcf";
    writeBytes(readOnly, "old");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(writeFileAtomically(readOnly, "new"), FileWrite::ReadOnly);
    EXPECT_EQ(readBytes(readOnly), "old");

    fs::create_directory(folder / "folder.zcf");
    EXPECT_EQ(writeFileAtomically(folder / "folder.zcf", "new"), FileWrite::NotAFile);
    EXPECT_TRUE(fs::is_directory(folder / "folder.zcf"));

    // A folder that has gone is reported, not made up anew.
    EXPECT_EQ(writeFileAtomically(folder / "gone" / "deeper" / "fleet.zcf", "new"),
              FileWrite::NoFolder);
    EXPECT_FALSE(fs::exists(folder / "gone"));

    fs::create_symlink("loop-b", folder / "loop-a");
    fs::create_symlink("loop-a", folder / "loop-b");
    EXPECT_EQ(writeFileAtomically(folder / "loop-a", "new"), FileWrite::Failed);

    EXPECT_EQ(namesIn(folder.path()),
              (std::vector<std::string>{"folder.zcf", "kept.zcf", "loop-a", "loop-b"}));
}

TEST(WriteFileAtomically, WritesThroughSymbolicLinksAndKeepsThem) {
    TempFolder folder;
    fs::create_directory(folder / "data");
    writeBytes(folder / "data" / "fleet.zcf", "old");
    // A relative link to a relative link, as a user might set up a shared database.
    fs::create_symlink("data/fleet.zcf", folder / "link1");
    fs::create_symlink("link1", folder / "fleet.zcf");
    EXPECT_EQ(writeFileAtomically(folder / "fleet.zcf", "new"), FileWrite::Written);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "fleet.zcf")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "link1")));
    EXPECT_EQ(readBytes(folder / "data" / "fleet.zcf"), "new");
    EXPECT_EQ(namesIn(folder / "data"), std::vector<std::string>{"fleet.zcf"});

    // A link whose target does not exist yet creates the target.
    fs::create_symlink(folder / "data" / "later.zcf", folder / "later.zcf");
    EXPECT_EQ(writeFileAtomically(folder / "later.zcf", "created"), FileWrite::Written);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "later.zcf")));
    EXPECT_EQ(readBytes(folder / "data" / "later.zcf"), "created");
}

#ifndef _WIN32
TEST(WriteFileAtomically, NewFilesFollowTheUsersMaskOrStayPrivateAndOldOnesKeepTheirMode) {
    TempFolder folder;
    const mode_t mask = ::umask(0027);
    EXPECT_EQ(writeFileAtomically(folder / "usual", "x"), FileWrite::Written);
    EXPECT_EQ(writeFileAtomically(folder / "private", "x", NewFileAccess::OwnerOnly),
              FileWrite::Written);
    ::umask(mask);
    using fs::perms;
    EXPECT_EQ(modeOf(folder / "usual"), perms::owner_read | perms::owner_write | perms::group_read);
    EXPECT_EQ(modeOf(folder / "private"), perms::owner_read | perms::owner_write);

    // A file shared on purpose stays shared, a private one private, whatever a new file gets.
    fs::permissions(folder / "private",
                    perms::owner_read | perms::owner_write | perms::group_all | perms::others_read);
    EXPECT_EQ(writeFileAtomically(folder / "private", "y", NewFileAccess::OwnerOnly),
              FileWrite::Written);
    EXPECT_EQ(modeOf(folder / "private"),
              perms::owner_read | perms::owner_write | perms::group_all | perms::others_read);
    fs::permissions(folder / "usual", perms::owner_read | perms::owner_write);
    EXPECT_EQ(writeFileAtomically(folder / "usual", "y"), FileWrite::Written);
    EXPECT_EQ(modeOf(folder / "usual"), perms::owner_read | perms::owner_write);
}

// A link in a shared sticky folder is followed as the system's protected-link rule would: by
// its own owner, or where the folder's owner made it; never into another user's planted link.
TEST(WriteFileAtomically, FollowsALinkInASharedFolderOnlyAsTheSystemWould) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can plant a link of another user to begin with";
    }
    TempFolder folder;
    const auto shared = folder / "shared";
    fs::create_directory(shared);
    writeBytes(folder / "victim", "precious");
    const auto link = shared / "fleet.zcf";
    fs::create_symlink(folder / "victim", link);
    const auto plantedBy = [&](uid_t user) { ASSERT_EQ(::lchown(link.c_str(), user, 0), 0); };
    const auto folderIs = [&](mode_t mode, uid_t owner) {
        ASSERT_EQ(::chown(shared.c_str(), owner, 0), 0);
        ASSERT_EQ(::chmod(shared.c_str(), mode), 0);
    };

    folderIs(01777, 0);
    plantedBy(4242);
    EXPECT_EQ(writeFileAtomically(link, "overwritten"), FileWrite::LinkRefused);
    EXPECT_EQ(readBytes(folder / "victim"), "precious");
    const SaveTarget refused = saveTargetOf(link);
    EXPECT_EQ(refused.kind, SaveTarget::Kind::Refused);
    EXPECT_EQ(refused.path, link);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));

    // Each condition that lets the system follow the link, alone.
    folderIs(01775, 0);  // sticky, but not writable by all
    EXPECT_EQ(writeFileAtomically(link, "not shared"), FileWrite::Written);
    folderIs(00777, 0);  // writable by all, but not sticky
    EXPECT_EQ(writeFileAtomically(link, "not sticky"), FileWrite::Written);
    folderIs(01777, 4242);  // the folder's owner made the link
    EXPECT_EQ(writeFileAtomically(link, "folder owner"), FileWrite::Written);
    folderIs(01777, 0);
    plantedBy(0);  // the link is the caller's own
    EXPECT_EQ(writeFileAtomically(link, "own link"), FileWrite::Written);
    EXPECT_EQ(readBytes(folder / "victim"), "own link");

    // A refused link further down a chain is named, not the first one.
    const auto outer = folder / "outer.zcf";
    fs::create_symlink(link, outer);
    plantedBy(4242);
    EXPECT_EQ(saveTargetOf(outer).path, link);
    EXPECT_EQ(writeFileAtomically(outer, "through two"), FileWrite::LinkRefused);
    EXPECT_EQ(readBytes(folder / "victim"), "own link");
}

TEST(WriteFileAtomically, KeepsTheOwnerOfTheFileItReplaces) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner to begin with";
    }
    TempFolder folder;
    const auto path = folder / "fleet.zcf";
    writeBytes(path, "old");
    ASSERT_EQ(::chown(path.c_str(), 4242, 4343), 0);
    EXPECT_EQ(writeFileAtomically(path, "new"), FileWrite::Written);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, 4242u);
    EXPECT_EQ(after.st_gid, 4343u);
    EXPECT_EQ(readBytes(path), "new");
}
#endif

}  // namespace
}  // namespace korvan
