#include "protocol/exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/cp1251.h"
#include "protocol/command_table.h"
#include "protocol/session.h"
#include "tests/support/sim_rig.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::SimulatedTracker;

class ExchangeTest : public ::testing::Test {
  protected:
    testing::SimRig rig;
    SimulatedTracker& tracker = rig.bridge.plug(SimulatedTracker::configured());

    void SetUp() override { ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened); }

    ExchangeResult run(const std::string& command, ExchangeRule rule) {
        rig.link.commandText.formatCommand("%s", command.c_str());
        return exchange(rig.link, rule);
    }
};

// Judges a reply given as bytes, without a device.
bool judge(const ExchangeRule& rule, std::string_view received, Reply& reply,
           std::string_view command = "") {
    CommandBuffer buffer;
    buffer.formatCommand("%.*s", static_cast<int>(command.size()), command.data());
    const std::size_t asked =
        rule.acceptance == Acceptance::Echo ? command.size() - 1 : rule.replyLength;
    reply = Reply(asked);
    const auto into = reply.readInto();
    const std::size_t count = std::min(received.size(), into.size());
    std::copy_n(received.begin(), count, into.begin());
    reply.setCount(count);
    return accepts(rule, buffer, reply);
}

TEST(Acceptance, CountWantsExactlyTheLengthAsked) {
    Reply reply;
    EXPECT_TRUE(judge({Acceptance::Count, 7, {}}, "NDIST=1", reply));
    EXPECT_FALSE(judge({Acceptance::Count, 7, {}}, "NDIST=", reply));
    EXPECT_TRUE(judge({Acceptance::Count, 5, {}}, std::string("EMP\0Y", 5), reply));
}

TEST(Acceptance, PrefixTakesTheRestWithoutTheLastByte) {
    const ExchangeRule devip{Acceptance::Prefix, 23, "DEVIP="};
    Reply reply;
    ASSERT_TRUE(judge(devip, "DEVIP=192.168.0.2;", reply));
    EXPECT_EQ(reply.value, "192.168.0.2");
    ASSERT_TRUE(judge(devip, "DEVIP=;", reply));
    EXPECT_EQ(reply.value, "");
    ASSERT_TRUE(judge(devip, "DEVIP=192.168.0.2", reply));  // no ";": the last digit is lost
    EXPECT_EQ(reply.value, "192.168.0.");
    EXPECT_FALSE(judge(devip, "DEVIP", reply));
    EXPECT_FALSE(judge(devip, "NETMASK=255.0.0.0;", reply));
    EXPECT_FALSE(judge(devip, "", reply));
}

TEST(Acceptance, ParseWantsEveryNumberOfTheFormat) {
    const ExchangeRule dhcp{Acceptance::Parse, 8, "DHCP=%d;"};
    Reply reply;
    ASSERT_TRUE(judge(dhcp, "DHCP=0;", reply));
    EXPECT_EQ(reply.numbers, std::vector<int>{0});
    EXPECT_FALSE(judge(dhcp, "DHCP=x;", reply));
    EXPECT_FALSE(judge(dhcp, "", reply));
    const ExchangeRule key{Acceptance::Parse, 22, "WKEY=%d:"};
    ASSERT_TRUE(judge(key, "WKEY=2:0123456789abc;", reply));
    EXPECT_EQ(reply.numbers, std::vector<int>{2});
}

TEST(Acceptance, EchoWantsTheCommandWithoutItsDollar) {
    const ExchangeRule echo{Acceptance::Echo, 0, {}};
    Reply reply;
    ASSERT_TRUE(judge(echo, "DHCP=1;", reply, "DHCP=1;$"));
    CommandBuffer command;
    command.formatCommand("DHCP=1;$");
    EXPECT_TRUE(echoMatches(reply, command));
    // Only seven bytes are read, so a line end after the echo does no harm.
    ASSERT_TRUE(judge(echo, "DHCP=1;\r\n", reply, "DHCP=1;$"));
    EXPECT_TRUE(echoMatches(reply, command));
    ASSERT_TRUE(judge(echo, "DHCP=0;", reply, "DHCP=1;$"));
    EXPECT_FALSE(echoMatches(reply, command));
    EXPECT_FALSE(judge(echo, "DHCP=1", reply, "DHCP=1;$"));
}

TEST(Acceptance, TextComparisonsStopAtAZeroBothSidesShare) {
    Reply reply;
    judge({Acceptance::Count, 8, {}}, std::string("EMPTY\0\0\0", 8), reply);
    EXPECT_TRUE(reply.startsWith("EMPTY"));
    EXPECT_TRUE(reply.startsWith(std::string_view("EMPTY\0XY", 8)));
    EXPECT_FALSE(reply.startsWith("EMPTY!"));
    EXPECT_EQ(reply.text(), "EMPTY");
}

