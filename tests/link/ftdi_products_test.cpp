#include "link/ftdi_products.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace korvan {
namespace {

TEST(FtdiProducts, EveryListedProductOfTheVendorIsTakenAndNothingElse) {
    for (const auto product : kFtdiProducts) {
        EXPECT_TRUE(isListedFtdiProduct(0x0403, product)) << product;
        EXPECT_FALSE(isListedFtdiProduct(0x0404, product)) << product;  // another vendor
    }
    EXPECT_FALSE(isListedFtdiProduct(0x0403, 0x6002));  // a neighbour of a listed product
    EXPECT_FALSE(isListedFtdiProduct(0x0403, 0x0000));
    EXPECT_FALSE(isListedFtdiProduct(0x0403, 0xFFFF));
    EXPECT_FALSE(isListedFtdiProduct(0x0000, 0x0000));
}

std::string hex4(std::uint16_t id) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", id);
    return text;
}

// The rule the package installs, as the build wrote it: each product's USB device is opened to
// the user at the seat and kept from ModemManager, as is its serial port; no other product and
// no line for the whole vendor.
TEST(FtdiProducts, TheUdevRuleNamesExactlyTheListedProducts) {
    std::ifstream file(KORVAN_UDEV_RULE_FILE);
    ASSERT_TRUE(file) << KORVAN_UDEV_RULE_FILE;
    const std::regex usbLine(
        R"re(SUBSYSTEM=="usb", ATTRS\{idVendor\}=="([0-9a-f]{4})", ATTRS\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess", MODE="0660", GROUP="plugdev", ENV\{ID_MM_DEVICE_IGNORE\}="1")re");
    const std::regex ttyLine(
        R"re(SUBSYSTEM=="tty", ATTRS\{idVendor\}=="([0-9a-f]{4})", ATTRS\{idProduct\}=="([0-9a-f]{4})", ENV\{ID_MM_DEVICE_IGNORE\}="1")re");
    std::map<std::string, int> usbProducts, ttyProducts;
    std::string line;
    int comments = 0;
    while (std::getline(file, line)) {
        if (line.starts_with('#')) {
            ++comments;
            continue;
        }
        std::smatch match;
        if (std::regex_match(line, match, usbLine)) {
            EXPECT_EQ(match[1], hex4(kFtdiVendor));
            ++usbProducts[match[2]];
        } else if (std::regex_match(line, match, ttyLine)) {
            EXPECT_EQ(match[1], hex4(kFtdiVendor));
            ++ttyProducts[match[2]];
        } else {
            ADD_FAILURE() << "a line of another shape: " << line;
        }
    }
    EXPECT_GT(comments, 0) << "the header telling why the rule is there";

    std::map<std::string, int> listed;
    for (const auto product : kFtdiProducts) {
        ++listed[hex4(product)];
    }
    EXPECT_EQ(usbProducts, listed);
    EXPECT_EQ(ttyProducts, listed);
}

}  // namespace
}  // namespace korvan
