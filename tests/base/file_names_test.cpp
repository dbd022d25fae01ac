#include "base/file_names.h"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(FileNames, OnlyTheFileNameDecidesAboutTheExtension) {
    EXPECT_EQ(fileNamePart("/home/t/.fleet/car7"), "car7");
    EXPECT_EQ(fileNamePart(R"(C:\db.old\car7.zcf)"), "car7.zcf");
    EXPECT_EQ(fileNamePart("fleet.zcf"), "fleet.zcf");
    EXPECT_EQ(fileNamePart("/data/"), "");

    EXPECT_FALSE(hasExtension("/home/t/.fleet/car7"));
    EXPECT_FALSE(hasExtension(R"(C:\db.old\car7)"));
    EXPECT_FALSE(hasExtension("/home/t/.hidden"));
    EXPECT_TRUE(hasExtension("car7.zcf"));
    EXPECT_TRUE(hasExtension("/opt/tool."));

    EXPECT_EQ(withDefaultExtension("/home/t/.fleet/car7", ".zcf"), "/home/t/.fleet/car7.zcf");
    EXPECT_EQ(withDefaultExtension("/data/fleet.txt", ".zcf"), "/data/fleet.txt");
    EXPECT_EQ(withoutExtension("/data/v1.2/fleet.zcf"), "/data/v1.2/fleet");
    EXPECT_EQ(withoutExtension("/data/v1.2/fleet"), "/data/v1.2/fleet");
}

TEST(FileNames, Utf8PathsSurviveTheFileSystem) {
    const std::string name = "/tmp/Автопарк/fleet.zcf";
    EXPECT_EQ(utf8FromPath(pathFromUtf8(name)), name);
}

}  // namespace
}  // namespace korvan
