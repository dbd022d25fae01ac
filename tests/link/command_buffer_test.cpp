#include "link/command_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvan {
namespace {

std::vector<std::uint8_t> bytes(const CommandBuffer& command) {
    return {command.bytes().begin(), command.bytes().end()};
}

TEST(CommandBuffer, FormattingReplacesTheWholeCommand) {
    CommandBuffer command;
    command.FormatCommand("WFPOINT=%s;$", "a much longer access point name");
    command.FormatCommand("DHCP=%d;$", 1);
    EXPECT_EQ(command.text(), "DHCP=1;$");
    EXPECT_EQ(command.length(), 8u);
}

TEST(CommandBuffer, AppendedRecordBytesKeepTheirZeros) {
    CommandBuffer command;
    command.FormatCommand("GSM_SET_SMS,%d,", 1);
    const std::uint8_t record[] = {0x7F, 0x00, 0x24, 0x00};
    command.AppendCommandBytes(record);
    command.AppendCommandBytes("$");
    EXPECT_EQ(bytes(command),
              (std::vector<std::uint8_t>{'G', 'S', 'M', '_', 'S', 'E', 'T', '_', 'S', 'M', 'S', ',',
                                         '1', ',', 0x7F, 0x00, 0x24, 0x00, '$'}));
}

TEST(CommandBuffer, NeverHoldsMoreThan255Bytes) {
    CommandBuffer command;
    const std::string long300(300, 'x');
    command.FormatCommand("%s", long300.c_str());
    EXPECT_EQ(command.length(), 255u);
    command.FormatCommand("%s", std::string(250, 'y').c_str());
    command.AppendCommandBytes(std::string(10, 'z'));
    EXPECT_EQ(command.length(), 255u);
    EXPECT_EQ(command.text().substr(250), "zzzzz");
}

}  // namespace
}  // namespace korvan
