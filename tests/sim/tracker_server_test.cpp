#include "sim/tracker_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "base/file_io.h"
#include "sim/tracker_choices.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::Descriptor;
using sim::SimulatedTracker;
using sim::TrackerServer;
using Ended = TrackerServer::Ended;

// What arrives on `fd` within `wait`: at most `count` bytes; fewer when the wait is over or the
// other end closed.
std::string readFor(int fd, std::size_t count, std::chrono::milliseconds wait) {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + wait;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        pollfd watched{fd, POLLIN, 0};
        if (left <= 0ms || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[512];
        const auto n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// True when the other end has closed `fd` within a second.
bool closedByPeer(int fd) {
    pollfd watched{fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&watched, 1, 1000) > 0 && ::read(fd, &byte, 1) == 0;
}

// The server on its own thread, serving connections one after the other, as the program does;
// the test holds the program's end of each.
class Served : public ::testing::Test {
  protected:
    std::optional<TrackerServer> server;
    Descriptor stopRead, stopWrite;
    std::jthread thread;
    std::optional<Ended> ended;

    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        stopRead = Descriptor(ends[0]);
        stopWrite = Descriptor(ends[1]);
    }
    // A test that ended early still gets its server thread back.
    void TearDown() override {
        stop();
        finish();
    }
    void stop() { [[maybe_unused]] const auto written = ::write(stopWrite.get(), "x", 1); }

    // A connection over a socket pair; the server end is closed when it is served.
    Descriptor connect() {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        serve(Descriptor(ends[1]));
        return Descriptor(ends[0]);
    }
    void serve(Descriptor serverEnd) {
        finish();
        thread = std::jthread([this, end = std::move(serverEnd)] {
            ended = server->serve(end.get(), stopRead.get());
        });
    }
    Ended finish() {
        if (thread.joinable()) {
            thread.join();
        }
        return ended.value_or(Ended::Failed);
    }
    static void send(const Descriptor& fd, std::string_view bytes) {
        ASSERT_TRUE(writeAll(fd.get(), bytes));
    }
};

TEST_F(Served, AnswersAQueryAfterTheTrackersOwnTimeAndNotBefore) {
    server.emplace(SimulatedTracker::configured());
    auto program = connect();
    const auto start = std::chrono::steady_clock::now();
    send(program, "FL_READ_VERSION$");
    EXPECT_EQ(readFor(program.get(), 9, 2s), "WIFI-1.05");
    EXPECT_GE(std::chrono::steady_clock::now() - start, sim::SimulatedTracker::kTrackerProcessing);
    // The Wi-Fi module answers with its own text, ...
    send(program, "GDHCP$");
    EXPECT_EQ(readFor(program.get(), 7, 2s), "DHCP=1;");
    // ... and nothing more is sent: the reply is whole.
    EXPECT_EQ(readFor(program.get(), 1, 50ms), "");
    program = Descriptor();
    EXPECT_EQ(finish(), Ended::Closed);
}

TEST_F(Served, RecordsExactlyTheBytesReceivedAcrossConnections) {
    testing::TempFolder folder;
    const auto recordPath = folder / "received.bin";
    server.emplace(SimulatedTracker::configured());
    server->recordInto(Descriptor(::open(recordPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600)));
    const std::string record = std::string("\0\xFF$\n", 4) + std::string(17, '\x7F');
    const std::string first = "GSM_SET_SMS,2," + record + "$GSM_GET_PASS";  // cut off
    const std::string second = "FL_GET_MODE$";

    auto program = connect();
    send(program, first);
    EXPECT_EQ(readFor(program.get(), 6, 2s), "SET_OK");
    program = Descriptor();
    EXPECT_EQ(finish(), Ended::Closed);
    program = connect();
    send(program, second);
    // The command cut off by the disconnect is lost; the record written stays.
    EXPECT_EQ(readFor(program.get(), 6, 2s), "MODE=1");
    program = Descriptor();
    finish();
    EXPECT_EQ(server->tracker().settings.inputs[1]->at(2), '$');
    EXPECT_EQ(testing::readBytes(recordPath), first + second);
}

TEST_F(Served, FaultsChosenByNameSpoilTheRepliesAndAnUnplugEndsTheConnection) {
    auto tracker = SimulatedTracker::configured();
    std::string error;
    for (const char* text : {"no-reply:FL_GET_MODE$:2", "split-reply:FL_READ_VERSION$:1:4:300",
                             "unplug:FL_GET_RATE$"}) {
        tracker.injectFault(*sim::parseFaultChoice(text, error));
    }
    server.emplace(std::move(tracker));
    std::vector<std::string> told;
    server->tell = [&](std::string_view line) { told.emplace_back(line); };
    auto program = connect();
    send(program, "FL_GET_MODE$FL_GET_MODE$FL_GET_MODE$");
    EXPECT_EQ(readFor(program.get(), 6, 2s), "MODE=1");

    send(program, "FL_READ_VERSION$");
    EXPECT_EQ(readFor(program.get(), 9, 150ms), "WIFI");
    EXPECT_EQ(readFor(program.get(), 5, 2s), "-1.05");

    send(program, "FL_GET_RATE$FL_GET_ADD_R$");
    EXPECT_EQ(finish(), Ended::Unplugged);
    EXPECT_TRUE(closedByPeer(program.get()));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("unplug"), std::string::npos);

    // Plugged in again: the unplug was used up, the tracker answers.
    program = connect();
    send(program, "FL_GET_RATE$");
    EXPECT_EQ(readFor(program.get(), 4, 2s), std::string("\x0A\0\0\0", 4));
    program = Descriptor();
    finish();
}

