#include "link/wire_trace.h"

#include <gtest/gtest.h>

#include "protocol/command_table.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "core/form_mapping.h"
#include "link/trace_file.h"
#include "settings/settings_file.h"
#include "tests/support/form_operations.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedTracker;
using Lines = std::vector<std::string>;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string hexOf(std::string_view text) {
    std::string hex;
    for (const unsigned char c : text) {
        char pair[4];
        std::snprintf(pair, sizeof pair, hex.empty() ? "%02X" : " %02X", c);
        hex += pair;
    }
    return hex;
}

// The time of a line, in microseconds.
long long timeOf(const std::string& line) {
    const auto dot = line.find('.');
    return std::stoll(line.substr(1, dot - 1)) * 1000 + std::stoll(line.substr(dot + 1, 3));
}

TEST(WireTrace, EachEventIsOneLineWithItsTimeHexAndText) {
    Lines lines;
    WireTrace trace([&lines](std::string_view line) { lines.emplace_back(line); },
                    trafficSecrets());
    trace.opened(LinkTarget::serial("90001"));
    trace.written(bytesOf("FL_GET_RATE$"), 12'345us);
    const std::string reply("\x0A\x00\x7F", 3);
    trace.received(bytesOf(reply), 1'234'567us);
    trace.closed(1'300'000us);
    EXPECT_EQ(lines, (Lines{
                         "+    0.000 ms открыт трекер 90001",
                         "+   12.345 ms > 46 4C 5F 47 45 54 5F 52 41 54 45 24  |FL_GET_RATE$|",
                         "+ 1234.567 ms < 0A 00 7F  |...|",
                         "+ 1300.000 ms закрыт",
                     }));
}

TEST(WireTrace, SecretsAreMaskedInCommandsAndInTheRepliesThatCarryThem) {
    Lines lines;
    WireTrace trace([&lines](std::string_view line) { lines.emplace_back(line); },
                    trafficSecrets());
    trace.opened({});
    // A password reply that arrives in two chunks, asked twice: every byte of both is masked.
    for (int attempt = 0; attempt < 2; ++attempt) {
        trace.written(bytesOf("GSM_GET_PASSWORD$"), 1ms);
        trace.received(bytesOf("Sec"), 2ms);
        trace.received(bytesOf("ret_1"), 3ms);
    }
    trace.written(bytesOf("GWKEY$"), 4ms);
    trace.received(bytesOf("WKEY=2:"), 5ms);
    trace.received(bytesOf("abcdefghijklm;"), 6ms);
    trace.written(bytesOf("WKEY=1:k3y05;$"), 7ms);
    trace.received(bytesOf("WKEY=1:k3y05;"), 8ms);
    trace.written(bytesOf("GSM_SET_PASSWORD,Secret_1$"), 9ms);
    trace.received(bytesOf("SET_OK"), 10ms);
    // After the secret's command, the next reply is shown again.
    trace.written(bytesOf("GSERPORT$"), 11ms);
    trace.received(bytesOf("SERPORT=2224;"), 12ms);

    for (const auto& line : lines) {
        for (const std::string_view secret : {"Secret_1", "k3y05", "abcdefghijklm", "Sec", "ret"}) {
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
            EXPECT_EQ(line.find(hexOf(secret)), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(lines[3].ends_with("< ** ** ** ** **  |*****|"));
    EXPECT_TRUE(lines[8].ends_with("< 57 4B 45 59 3D 32 3A  |WKEY=2:|"));
    EXPECT_TRUE(lines[9].ends_with("|**************|"));
    EXPECT_TRUE(
        lines[10].ends_with("> 57 4B 45 59 3D 31 3A ** ** ** ** ** 3B 24  |WKEY=1:*****;$|"));
    EXPECT_TRUE(lines[11].ends_with("|WKEY=1:******|"));
    EXPECT_TRUE(lines[12].ends_with("|GSM_SET_PASSWORD,********$|"));
    EXPECT_TRUE(lines[13].ends_with("|SET_OK|"));
    EXPECT_TRUE(lines[15].ends_with("|SERPORT=2224;|"));
}

TEST(WireTrace, MaskedCommandHidesOnlyThePasswordAndTheKey) {
    EXPECT_EQ(maskSecrets("GSM_SET_PASSWORD,Fleet_07$"), "GSM_SET_PASSWORD,********$");
    EXPECT_EQ(maskSecrets("WKEY=2:abcdefghijklm;$"), "WKEY=2:*************;$");
    EXPECT_EQ(maskSecrets("WKEY=0:;$"), "WKEY=0:;$");
    // A key with its own ";" is masked up to the closing one.
    EXPECT_EQ(maskSecrets("WKEY=1:a;b;c;$"), "WKEY=1:*****;$");
    EXPECT_EQ(maskSecrets("WFPOINT=Depot-North;$"), "WFPOINT=Depot-North;$");
    EXPECT_EQ(maskSecrets("GSM_GET_PASSWORD$"), "GSM_GET_PASSWORD$");
}

// A read and a write of a simulated tracker, traced as the window traces them.
class TracedOperations : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    testing::SimRig rig;
    FieldModel model;
    Lines lines;
    WireTrace trace{[this](std::string_view line) { lines.emplace_back(line); }, trafficSecrets()};
    SimulatedTracker* tracker = nullptr;

    void SetUp() override {
        tracker = &rig.bridge.plug(SimulatedTracker::configured("90001"));
        rig.link.setObserver(&trace);
        model.deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        model.setText(Field::SerialNumber, "90001");
        model.showMac(90001);
        loadSettings(model, folder / "first-run.ini");
    }
    long sentLines() const {
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(" ms > ") != std::string::npos;
        });
    }
};

TEST_F(TracedOperations, EveryCommandAndReplyIsTracedAndNoSecretShows) {
    ASSERT_TRUE(testing::readIntoForm(rig.link, model));
    const auto readCommands = tracker->commands().size();
    EXPECT_EQ(sentLines(), static_cast<long>(readCommands));
    model.setText(Field::ServerPassword, "Qz8#Lm2x");
    NoProgress progress;
    const auto written = writeConfiguration(rig.link, configurationFromForm(model), progress);
    ASSERT_TRUE(written.succeeded());
    EXPECT_EQ(tracker->settings.password, "Qz8#Lm2x");
    EXPECT_EQ(sentLines(), static_cast<long>(tracker->commands().size()));

    // Each link opens and closes once; every command has its reply after it, which comes later
    // on the wire; a command goes out as the last reply is in.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const auto& line) {
                                return line.ends_with(" открыт первый трекер в списке");
                            }),
              2);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const auto& line) { return line.ends_with(" закрыт"); }),
              2);
    long long last = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (line.find(" ms > ") != std::string::npos) {
            ASSERT_LT(i + 1, lines.size());
            EXPECT_NE(lines[i + 1].find(" ms < "), std::string::npos) << line;
            EXPECT_GT(timeOf(lines[i + 1]), timeOf(line)) << line;
        }
        if (line.find(" ms открыт") != std::string::npos) {
            last = -1;  // the second link counts from its own open
        }
        EXPECT_GE(timeOf(line), last) << line;
        last = timeOf(line);
        for (const std::string_view secret : {"Fleet_07", "Qz8#Lm2x", "k3y05"}) {
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
            EXPECT_EQ(line.find(hexOf(secret)), std::string::npos) << line;
        }
    }
}

