#include "protocol/records.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/command_buffer.h"

namespace korvan {
namespace {

std::vector<std::uint8_t> wire(const CommandBuffer& command) {
    return {command.bytes().begin(), command.bytes().end()};
}

std::vector<std::uint8_t> asBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Records, AnInputSettingIs36BytesOnTheWireZerosIncluded) {
    InputRecord input{0x7F, InputRecord::analogValue(1023, 16)};
    EXPECT_EQ(input.value, 0x43FFu);
    CommandBuffer command;
    command.formatCommand("GSM_SET_SMS,%d,", 1);
    command.appendCommandBytes(input.toBytes());
    command.appendCommandBytes("$");

    auto expected = asBytes("GSM_SET_SMS,1,");
    for (std::uint8_t b : {0x7F, 0xFF, 0x43, 0x00, 0x00}) {
        expected.push_back(b);
    }
    expected.insert(expected.end(), 16, 0x00);
    expected.push_back('$');
    EXPECT_EQ(wire(command), expected);
    EXPECT_EQ(command.length(), 36u);
}

TEST(Records, AControlPointSettingIs37BytesWithTheWorkedExampleLatitude) {
    ControlPointRecord point;
    point.flags &= ~(ControlPointRecord::kNoSendOnEntry | ControlPointRecord::kNoOutputOnExit);
    point.latitude = encodeCoordinate({55, 9, 1230, true});
    point.longitude = encodeCoordinate({37, 36, 50000, false});
    point.radius = -5;
    point.onTimeSeconds = 300;
    EXPECT_EQ(point.latitude, 0xA0D615EEu);

    CommandBuffer command;
    command.formatCommand("GSM_SET_CPOINT%d,", 1);
    command.appendCommandBytes(point.toBytes());
    command.appendCommandBytes("$");
    auto expected = asBytes("GSM_SET_CPOINT1,");
    for (std::uint8_t b : {0xF5, 0xFF, 0xFF, 0xFF,     // flags: bits 1 and 3 cleared
                           0xEE, 0x15, 0xD6, 0xA0,     // latitude, as in the worked example
                           0x50, 0x72, 0x45, 0x16,     // 373 650 000
                           0xFB, 0xFF, 0xFF, 0xFF,     // radius -5
                           0x2C, 0x01, 0x00, 0x00}) {  // 300 s
        expected.push_back(b);
    }
    expected.push_back('$');
    EXPECT_EQ(wire(command), expected);
    EXPECT_EQ(command.length(), 37u);
}

TEST(Records, RecordsReadBackAsTheyWereSent) {
    const InputRecord input{0x3E, InputRecord::analogValue(700, 45)};
    const auto inputBytes = input.toBytes();
    const auto readInput = InputRecord::fromBytes(std::span(inputBytes).first<5>());
    EXPECT_EQ(readInput.flags, 0x3E);
    EXPECT_EQ(readInput.threshold(), 700u);
    EXPECT_EQ(readInput.averaging(), 45u);

    ControlPointRecord point;
    point.latitude = 0xA0D615EE;
    point.longitude = encodeCoordinate({179, 59, 99999, true});
    point.radius = -1;
    point.onTimeSeconds = 7 * 60 + 59;
    const auto back = ControlPointRecord::fromBytes(point.toBytes());
    EXPECT_EQ(back.flags, 0xFFFFFFFFu);
    EXPECT_EQ(back.radius, -1);
    EXPECT_EQ(back.onTimeSeconds, 479u);

    const Coordinate latitude = decodeCoordinate(back.latitude);
    EXPECT_EQ(latitude.degrees, 55u);
    EXPECT_EQ(latitude.minutes, 9u);
    EXPECT_EQ(latitude.fraction, 1230u);
    EXPECT_TRUE(latitude.southOrWest);
    const Coordinate longitude = decodeCoordinate(back.longitude);
    EXPECT_EQ(longitude.degrees, 179u);
    EXPECT_EQ(longitude.minutes, 59u);
    EXPECT_EQ(longitude.fraction, 99999u);
}

TEST(Records, TheHemisphereIsOnlyTheTopBit) {
    // Degrees large enough to reach bit 31 lose it to the hemisphere, as on the tracker.
    EXPECT_EQ(encodeCoordinate({300, 0, 0, false}), 3'000'000'000u & 0x7FFFFFFFu);
    EXPECT_EQ(encodeCoordinate({0, 0, 1, true}), 0x80000001u);
}

TEST(Records, FirmwareVersionText) {
    const auto v105 = parseFirmwareVersion("WIFI-1.05");
    ASSERT_TRUE(v105);
    EXPECT_EQ(v105->combined(), 105);
    EXPECT_EQ(v105->caption(), "Ver. 1.5");
    const auto v210 = parseFirmwareVersion("WIFI-2.10");
    ASSERT_TRUE(v210);
    EXPECT_EQ(v210->combined(), 210);
    EXPECT_EQ(v210->caption(), "Ver. 2.10");
    EXPECT_FALSE(parseFirmwareVersion("WIFI-1"));
    EXPECT_FALSE(parseFirmwareVersion("wifi-1.05"));
    EXPECT_FALSE(parseFirmwareVersion("GARBAGE!!"));
}

}  // namespace
}  // namespace korvan
