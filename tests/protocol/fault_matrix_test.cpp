// Every exchange of the read, the write and the debug-log operations, crossed with every way a
// tracker can fail it: no reply, a short one, another reply, a corrupted byte, garbage of the
// right length, a reply split by a pause, and the tracker pulled out as the command arrives
// (told by the bridge as "gone", and as the libftdi1 backend tells it, "failed"). Each case
// must leave the link closed, send nothing after the operation's ending was decided, tell the
// success only when every step was confirmed, and leave an existing database byte for byte as
// it was unless the write was confirmed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/form_outcomes.h"
#include "core/scripted_desktop.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "tests/protocol/expected_rows.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wire_tap.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using testing::ansi;
using namespace expected;

struct FaultCase {
    Fault::Kind kind;
    BridgeStatus unplugged = BridgeStatus::DeviceGone;  // what the bridge says once it is out
    const char* name;
};

const FaultCase kCases[] = {
    {Fault::Kind::NoReply, BridgeStatus::DeviceGone, "no reply"},
    {Fault::Kind::ShortReply, BridgeStatus::DeviceGone, "short reply"},
    {Fault::Kind::WrongReply, BridgeStatus::DeviceGone, "another reply"},
    {Fault::Kind::WrongEcho, BridgeStatus::DeviceGone, "a byte corrupted"},
    {Fault::Kind::Garbage, BridgeStatus::DeviceGone, "garbage"},
    {Fault::Kind::SplitReply, BridgeStatus::DeviceGone, "split reply"},
    {Fault::Kind::Unplug, BridgeStatus::DeviceGone, "unplugged"},
    {Fault::Kind::Unplug, BridgeStatus::Failed, "unplugged, told as a failure"},
};

// The nth time (1-based) the command of `rows[index]` is sent in a full run.
int occurrenceOf(const std::vector<Row>& rows, std::size_t index) {
    int n = 0;
    for (std::size_t i = 0; i <= index; ++i) {
        n += std::string(rows[i].command) == rows[index].command ? 1 : 0;
    }
    return n;
}

Fault faultFor(const FaultCase& c, const char* command, int occurrence) {
    Fault fault{.kind = c.kind, .command = command, .occurrence = occurrence, .times = 10};
    if (c.kind == Fault::Kind::ShortReply || c.kind == Fault::Kind::SplitReply) {
        fault.keep = 1;
    }
    // Well past the idle gap: a read that took that silence for a reply's end would cut it.
    fault.pause = 3 * Link::kIdleGap;
    fault.replacement = "ERROR";
    return fault;
}

bool everyStepConfirmed(const Outcome& outcome) {
    return outcome.ending == Ending::Done &&
           std::all_of(outcome.steps.begin(), outcome.steps.end(),
                       [](const Step& step) { return step.status == StepStatus::Done; });
}

// One case: a rig of its own, and the checks that every operation must pass.
struct Rig {
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    testing::WireTap wire{bridge};
    Link link{wire, clock};

    explicit Rig(const FaultCase& c) { bridge.setUnpluggedStatus(c.unplugged); }

    void expectEndedCleanly(const Outcome& outcome, const FaultCase& c) {
        EXPECT_FALSE(link.isOpen());
        const auto& calls = bridge.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"),
                  std::count(calls.begin(), calls.end(), "close"));
        if (c.kind == Fault::Kind::Unplug) {
            EXPECT_EQ(outcome.ending, Ending::DeviceGone);
            ASSERT_FALSE(outcome.messages.empty());
            EXPECT_EQ(outcome.messages.back().text, ansi(kDeviceGoneMessage));
            // The first failed call ended it: no attempt was made after the unplug.
            ASSERT_FALSE(outcome.steps.empty());
            EXPECT_EQ(outcome.steps.back().status, StepStatus::Interrupted);
            EXPECT_LE(outcome.steps.back().attempts, 1);
        }
        if (outcome.ending != Ending::Done && !outcome.steps.empty()) {
            // Nothing was sent after the step that ended the operation.
            const auto sent = wire.sent();
            ASSERT_FALSE(sent.empty());
            const std::string& last = outcome.steps.back().command;
            const bool ofLastStep = sent.back().rfind(last, 0) == 0 ||
                                    (last == "DEBUG_GET_PTR$" && sent.back() == "DEBUG_CLEAR_LOG$");
            EXPECT_TRUE(ofLastStep) << sent.back() << " after " << last;
        }
    }
};

struct Matrix : ::testing::Test {
    static inline int cases = 0;
    static inline int wronglySucceeded = 0;
    static void TearDownTestSuite() {
        std::printf("[ fault matrix ] %d cases run, %d told as a success wrongly\n", cases,
                    wronglySucceeded);
    }
    // The success is told exactly when every step was confirmed.
    static void expectSuccessOnlyWhenConfirmed(const Outcome& outcome, bool toldSuccess) {
        const bool confirmed = everyStepConfirmed(outcome);
        EXPECT_EQ(toldSuccess, confirmed);
        if (toldSuccess && !confirmed) {
            ++wronglySucceeded;
        }
        ++cases;
    }
};