TEST_F(TracedOperations, ARefusedOpenIsNotTracedAndAnObserverRemovedSeesNothing) {
    rig.link.setTarget(LinkTarget::serial("12345"));
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoDevice);
    rig.link.closePort();
    EXPECT_TRUE(lines.empty());
    rig.link.setObserver(nullptr);
    rig.link.setTarget({});
    ASSERT_TRUE(testing::readIntoForm(rig.link, model));
    EXPECT_TRUE(lines.empty());
}

TEST(TraceFile, AppendsWholeLinesToAFileCreatedForTheUserAlone) {
    testing::TempFolder folder;
    const auto path = folder / "trace.log";
    for (const char* line : {"+    0.000 ms открыт", "+    1.000 ms закрыт"}) {
        std::string error;
        auto file = TraceFile::open(path, error);
        ASSERT_TRUE(file) << error;
        file->writeLine(line);
    }
    EXPECT_EQ(testing::readBytes(path), "+    0.000 ms открыт\n+    1.000 ms закрыт\n");
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    std::string error;
    EXPECT_FALSE(TraceFile::open(folder / "missing" / "trace.log", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// Every three characters in a row of `secret`: a piece of it that must not show either.
std::vector<std::string> piecesOf(std::string_view secret) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i + 3 <= secret.size(); ++i) {
        pieces.emplace_back(secret.substr(i, 3));
    }
    return pieces;
}

TEST_F(TracedOperations, ASecretThatComesLateAfterTheNextCommandIsStillMasked) {
    // The key's and the password's replies are cut at every point and finished after a pause
    // that runs from well inside one read's wait to well past it, while the link has moved on
    // to its next command.
    int sweeps = 0;
    for (const char* asked : {"GWKEY$", "GSM_GET_PASSWORD$"}) {
        for (std::size_t keep : {1, 4, 6, 7, 8, 9, 11}) {
            for (auto pause : {1ms, 7ms, 30ms, 120ms, 499ms, 501ms, 900ms, 2000ms}) {
                SCOPED_TRACE(std::string(asked) + " kept " + std::to_string(keep) + ", paused " +
                             std::to_string(pause.count()) + " ms");
                lines.clear();
                tracker->injectFault({.kind = sim::Fault::Kind::SplitReply,
                                      .command = asked,
                                      .keep = keep,
                                      .pause = pause});
                testing::readIntoForm(rig.link, model);
                ++sweeps;
                for (const auto& line : lines) {
                    for (const std::string_view secret : {"k3y05", "Fleet_07"}) {
                        EXPECT_EQ(line.find(hexOf(secret.substr(0, 3))), std::string::npos) << line;
                        for (const auto& piece : piecesOf(secret)) {
                            EXPECT_EQ(line.find("|" + piece), std::string::npos) << line;
                            EXPECT_EQ(line.find(piece + "|"), std::string::npos) << line;
                            EXPECT_EQ(line.find(piece), std::string::npos) << line;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(sweeps, 2 * 7 * 8);
}

TEST(WireTrace, BytesOfASecretThatComeAfterTheNextCommandAreMasked) {
    Lines lines;
    WireTrace trace([&lines](std::string_view line) { lines.emplace_back(line); },
                    trafficSecrets());
    trace.opened({});
    trace.written(bytesOf("GWKEY$"), 1ms);
    trace.received(bytesOf("WKEY=2:abc"), 2ms);
    trace.written(bytesOf("GWFPOINT$"), 3ms);
    trace.received(bytesOf("defghijklm;WFPOINT=Depot;"), 4ms);
    trace.written(bytesOf("GSM_GET_PASSWORD$"), 5ms);
    trace.written(bytesOf("FL_GET_NDIST$"), 6ms);
    trace.received(bytesOf("Secret_1NDIST=1"), 7ms);
    EXPECT_TRUE(lines[2].ends_with("|WKEY=2:***|")) << lines[2];
    EXPECT_TRUE(lines[4].ends_with("|***********WFPOINT=Depot;|")) << lines[4];
    EXPECT_TRUE(lines[7].ends_with("|********NDIST=1|")) << lines[7];
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST(TraceFile, OnlyARegularFileOrStandardErrorIsTakenAndAFailedWriteIsKept) {
    testing::TempFolder folder;
    std::string error;
    EXPECT_FALSE(TraceFile::open(folder / ".", error));  // a folder
    EXPECT_FALSE(error.empty());
#ifndef _WIN32
    // A pipe nobody reads would hold the program up before it has done anything.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    error.clear();
    EXPECT_FALSE(TraceFile::open(folder / "pipe", error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(TraceFile::open("/dev/null", error));
    EXPECT_EQ(error, "это не обычный файл");
    auto toError = TraceFile::open("-", error);
    ASSERT_TRUE(toError) << error;
    EXPECT_EQ(toError->failure(), std::nullopt);
#endif
    auto file = TraceFile::open(folder / "trace.log", error);
    ASSERT_TRUE(file) << error;
    file->writeLine("+    0.000 ms открыт");
    EXPECT_EQ(file->failure(), std::nullopt);
#ifndef _WIN32
    // A file that cannot grow (a full disk, a quota): the failure is kept to be told.
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto quiet = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    file->writeLine(std::string(200, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, quiet);
    EXPECT_NE(file->failure(), std::nullopt);
#endif
}

}  // namespace
}  // namespace korvan
