#include "base/file_names.h"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(FileNames, OnlyTheFileNameDecidesAboutTheExtension) {
    EXPECT_EQ(FileNamePart("/home/t/.fleet/car7"), "car7");
    EXPECT_EQ(FileNamePart(R"(C:\db.old\car7.zcf)"), "car7.zcf");
    EXPECT_EQ(FileNamePart("fleet.zcf"), "fleet.zcf");
    EXPECT_EQ(FileNamePart("/data/"), "");

    EXPECT_FALSE(HasExtension("/home/t/.fleet/car7"));
    EXPECT_FALSE(HasExtension(R"(C:\db.old\car7)"));
    EXPECT_FALSE(HasExtension("/home/t/.hidden"));
    EXPECT_TRUE(HasExtension("car7.zcf"));
    EXPECT_TRUE(HasExtension("/opt/tool."));

    EXPECT_EQ(WithDefaultExtension("/home/t/.fleet/car7", ".zcf"), "/home/t/.fleet/car7.zcf");
    EXPECT_EQ(WithDefaultExtension("/data/fleet.txt", ".zcf"), "/data/fleet.txt");
    EXPECT_EQ(WithoutExtension("/data/v1.2/fleet.zcf"), "/data/v1.2/fleet");
    EXPECT_EQ(WithoutExtension("/data/v1.2/fleet"), "/data/v1.2/fleet");
}

TEST(FileNames, Utf8PathsSurviveTheFileSystem) {
    const std::string name = "/tmp/Автопарк/fleet.zcf";
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
}

}  // namespace
}  // namespace korvan
