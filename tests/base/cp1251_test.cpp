#include "base/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace korvan {
namespace {

// The system's own converter is the reference for every byte the code page assigns.
std::string viaIconv(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    std::string in(bytes);
    std::string out(in.size() * 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const auto result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    EXPECT_NE(result, static_cast<std::size_t>(-1));
    out.resize(out.size() - outLeft);
    return out;
}

TEST(Cp1251, EveryAssignedByteMatchesTheSystemConverterBothWays) {
    for (int byte = 1; byte < 256; ++byte) {
        if (byte == 0x98) {
            continue;  // unassigned in the code page
        }
        const std::string one(1, static_cast<char>(byte));
        const std::string utf8 = cp1251::toUtf8(one);
        EXPECT_EQ(utf8, viaIconv(one)) << "byte " << byte;
        EXPECT_EQ(cp1251::fromUtf8(utf8), one) << "byte " << byte;
    }
}

TEST(Cp1251, UnassignedByteSurvivesARoundTrip) {
    const std::string bytes = "a\x98z";
    EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(bytes)), bytes);
}

TEST(Cp1251, RussianTextIsOneBytePerLetter) {
    const std::string bytes = cp1251::fromUtf8("Ключ сети");
    EXPECT_EQ(bytes.size(), 9u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCA);  // К
    EXPECT_EQ(cp1251::toUtf8(bytes), "Ключ сети");
}

TEST(Cp1251, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(cp1251::fromUtf8("a\xE4\xB8\xAD"
                               "b"),
              "a?b");  // a CJK character
    EXPECT_EQ(cp1251::fromUtf8("a\xF0\x9F\x98\x80"
                               "b"),
              "a?b");  // outside the BMP
    EXPECT_EQ(cp1251::fromUtf8("a\xC3"
                               "b"),
              "a?b");                          // cut short
    EXPECT_EQ(cp1251::fromUtf8("\x80"), "?");  // stray continuation byte
}

}  // namespace
}  // namespace korvan