TEST_F(Matrix, EveryReadExchangeUnderEveryFault) {
    const std::string success = ansi("Данные успешно считаны из устройства");
    for (std::size_t i = 0; i < kReadRows.size(); ++i) {
        const Row& row = kReadRows[i];
        for (const FaultCase& c : kCases) {
            SCOPED_TRACE(std::string(row.command) + ", " + c.name);
            Rig rig(c);
            auto& tracker = rig.bridge.plug(SimulatedTracker::configured());
            tracker.settings.dhcp = 0;  // every query is asked
            tracker.injectFault(faultFor(c, row.command, occurrenceOf(kReadRows, i)));
            FieldModel model;
            ScriptedDesktop boxes;
            NoProgress progress;
            const ReadOutcome outcome = readConfiguration(rig.link, ReadRequest{}, progress);
            applyRead(model, boxes, outcome);
            rig.expectEndedCleanly(outcome, c);
            const std::string shown = model.text(Field::StatusLine);
            expectSuccessOnlyWhenConfirmed(outcome, shown == success);
            if (shown != success) {
                EXPECT_EQ(model.statusColour(), StatusColour::Red);
            }
            if (c.kind == Fault::Kind::NoReply) {
                // Unanswered, each query ends the read or is named as missed.
                EXPECT_EQ(shown, row.fatal ? ansi(row.failure)
                                           : ansi(std::string("Не считано: ") +
                                                  kStepTitles.at(row.command)));
            }
        }
    }
}

TEST_F(Matrix, EveryWriteExchangeUnderEveryFault) {
    const std::string success = ansi("Данные успешно записаны в устройство");
    // The pointer check finds the log's pointer astray, so that it erases the log too.
    std::vector<Row> rows = kWriteRows;
    rows.insert(rows.end() - 1,
                {"DEBUG_CLEAR_LOG$", Judged::Count, false, "Ошибка при очистке debug лога"});
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        for (const FaultCase& c : kCases) {
            SCOPED_TRACE(std::string(row.command) + ", " + c.name);
            testing::TempFolder folder;
            Rig rig(c);
            ScriptedDesktop desktop;
            auto& tracker = rig.bridge.plug(SimulatedTracker::configured("90001"));
            tracker.debugPointer = 0x40001000;  // the pointer check erases the log
            FieldModel model;
            loadSettings(model, folder / "none.ini");
            // A database with records of its own, which only a confirmed write may change.
            const std::string before =
                "Zentracor database 1.3\r\n2 records\r\n"
                "00007:\tPASSWORD=abcdefgh;\r\n00008:\tPASSWORD=hgfedcba;\r\n";
            testing::writeBytes(folder / "fleet.zcf", before);
            DeviceDatabase database(desktop);
            database.nameFile((folder / "fleet.zcf").string());
            database.openLast();
            ASSERT_EQ(database.records().size(), 2u);
            model.setText(Field::SerialNumber, "90001");
            ASSERT_TRUE(testing::readIntoForm(rig.link, model));
            model.firmwareVersion = 100;
            model.setChecked(Field::FixedAddress, true);  // every setting is sent
            rig.wire.clear();
            rig.bridge.clearCalls();
            tracker.injectFault(faultFor(c, row.command, occurrenceOf(rows, i)));
            const WriteOutcome outcome = testing::writeFromForm(rig.link, model, database, desktop);

            rig.expectEndedCleanly(outcome, c);
            const std::string shown = model.text(Field::StatusLine);
            expectSuccessOnlyWhenConfirmed(outcome, shown == success);
            EXPECT_EQ(model.statusColour(),
                      outcome.succeeded() ? StatusColour::Black : StatusColour::Red);
            const auto after = testing::readBytes(folder / "fleet.zcf");
            if (outcome.succeeded()) {
                EXPECT_NE(after.find("90001:"), std::string::npos);
                EXPECT_EQ(database.records().size(), 3u);
            } else {
                EXPECT_EQ(after, before);
                EXPECT_EQ(database.records().size(), 2u);
            }
            if (c.kind == Fault::Kind::NoReply && row.fatal) {
                EXPECT_EQ(shown, ansi(row.failure));
            } else if (c.kind == Fault::Kind::NoReply &&
                       std::string(row.command) != "DEBUG_CLEAR_LOG$") {
                EXPECT_EQ(shown, ansi(std::string("Устройство не подтвердило: ") +
                                      kStepTitles.at(row.command)));
            }
        }
    }
}

TEST_F(Matrix, EveryDebugLogExchangeUnderEveryFault) {
    struct LogRow {
        const char* command;
        int occurrence;
        bool erase;
    };
    const LogRow rows[] = {
        {"DEBUG_LOG_SIZE$", 1, false}, {"DEBUG_READ_LOG,", 1, false}, {"DEBUG_READ_LOG,", 2, false},
        {"DEBUG_READ_LOG,", 3, false}, {"DEBUG_CLEAR_LOG$", 1, true},
    };
    for (const auto& row : rows) {
        for (const FaultCase& c : kCases) {
            SCOPED_TRACE(std::string(row.command) + std::to_string(row.occurrence) + ", " + c.name);
            testing::TempFolder folder;
            Rig rig(c);
            ScriptedDesktop desktop;
            auto& tracker = rig.bridge.plug(SimulatedTracker::configured());
            const std::size_t logSize = tracker.debugLog.size();
            tracker.injectFault(faultFor(c, row.command, row.occurrence));
            desktop.logAnswers = {(folder / "log.bin").string()};
            const Outcome outcome = row.erase ? testing::clearLog(rig.link, desktop)
                                              : testing::copyLog(rig.link, desktop, false);
            rig.expectEndedCleanly(outcome, c);
            const bool toldSuccess =
                !desktop.messages.empty() &&
                desktop.messages.back().text ==
                    (row.erase ? "Отладочный журнал стерт" : "Отладочный журнал успешно считан.");
            expectSuccessOnlyWhenConfirmed(outcome, toldSuccess);
            if (!row.erase && toldSuccess) {
                EXPECT_EQ(std::filesystem::file_size(folder / "log.bin"), logSize);
            }
        }
    }
}

}  // namespace
}  // namespace korvan
