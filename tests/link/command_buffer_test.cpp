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
    command.formatCommand("WFPOINT=%s;$", "a much longer access point name");
    command.formatCommand("DHCP=%d;$", 1);
    EXPECT_EQ(command.text(), "DHCP=1;$");
    EXPECT_EQ(command.length(), 8u);
}

TEST(CommandBuffer, AppendedRecordBytesKeepTheirZeros) {
    CommandBuffer command;
    command.formatCommand("GSM_SET_SMS,%d,", 1);
    const std::uint8_t record[] = {0x7F, 0x00, 0x24, 0x00};
    command.appendCommandBytes(record);
    command.appendCommandBytes("$");
    EXPECT_EQ(bytes(command),
              (std::vector<std::uint8_t>{'G', 'S', 'M', '_', 'S', 'E', 'T', '_', 'S', 'M', 'S', ',',
                                         '1', ',', 0x7F, 0x00, 0x24, 0x00, '$'}));
}

TEST(CommandBuffer, NeverHoldsMoreThan255Bytes) {
    CommandBuffer command;
    const std::string long300(300, 'x');
    command.formatCommand("%s", long300.c_str());
    EXPECT_EQ(command.length(), 255u);
    command.formatCommand("%s", std::string(250, 'y').c_str());
    command.appendCommandBytes(std::string(10, 'z'));
    EXPECT_EQ(command.length(), 255u);
    EXPECT_EQ(command.text().substr(250), "zzzzz");
}

}  // namespace
}  // namespace korvan