TEST_F(Served, AStopEndsTheConnectionAtOnce) {
    server.emplace(SimulatedTracker::muted());
    auto program = connect();
    send(program, "FL_READ_VERSION$");
    stop();
    EXPECT_EQ(finish(), Ended::Stopped);
}

TEST_F(Served, ListensOnTheLoopbackAndAnswersOverTcp) {
    server.emplace(SimulatedTracker::erased("00007"));
    std::string error;
    auto listener = sim::listenOn("127.0.0.1:0", error);
    ASSERT_TRUE(listener) << error;
    ASSERT_NE(listener->port, 0);

    Descriptor program(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(listener->port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(program.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    serve(Descriptor(::accept(listener->socket.get(), nullptr, nullptr)));
    send(program, "GSM_GET_PASSWORD$");
    EXPECT_EQ(readFor(program.get(), 8, 2s), std::string("EMPTY\0\0\0", 8));
    program = Descriptor();
    EXPECT_EQ(finish(), Ended::Closed);

    EXPECT_FALSE(sim::listenOn("127.0.0.1", error));
    EXPECT_FALSE(sim::listenOn(std::string("127.0.0.1:") + std::to_string(listener->port), error));
}

TEST_F(Served, AnswersASerialTerminalOnAPseudoTerminal) {
    server.emplace(SimulatedTracker::configured());
    std::string error;
    auto pty = sim::openPseudoTerminal(error);
    ASSERT_TRUE(pty) << error;
    Descriptor terminal(::open(pty->path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(terminal);
    const std::string path = pty->path;
    thread = std::jthread([this, line = std::move(*pty)] {
        ended = server->serve(line.master.get(), stopRead.get());
    });
    // Raw both ways: the command is not echoed back into the tracker, and the log's LF byte
    // comes without a CR.
    send(terminal, "DEBUG_READ_LOG,0,4$");
    EXPECT_EQ(readFor(terminal.get(), 5, 300ms), "\x03\x0A\x11\x18");
    // A terminal closed and opened again finds the tracker still there.
    terminal = Descriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    send(terminal, "GDHCP$");
    EXPECT_EQ(readFor(terminal.get(), 7, 2s), "DHCP=1;");
    stop();
    EXPECT_EQ(finish(), Ended::Stopped);
}

}  // namespace
}  // namespace korvan