TEST_F(ExchangeTest, AnAnsweredCommandIsSentOnce) {
    const auto result = run("GDHCP$", {Acceptance::Parse, 8, "DHCP=%d;"});
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.attempts, 1);
    EXPECT_EQ(result.reply.numbers, std::vector<int>{1});
    EXPECT_EQ(tracker.commands(), std::vector<std::string>{"GDHCP$"});
}

TEST_F(ExchangeTest, FailedAttemptsAreRepeatedUntilOnePasses) {
    tracker.injectFault({.kind = Fault::Kind::ShortReply, .command = "FL_GET_RATE$", .keep = 3});
    tracker.injectFault(
        {.kind = Fault::Kind::NoReply, .command = "FL_GET_RATE$", .occurrence = 2, .times = 2});
    tracker.injectFault({.kind = Fault::Kind::Garbage, .command = "FL_GET_RATE$", .occurrence = 4});
    const auto result = run("FL_GET_RATE$", {Acceptance::Count, 4, {}});
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.attempts, 4);  // garbage of the right length passes a count test
    EXPECT_EQ(tracker.commands().size(), 4u);
}

TEST_F(ExchangeTest, TenSilentAttemptsFailInSixVirtualSeconds) {
    tracker.injectFault({.kind = Fault::Kind::NoReply, .command = "GSERIP$", .times = 100});
    const auto start = rig.clock.now();
    const auto result = run("GSERIP$", {Acceptance::Prefix, 23, "SERIP="});
    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(result.attempts, 10);
    EXPECT_EQ(rig.elapsedSince(start), 6000ms);
    EXPECT_EQ(tracker.commands(), std::vector<std::string>(10, "GSERIP$"));
}

TEST_F(ExchangeTest, AWrongEchoIsAcceptedThenFoundWrong) {
    tracker.injectFault({.kind = Fault::Kind::WrongEcho, .command = "SERPORT="});
    const auto result = run("SERPORT=2224;$", {Acceptance::Echo, 0, {}});
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.attempts, 1);
    EXPECT_FALSE(echoMatches(result.reply, rig.link.commandText));
}

TEST_F(ExchangeTest, WifiRepliesEndEarlyWithoutChangingWhatIsAccepted) {
    auto start = rig.clock.now();
    auto result = run("GWFPOINT$", {Acceptance::Prefix, 44, "WFPOINT="});
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.reply.value, "Depot-North");
    EXPECT_LT(rig.elapsedSince(start), 50ms);

    rig.link.setEarlyCompletion(false);
    start = rig.clock.now();
    result = run("GWFPOINT$", {Acceptance::Prefix, 44, "WFPOINT="});
    EXPECT_EQ(result.reply.value, "Depot-North");
    EXPECT_EQ(rig.elapsedSince(start), 500ms);
}

// The read's Wi-Fi queries whose value cannot hold ";" are taken at it, as soon as a read of
// the reply's exact length would end: no idle gap after them.
TEST_F(ExchangeTest, AWifiValueIsTakenAtItsSemicolonWithoutAnIdleWait) {
    for (Setting setting :
         {Setting::Addressing, Setting::Authentication, Setting::ServerAddress, Setting::ServerPort,
          Setting::DeviceAddress, Setting::Netmask, Setting::Gateway}) {
        const QueryCommand& query = commandsFor(setting).query;
        SCOPED_TRACE(query.command);
        auto start = rig.clock.now();
        const auto result = run(query.command, query.rule);
        const auto took = rig.clock.now() - start;
        ASSERT_TRUE(result.accepted);
        EXPECT_EQ(result.reply.bytes().back(), ';');
        start = rig.clock.now();
        const auto exact = run(query.command, {Acceptance::Count, result.reply.count(), {}});
        ASSERT_TRUE(exact.accepted);
        EXPECT_EQ(took, rig.clock.now() - start);
    }
}

