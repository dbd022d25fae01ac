#include "core/operation_journal.h"

#include <gtest/gtest.h>

#include <map>

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "link/wire_trace.h"
#include "protocol/command_table.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::SimulatedTracker;
namespace fs = std::filesystem;

std::vector<std::string> recordHeads(const std::string& text) {
    std::vector<std::string> heads;
    for (const auto line : splitLines(text)) {
        if (line.starts_with("=== ")) {
            heads.emplace_back(line);
        }
    }
    return heads;
}

// The core with its wire trace and outcomes going to the journal, as the window has it.
class Journal : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    ScriptedDesktop desktop;
    Configurator core{bridge, clock, desktop};
    OperationJournal journal{folder / "state" / "korvan" / "korvan.log"};
    WireTrace trace{[this](std::string_view line) { journal.traceLine(line); }, trafficSecrets()};

    void SetUp() override {
        loadSettings(core.model(), folder / "first-run.ini");
        core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        testing::nameDatabase(core.model(), core.database(), (folder / "fleet.zcf").string());
        bridge.onDevicesChanged = [this] { core.devicesChanged(); };
        core.link().setObserver(&trace);
        core.operationEnded = [this](const Outcome& outcome, std::string_view what) {
            journal.operationEnded(outcome, what);
        };
    }
    std::string logged() const { return testing::readBytes(journal.file()); }
};

TEST_F(Journal, EachOperationIsLoggedWithItsStepsMessagesAndTraceWithoutSecrets) {
    bridge.plug(SimulatedTracker::configured("90001"));
    core.model().setText(Field::ServerPassword, "Qz8#Lm2x");
    core.writeTracker();
    bridge.unplug(0);  // a pass that reads nothing is not logged

    const auto text = logged();
    const auto heads = recordHeads(text);
    ASSERT_EQ(heads.size(), 2u) << text;
    EXPECT_TRUE(heads[0].ends_with(" Обнаружение и чтение трекера 90001: выполнено"));
    EXPECT_TRUE(heads[1].ends_with(" Запись конфигурации: выполнено"));
    EXPECT_NE(text.find("  шаг GSM_SET_PASSWORD,********$ — принят, попыток: 1"),
              std::string::npos);
    EXPECT_NE(text.find("  шаг WKEY=1:*****;$ — принят"), std::string::npos);
    EXPECT_NE(text.find("  сообщение (ход): WKEY=1:*****;\n"), std::string::npos);
    EXPECT_NE(text.find("  сообщение (успех): Данные успешно записаны в устройство"),
              std::string::npos);
    EXPECT_NE(text.find("|FL_GET_RATE$|"), std::string::npos);
    EXPECT_NE(text.find(" закрыт\n"), std::string::npos);
    for (const char* secret : {"Fleet_07", "Qz8#Lm2x", "k3y05"}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << secret;
    }
#ifndef _WIN32
    EXPECT_EQ(fs::status(journal.file()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(journal.file().parent_path()).permissions() & fs::perms::all,
              fs::perms::owner_all);
#endif
}

TEST(JournalFile, KeepsOnlyTheNewestWholeRecordsWithinItsLimits) {
    testing::TempFolder folder;
    const auto file = folder / "korvan.log";
    // What another hand left before the first record is dropped with it.
    testing::writeBytes(file, "cut off line\n=== 2020-01-01 00:00:00 Старая запись: выполнено");
    OperationJournal journal(file, {.bytes = 600, .operations = 3});
    Outcome done;
    for (int n = 1; n <= 5; ++n) {
        journal.traceLine("+    0.000 ms > 46 4C  |FL|");
        journal.operationEnded(done, "Операция " + std::to_string(n));
    }
    auto heads = recordHeads(testing::readBytes(file));
    ASSERT_EQ(heads.size(), 3u);
    EXPECT_TRUE(heads[0].ends_with("Операция 3: выполнено"));
    EXPECT_TRUE(heads[2].ends_with("Операция 5: выполнено"));

    // A record bigger than the file may be keeps its newest trace lines, and pushes out the rest.
    for (int line = 0; line < 100; ++line) {
        journal.traceLine("+   " + std::to_string(line) + ".000 ms < 00  |.|");
    }
    Outcome cancelled;
    cancelled.ending = Ending::Cancelled;
    journal.operationEnded(cancelled, "Длинная операция");
    const auto text = testing::readBytes(file);
    EXPECT_LE(text.size(), 600u);
    EXPECT_TRUE(text.starts_with("=== "));
    EXPECT_TRUE(text.ends_with("  +   99.000 ms < 00  |.|\n"));
    heads = recordHeads(text);
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_TRUE(heads[0].ends_with("Длинная операция: отменено"));
    EXPECT_NE(text.find("  … начало трассы опущено, строк: "), std::string::npos);
}

TEST(JournalFile, LivesInTheUsersStateFolder) {
    std::map<std::string, std::string> variables;
    const auto environment = [&variables](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end()) {
            return std::nullopt;
        }
        return found->second;
    };
    EXPECT_EQ(operationJournalPathFor(environment, "korvan"), std::nullopt);
    variables["HOME"] = "/home/tech";
    EXPECT_EQ(operationJournalPathFor(environment, "korvan"),
              fs::path("/home/tech/.local/state/korvan/korvan.log"));
    variables["XDG_STATE_HOME"] = "relative/state";  // not absolute: ignored
    EXPECT_EQ(operationJournalPathFor(environment, "korvan"),
              fs::path("/home/tech/.local/state/korvan/korvan.log"));
    variables["XDG_STATE_HOME"] = "/var/tmp/state";
    EXPECT_EQ(operationJournalPathFor(environment, "korvan"),
              fs::path("/var/tmp/state/korvan/korvan.log"));
    // The simulator keeps a journal of its own beside it.
    EXPECT_EQ(operationJournalPathFor(environment, "korvan-sim"),
              fs::path("/var/tmp/state/korvan/korvan-sim.log"));
}

}  // namespace
}  // namespace korvan
