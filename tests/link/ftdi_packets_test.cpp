#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/ftdi_bridge.h"

namespace korvan {
namespace {

// A packet as the bridge sends it: two status bytes, then `data`.
std::vector<std::uint8_t> packet(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes = {0x01, 0x60};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(FtdiPackets, EveryPacketsStatusBytesAreDroppedAndItsDataKeptInOrder) {
    constexpr std::size_t kPacket = 8;
    std::vector<std::uint8_t> transfer = packet({'A', 'B', 'C', 'D', 'E', 'F'});  // full
    const auto second = packet({'G', 'H', 'I', 'J', 'K', 'L'});                   // full
    const auto last = packet({'M', '$'});                                         // short
    transfer.insert(transfer.end(), second.begin(), second.end());
    transfer.insert(transfer.end(), last.begin(), last.end());
    std::vector<std::uint8_t> data = {'<'};  // what an earlier transfer left stays first
    appendPacketData(transfer, kPacket, data);
    EXPECT_EQ(std::string(data.begin(), data.end()), "<ABCDEFGHIJKLM$");
}

// A bridge with nothing to send answers with its status alone, every latency period.
TEST(FtdiPackets, StatusAloneOrAStubAddsNothing) {
    std::vector<std::uint8_t> data;
    appendPacketData(packet({}), 64, data);
    appendPacketData(std::vector<std::uint8_t>{0x01}, 64, data);
    appendPacketData({}, 64, data);
    EXPECT_TRUE(data.empty());
}

}  // namespace
}  // namespace korvan
