#include "sim/tracker_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "tests/support/sim_rig.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::SimulatedTracker;
using sim::TrackerStream;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string textOf(const std::vector<sim::TimedByte>& reply) {
    std::string text;
    for (const auto& b : reply) {
        text += static_cast<char>(b.byte);
    }
    return text;
}

// Each command the link wrote, with everything the bridge handed back for it.
class Exchanges final : public LinkObserver {
  public:
    std::vector<std::pair<std::string, std::string>> seen;

    void opened(const LinkTarget&) override {}
    void written(std::span<const std::uint8_t> bytes, Clock::Duration) override {
        seen.emplace_back(std::string(bytes.begin(), bytes.end()), std::string());
    }
    void received(std::span<const std::uint8_t> bytes, Clock::Duration) override {
        seen.back().second.append(bytes.begin(), bytes.end());
    }
    void closed(Clock::Duration) override {}
};

// A full read of a configured tracker, and the write of what it read, over the bridge: the
// Wi-Fi module's echoes, the records with a "$" inside and every query's binary reply.
std::vector<std::pair<std::string, std::string>> readAndWriteOverTheBridge() {
    testing::SimRig rig;
    rig.bridge.plug(SimulatedTracker::configured());
    Exchanges exchanges;
    rig.link.setObserver(&exchanges);
    NoProgress progress;
    auto read = readConfiguration(rig.link, ReadRequest{}, progress);
    EXPECT_TRUE(read.succeeded());
    // A threshold of 36 puts a "$" in the first input's record, which must not end the command.
    read.values.analog.inputs[0].changeThreshold = Number::of('$');
    read.values.identity.serialNumber = "90001";  // as detection shows it
    EXPECT_TRUE(writeConfiguration(rig.link, read.values, progress).succeeded());
    return exchanges.seen;
}

TEST(TrackerStream, AnswersAsTheBridgeDoesFedByteByByteOrInOneBlock) {
    const auto exchanges = readAndWriteOverTheBridge();
    ASSERT_GT(exchanges.size(), 40u);

    auto byteByByte = SimulatedTracker::configured();
    TrackerStream stream;
    std::string everything;
    std::string allReplies;
    for (const auto& [command, reply] : exchanges) {
        std::string answered;
        for (const char c : command) {
            const auto heard = stream.feed(byteByByte, bytesOf({&c, 1}), 0us);
            ASSERT_FALSE(heard.unplugged);
            answered += textOf(heard.reply);
        }
        EXPECT_EQ(answered, reply) << command;
        everything += command;
        allReplies += reply;
    }

    auto inOneBlock = SimulatedTracker::configured();
    TrackerStream blockStream;
    const auto heard = blockStream.feed(inOneBlock, bytesOf(everything), 0us);
    EXPECT_EQ(textOf(heard.reply), allReplies);
    EXPECT_EQ(inOneBlock.commands().size(), exchanges.size());
    EXPECT_EQ(inOneBlock.settings.inputs[0]->at(1), '$');
}

TEST(TrackerStream, TimesRepliesAsTheTrackerSendsThem) {
    auto tracker = SimulatedTracker::configured();
    tracker.injectFault(
        {.kind = Fault::Kind::SplitReply, .command = "FL_GET_RATE$", .keep = 1, .pause = 5ms});
    TrackerStream stream(10us);
    // The version (16 bytes on the line, 2 ms to think, 9 bytes back), then the period, whose
    // command arrives while the version is still being thought about.
    const auto heard = stream.feed(tracker, bytesOf("FL_READ_VERSION$FL_GET_RATE$"), 1ms);
    ASSERT_EQ(heard.reply.size(), 9u + 4u);
    const auto versionArrived = 1ms + 16 * 10us;
    EXPECT_EQ(heard.reply[0].due, versionArrived + 2ms + 10us);
    EXPECT_EQ(heard.reply[8].due, versionArrived + 2ms + 90us);
    // The period's command arrived 120 us after the version's: it waits only for its own 2 ms.
    const auto rateArrived = versionArrived + 12 * 10us;
    EXPECT_EQ(heard.reply[9].due, rateArrived + 2ms + 10us);
    EXPECT_EQ(heard.reply[10].due, rateArrived + 2ms + 5ms + 20us);

    // A command sent later starts on a free line, and after the tracker's last reply.
    const auto next = stream.feed(tracker, bytesOf("FL_GET_ADD_R$"), 0us);
    ASSERT_EQ(next.reply.size(), 2u);
    EXPECT_EQ(next.reply[0].due, heard.reply.back().due + 10us);
}

TEST(TrackerStream, HearsNothingAfterTheCommandThatPullsTheTrackerOut) {
    auto tracker = SimulatedTracker::pulledOutDuringWrite();
    TrackerStream stream;
    const std::string record(21, '\x7F');
    const auto heard = stream.feed(
        tracker, bytesOf("FL_GET_ADD_R$GSM_SET_SMS,3," + record + "$FL_READ_VERSION$"), 0us);
    EXPECT_TRUE(heard.unplugged);
    EXPECT_EQ(textOf(heard.reply), std::string("\x58\x02", 2));  // only the period before it
    EXPECT_EQ(tracker.commands().size(), 2u);
}

}  // namespace
}  // namespace korvan
