// Every exchange of the read, the write and the debug-log operations, crossed with a tracker
// that does not answer, answers short, answers with garbage of the right length, or is pulled
// out as the command arrives. Each case must end with its own message, every link closed
// and the database written only when the device was recorded.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"
#include "settings/settings_file.h"
#include "sim/scripted_desktop.h"
#include "tests/protocol/expected_rows.h"
#include "tests/support/form_operations.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using testing::ansi;
using namespace expected;

const Fault::Kind kFaults[] = {Fault::Kind::NoReply, Fault::Kind::ShortReply, Fault::Kind::Garbage,
                               Fault::Kind::Unplug};

const char* nameOf(Fault::Kind kind) {
    switch (kind) {
        case Fault::Kind::NoReply:
            return "no reply";
        case Fault::Kind::ShortReply:
            return "short reply";
        case Fault::Kind::Garbage:
            return "garbage";
        default:
            return "unplugged";
    }
}

// The nth time (1-based) `row` is sent in a full run.
int occurrenceOf(const std::vector<Row>& rows, std::size_t index) {
    int n = 0;
    for (std::size_t i = 0; i <= index; ++i) {
        n += std::string(rows[i].command) == rows[index].command ? 1 : 0;
    }
    return n;
}

Fault faultFor(Fault::Kind kind, const Row& row, int occurrence) {
    Fault fault{.kind = kind, .command = row.command, .occurrence = occurrence, .times = 10};
    if (kind == Fault::Kind::ShortReply) {
        fault.keep = 1;
    }
    return fault;
}

struct Expected {
    std::string message;  // what the status line ends with; for echoes, how it begins
    bool failed = true;   // red, or the black success message
    bool databaseWritten = false;
};

// The outcome of `kind` at row `index`, with `success` the message of a clean run.
Expected expectedFor(const std::vector<Row>& rows, std::size_t index, Fault::Kind kind,
                     const char* success) {
    const Row& row = rows[index];
    switch (kind) {
        case Fault::Kind::Unplug:
            // Nothing answers any more: the operation ends at once and says why.
            return {std::string(kDeviceGoneMessage), true, row.afterDatabase};
        case Fault::Kind::Garbage:
            if (row.judged == Judged::Echo) {
                return {row.onGarbage, true, false};
            }
            if (row.judged == Judged::Count) {
                // A reply of the right length is taken; only the version must parse.
                return row.onGarbage != nullptr ? Expected{row.onGarbage, true, false}
                                                : Expected{success, false, true};
            }
            [[fallthrough]];
        default:
            return row.fatal ? Expected{row.failure, true, row.afterDatabase}
                             : Expected{success, false, true};
    }
}

struct Matrix : ::testing::Test {
    static inline int cases = 0;
    static void TearDownTestSuite() { std::printf("[ fault matrix ] %d cases run\n", cases); }
};

TEST_F(Matrix, EveryReadExchangeUnderEveryFault) {
    for (std::size_t i = 0; i < kReadRows.size(); ++i) {
        for (auto kind : kFaults) {
            SCOPED_TRACE(std::string(kReadRows[i].command) + ", " + nameOf(kind));
            testing::SimRig rig;
            auto& tracker = rig.bridge.plug(SimulatedTracker::Configured());
            tracker.settings.dhcp = 0;  // every query is asked
            tracker.injectFault(faultFor(kind, kReadRows[i], occurrenceOf(kReadRows, i)));
            FieldModel model;
            const bool read = testing::ReadIntoForm(rig.link, model);
            const auto expected =
                expectedFor(kReadRows, i, kind, "Данные успешно считаны из устройства");
            EXPECT_EQ(model.text(Field::CommandInfo), ansi(expected.message));
            EXPECT_EQ(read, !expected.failed);
            EXPECT_FALSE(rig.link.isOpen());
            ++cases;
        }
    }
}

