#include "settings/key_filters.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"

namespace korvan {
namespace {

// The characters of `typed` (UTF-8) that the filter lets through, as a string.
std::string passed(KeyFilter filter, std::string_view typed) {
    std::string out;
    for (char c : cp1251::fromUtf8(typed)) {
        if (keyAccepted(filter, c)) {
            out += c;
        }
    }
    return cp1251::toUtf8(out);
}

const std::string kProbe = "09aZ;@[`!.$ +-_Жё\r";

TEST(KeyFilters, EachFilterLetsThroughItsOwnCharacters) {
    EXPECT_EQ(passed(KeyFilter::Digits, kProbe), "09");
    EXPECT_EQ(passed(KeyFilter::AddressCharacters, kProbe), "09.");
    EXPECT_EQ(passed(KeyFilter::PasswordCharacters, kProbe), "09aZ;@[`-_");
    EXPECT_EQ(passed(KeyFilter::CoordinateDigits, kProbe), "09");
    EXPECT_EQ(passed(KeyFilter::KeyCharacters, kProbe), "09aZ@[`!.$ +-_Жё\r");
}

TEST(KeyFilters, ControlCharactersAreFilteredLikeAnyOther) {
    const char backspace = 8, ctrlC = 3, ctrlV = 22, ctrlX = 24, ctrlZ = 26;
    for (auto filter :
         {KeyFilter::Digits, KeyFilter::PasswordCharacters, KeyFilter::AddressCharacters,
          KeyFilter::CoordinateDigits, KeyFilter::KeyCharacters}) {
        EXPECT_TRUE(keyAccepted(filter, backspace));
        EXPECT_EQ(keyAccepted(filter, ctrlV),
                  filter == KeyFilter::CoordinateDigits || filter == KeyFilter::KeyCharacters);
        for (char c : {ctrlC, ctrlX, ctrlZ}) {
            EXPECT_EQ(keyAccepted(filter, c), filter == KeyFilter::KeyCharacters);
        }
    }
}

TEST(KeyFilters, EveryEditHasTheFilterOfItsKind) {
    EXPECT_EQ(keyFilterOf(Field::ServerPort), KeyFilter::Digits);
    EXPECT_EQ(keyFilterOf(Field::AnalogAveraging2), KeyFilter::Digits);
    EXPECT_EQ(keyFilterOf(Field::AccessPoint), KeyFilter::PasswordCharacters);
    EXPECT_EQ(keyFilterOf(Field::Gateway), KeyFilter::AddressCharacters);
    EXPECT_EQ(keyFilterOf(Field::Point3OnTime), KeyFilter::CoordinateDigits);
    EXPECT_EQ(keyFilterOf(Field::Point2Radius), KeyFilter::CoordinateDigits);
    EXPECT_EQ(keyFilterOf(Field::NetworkKey), KeyFilter::KeyCharacters);
    EXPECT_EQ(keyFilterOf(Field::Point1LatitudeHemisphere), KeyFilter::None);
    int filtered = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (fieldInfo(f).kind == FieldKind::Edit) {
            EXPECT_NE(keyFilterOf(f), KeyFilter::None) << fieldInfo(f).name;
            ++filtered;
        }
    }
    EXPECT_EQ(filtered, 10 + 2 + 4 + 24 + 1);
}

}  // namespace
}  // namespace korvan