// The access point's name and the key may hold ";": a pause of the module just after one,
// shorter than the idle gap, does not cut them.
TEST_F(ExchangeTest, ANameOrKeyHoldingASemicolonIsReadWholeAfterTheIdleGap) {
    tracker.settings.accessPoint = "Depot;North";
    tracker.settings.key = "ab;cd";
    const struct {
        Setting setting;
        std::string whole;
        std::size_t pauseAfter;  // the ";" inside
    } cases[] = {
        {Setting::AccessPoint, "WFPOINT=Depot;North;", 14},
        {Setting::Encryption, "WKEY=1:ab;cd;", 10},
    };
    for (const auto& c : cases) {
        const QueryCommand& query = commandsFor(c.setting).query;
        SCOPED_TRACE(query.command);
        ASSERT_EQ(c.whole[c.pauseAfter - 1], ';');
        tracker.injectFault({.kind = Fault::Kind::SplitReply,
                             .command = query.command,
                             .keep = c.pauseAfter,
                             .pause = Link::kIdleGap - Link::kPollInterval});
        const auto result = run(query.command, query.rule);
        ASSERT_TRUE(result.accepted);
        EXPECT_EQ(result.attempts, 1);
        EXPECT_EQ(result.reply.text(), c.whole);
        TrackerConfiguration read;
        EXPECT_EQ(query.decode(result.reply, read), Decoded::Taken);
        if (c.setting == Setting::AccessPoint) {
            EXPECT_EQ(read.network.accessPoint, "Depot;North");
        } else {
            EXPECT_EQ(read.network.key, "ab;cd");
        }
    }
}

TEST_F(ExchangeTest, AFatalFailureClosesTheLinkAndSaysSoInRed) {
    Outcome outcome;
    NoProgress progress;
    Session session(rig.link, outcome, progress, 1);
    outcome.tell(Severity::Failure, "Ошибка чтения способа записи");
    EXPECT_TRUE(rig.link.isOpen());
    session.fail("Ошибка чтения DHCP");
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_EQ(outcome.ending, Ending::Failed);
    ASSERT_EQ(outcome.messages.size(), 2u);
    EXPECT_EQ(outcome.messages[1].severity, Severity::Fatal);
    EXPECT_EQ(outcome.messages[1].text, cp1251::fromUtf8("Ошибка чтения DHCP"));
}

TEST_F(ExchangeTest, ACancelOrAPulledTrackerEndsTheAttemptsAtOnce) {
    tracker.injectFault({.kind = Fault::Kind::NoReply, .command = "FL_GET_RATE$", .times = 10});
    rig.link.requestCancel();
    auto result = run("FL_GET_RATE$", {Acceptance::Count, 4, {}});
    EXPECT_TRUE(result.interrupted);
    EXPECT_EQ(result.attempts, 0);
    EXPECT_TRUE(tracker.commands().empty());

    // A cancel that comes while the tracker keeps silent ends the wait for its reply.
    rig.link.clearCancel();
    rig.link.commandText.formatCommand("FL_GET_RATE$");
    rig.link.sendCommand();
    rig.link.requestCancel();
    std::uint8_t reply[4];
    const auto start = rig.clock.now();
    EXPECT_EQ(rig.link.readPort(reply), 0u);
    EXPECT_LT(rig.elapsedSince(start), 2ms);

    rig.link.clearCancel();
    tracker.injectFault({.kind = Fault::Kind::Unplug, .command = "FL_GET_ADD_R$"});
    result = run("FL_GET_ADD_R$", {Acceptance::Count, 2, {}});
    EXPECT_TRUE(result.interrupted);
    EXPECT_EQ(result.attempts, 1);
    EXPECT_TRUE(rig.link.deviceGone());
}

// A clock that does something once a given moment has come, as a technician's cancel or an
// unplug arriving in the middle of a reply.
class ActingClock final : public Clock {
  public:
    Duration now() const override { return time_.now(); }
    void sleepFor(Duration duration) override {
        time_.sleepFor(duration);
        if (action && time_.now() >= at) {
            std::exchange(action, nullptr)();
        }
    }
    std::function<void()> action;
    Duration at{};

  private:
    VirtualClock time_;
};

TEST(ExchangeCancel, AReplyCutOffByACancelOrAnUnplugIsNotTakenEvenWhenItsStartFits) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplugged" : "cancelled");
        ActingClock clock;
        sim::SimulatedBridge bridge(clock);
        Link link(bridge, clock);
        auto& tracker = bridge.plug(SimulatedTracker::configured());
        tracker.injectFault(
            {.kind = Fault::Kind::SplitReply, .command = "GSERIP$", .keep = 9, .pause = 200ms});
        ASSERT_EQ(link.openPort(), OpenOutcome::Opened);
        clock.at = clock.now() + 100ms;  // "SERIP=192" is in, the rest is on its way
        clock.action = [&] { unplug ? bridge.unplug(0) : link.requestCancel(); };
        link.commandText.formatCommand("GSERIP$");
        const auto result = exchange(link, {Acceptance::Prefix, 23, "SERIP="});
        EXPECT_FALSE(result.accepted);
        EXPECT_TRUE(result.interrupted);
        EXPECT_EQ(result.attempts, 1);
    }
}

}  // namespace
}  // namespace korvan