TEST_F(Matrix, EveryWriteExchangeUnderEveryFault) {
    for (std::size_t i = 0; i < kWriteRows.size(); ++i) {
        for (auto kind : kFaults) {
            SCOPED_TRACE(std::string(kWriteRows[i].command) + ", " + nameOf(kind));
            testing::TempFolder folder;
            testing::SimRig rig;
            sim::ScriptedDesktop desktop;
            auto& tracker = rig.bridge.plug(SimulatedTracker::Configured("90001"));
            FieldModel model;
            LoadSettings(model, folder / "none.ini");
            DeviceDatabase database(model, desktop);
            model.DatabasePath = (folder / "fleet.zcf").string();
            model.setText(Field::DbFileName, "fleet.zcf");
            model.setText(Field::SerNum, "90001");
            ASSERT_TRUE(testing::ReadIntoForm(rig.link, model));
            model.setChecked(Field::RadioButton6, true);  // every setting is sent
            tracker.injectFault(faultFor(kind, kWriteRows[i], occurrenceOf(kWriteRows, i)));
            testing::WriteFromForm(rig.link, model, database, desktop);

            const auto expected =
                expectedFor(kWriteRows, i, kind, "Данные успешно записаны в устройство");
            const std::string shown = model.text(Field::CommandInfo);
            EXPECT_EQ(shown.substr(0, ansi(expected.message).size()), ansi(expected.message));
            EXPECT_EQ(model.statusColour(),
                      expected.failed ? StatusColour::Red : StatusColour::Black);
            EXPECT_EQ(std::filesystem::exists(folder / "fleet.zcf"), expected.databaseWritten);
            EXPECT_FALSE(rig.link.isOpen());
            const auto& calls = rig.bridge.calls();
            EXPECT_EQ(std::count(calls.begin(), calls.end(), "setDivisor"),
                      std::count(calls.begin(), calls.end(), "close"));
            ++cases;
        }
    }
}

TEST_F(Matrix, EveryDebugLogExchangeUnderEveryFault) {
    struct LogRow {
        const char* command;
        int occurrence;
        bool erase;
        const char* onGarbage;  // the message box after a reply of the right length
    };
    const LogRow rows[] = {
        {"DEBUG_LOG_SIZE$", 1, false, "Ошибка при чтении отладочного журнала"},
        {"DEBUG_READ_LOG,", 1, false, "Отладочный журнал успешно считан."},
        {"DEBUG_READ_LOG,", 3, false, "Отладочный журнал успешно считан."},
        {"DEBUG_CLEAR_LOG$", 1, true, "Ошибка при стирании отладочного журнала"},
    };
    for (const auto& row : rows) {
        for (auto kind : kFaults) {
            SCOPED_TRACE(std::string(row.command) + std::to_string(row.occurrence) + ", " +
                         nameOf(kind));
            testing::TempFolder folder;
            testing::SimRig rig;
            sim::ScriptedDesktop desktop;
            auto& tracker = rig.bridge.plug(SimulatedTracker::Configured());
            Fault fault{.kind = kind, .command = row.command, .occurrence = row.occurrence};
            fault.keep = 1;
            tracker.injectFault(fault);
            desktop.logAnswers = {(folder / "log.bin").string()};
            const Outcome outcome = row.erase ? testing::ClearLog(rig.link, desktop)
                                              : testing::CopyLog(rig.link, desktop, false);
            EXPECT_FALSE(rig.link.isOpen());
            ++cases;
            if (kind == Fault::Kind::Unplug) {
                // Told on the status line, as every operation tells a tracker pulled out.
                EXPECT_EQ(outcome.ending, Ending::DeviceGone);
                EXPECT_TRUE(desktop.messages.empty());
                continue;
            }
            ASSERT_EQ(desktop.messages.size(), 1u);
            const char* expected = kind == Fault::Kind::Garbage
                                       ? row.onGarbage
                                       : (row.erase ? "Ошибка при стирании отладочного журнала"
                                                    : "Ошибка при чтении отладочного журнала");
            EXPECT_EQ(desktop.messages[0].text, expected);
        }
    }
}

}  // namespace
}  // namespace korvan
