#include "cli/cli.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/cp1251.h"
#include "cli/line_hands.h"
#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using testing::Cli;

TEST_F(Cli, ListShowsEveryDeviceAndWhichAreTrackers) {
    auto& other = trackers.plug(SimulatedTracker::configured("FT0A1B2C"));
    other.usbDescription = "FT232R USB UART";
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"list"}), cli::kDone);
    const std::string shown = output.str();
    EXPECT_NE(shown.find("0  FT232R USB UART  FT0A1B2C  не трекер"), std::string::npos) << shown;
    EXPECT_NE(shown.find("1  Zentracor  трекер 90001  MAC 00 50 25 00 00 02  Ver. 1.5"),
              std::string::npos)
        << shown;

    EXPECT_EQ(run({"--json", "list"}), cli::kDone);
    EXPECT_NE(output.str().find("\"serial\":\"90001\""), std::string::npos) << output.str();

    trackers.failNext(sim::BridgeCall::Description, BridgeStatus::AccessDenied);
    EXPECT_EQ(run({"list"}), cli::kAccessRefused);
    EXPECT_NE(errors.str().find("Нет доступа к USB"), std::string::npos);
}

TEST_F(Cli, ReadPrintsTheTrackersProfileOrWritesItToAFile) {
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"read"}), cli::kDone);
    FieldModel printed;
    loadSettings(printed, {});
    ASSERT_FALSE(loadProfileText(printed, output.str()).has_value()) << output.str();
    EXPECT_EQ(printed.text(Field::AccessPoint), "Depot-North");

    // The terminal never shows the password or the key unless asked; the file holds them.
    for (const char* secret : {"Fleet_07", "k3y05"}) {
        EXPECT_EQ(output.str().find(secret), std::string::npos) << secret;
    }
    EXPECT_EQ(printed.text(Field::ServerPassword), "********");
    EXPECT_EQ(run({"--json", "read"}), cli::kDone);
    EXPECT_EQ(output.str().find("Fleet_07"), std::string::npos) << output.str();
    EXPECT_EQ(run({"read", "--show-secrets"}), cli::kDone);
    FieldModel whole;
    loadSettings(whole, {});
    ASSERT_FALSE(loadProfileText(whole, output.str()).has_value()) << output.str();
    EXPECT_EQ(whole.text(Field::ServerPassword), "Fleet_07");
    EXPECT_EQ(whole.text(Field::NetworkKey), "k3y05");

    EXPECT_EQ(run({"read", "--device", "90001", "-o", file("read.ini")}), cli::kDone);
    EXPECT_EQ(testing::readBytes(folder / "read.ini"), profileText(whole));

    EXPECT_EQ(run({"read", "--device", "90002"}), cli::kNoTracker);
    EXPECT_NE(errors.str().find("Трекер 90002 не подключён"), std::string::npos);
    trackers.plug(SimulatedTracker::configured("90002"));
    EXPECT_EQ(run({"read"}), cli::kNoTracker);  // two to choose from
    EXPECT_NE(errors.str().find("--device"), std::string::npos);
}

TEST_F(Cli, WriteSendsWhatTheWindowSendsAndRecordsTheDevice) {
    const std::string profile = profileFile();
    // The window: the profile's fields, "Установить".
    std::vector<std::uint8_t> fromWindow;
    {
        sim::SimulatedBridge windowBridge{time};
        ScriptedDesktop desktop;
        Configurator core(windowBridge, time, desktop);
        loadSettings(core.model(), {});
        core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        testing::nameDatabase(core.model(), core.database(), file("window.zcf"));
        auto& tracker = windowBridge.plug(SimulatedTracker::configured("90001"));
        core.devicesChanged();
        ASSERT_FALSE(loadProfile(core.model(), profile).has_value());
        tracker.clearRecord();
        core.writeTracker();
        fromWindow = tracker.received();
    }
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    const int status = run({"write", "--profile", profile, "--database", file("cli.zcf")});
    EXPECT_EQ(status, cli::kDone) << errors.str();
    EXPECT_NE(output.str().find("Данные успешно записаны в устройство"), std::string::npos);
    // The read before the write is the window's detection; what follows it is the write.
    const auto& received = tracker.received();
    ASSERT_GE(received.size(), fromWindow.size());
    EXPECT_TRUE(std::equal(fromWindow.begin(), fromWindow.end(),
                           received.end() - static_cast<std::ptrdiff_t>(fromWindow.size())));
    EXPECT_EQ(tracker.settings.recordingPeriod, 17);
    EXPECT_NE(testing::readBytes(folder / "cli.zcf").find("90001:"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder / "cli-srv.zcf"));
}

TEST_F(Cli, AProblemIsNamedWithWhatToDoAndItsOwnStatus) {
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"write"}), cli::kUsage);  // --profile is required
    EXPECT_EQ(run({"frobnicate"}), cli::kUsage);
    EXPECT_NE(errors.str().find("неизвестная команда «frobnicate»; команды: list, read, write, "
                                "provision, diff, log"),
              std::string::npos)
        << errors.str();
    EXPECT_EQ(run({}), cli::kUsage);
    EXPECT_NE(errors.str().find("не указана команда; команды: list,"), std::string::npos)
        << errors.str();
    EXPECT_EQ(run({"--version"}), cli::kDone);
    EXPECT_EQ(output.str().rfind("korvan-cli ", 0), 0u);

    EXPECT_EQ(run({"write", "--profile", file("none.ini")}), cli::kFileProblem);
    testing::writeBytes(folder / "bad.ini", "[SERVER]\r\nNoSuchKey=1\r\n");
    EXPECT_EQ(run({"write", "--profile", file("bad.ini")}), cli::kFileProblem);
    EXPECT_NE(errors.str().find("NoSuchKey"), std::string::npos) << errors.str();
    EXPECT_TRUE(trackers.tracker(0).commands().empty());  // nothing was sent

    // A database that cannot be read is never written over, and no tracker is touched for it.
    testing::writeBytes(folder / "broken.zcf", "not a database\r\n");
    EXPECT_EQ(run({"write", "--profile", profileFile(), "--database", file("broken.zcf")}),
              cli::kFileProblem);
    EXPECT_EQ(testing::readBytes(folder / "broken.zcf"), "not a database\r\n");
    EXPECT_TRUE(trackers.tracker(0).commands().empty());

    // A write the tracker does not confirm is a failure, and nothing is recorded.
    trackers.tracker(0).injectFault(
        {.kind = Fault::Kind::NoReply, .command = "FL_SET_MODE,", .times = 10});
    EXPECT_EQ(run({"write", "--profile", profileFile(), "--database", file("fleet.zcf")}),
              cli::kFailed);
    EXPECT_NE(errors.str().find("Устройство не подтвердило: режим работы"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "fleet.zcf"));
}

TEST_F(Cli, TheProvisioningLineWritesEachTrackerOnceAndSaysWhichFailed) {
    line.push_back(SimulatedTracker::configured("90011"));
    line.push_back(SimulatedTracker::pulledOutDuringWrite("90012"));
    line.push_back(SimulatedTracker::configured("90013"));
    const int status =
        run({"provision", "--profile", profileFile(), "--database", file("fleet.zcf")});
    EXPECT_EQ(status, cli::kFailed);
    const std::string shown = output.str();
    EXPECT_NE(shown.find("90011  00 50 25 00 00 0C  записан"), std::string::npos) << shown;
    EXPECT_NE(shown.find("90012  00 50 25 00 00 0D  ОШИБКА: Устройство отключено"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("90013  00 50 25 00 00 0E  записан"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Итого: записано 2, с ошибкой 1"), std::string::npos) << shown;
    const std::string database = testing::readBytes(folder / "fleet.zcf");
    EXPECT_NE(database.find("90011:"), std::string::npos);
    EXPECT_EQ(database.find("90012:"), std::string::npos);
    EXPECT_NE(database.find("90013:"), std::string::npos);
}

TEST_F(Cli, EachTrackerIsToldWhatItsOwnOutcomeAndTheDatabaseSaid) {
    // Another station fills the shared file while this line writes its second tracker: the
    // tracker took its configuration, the file has no room for it, and the line says both,
    // with the database's own reason.
    std::string full = "Zentracor database 1.3\r\n1024 records\r\n";
    for (int serial = 1; serial <= 1024; ++serial) {
        full += std::to_string(serial) + ":\tPASSWORD=abcdefgh;\r\n";
    }
    line.push_back(SimulatedTracker::configured("90051"));
    line.push_back(SimulatedTracker::configured("90052"));
    script = [&](int look) {
        if (look == 1 || look == 3) {
            trackers.plug(std::move(line.front()));
            line.pop_front();
        } else if (look == 2) {
            trackers.unplug(0);
            testing::writeBytes(folder / "fleet.zcf", full);
        } else {
            stop = true;
        }
    };
    EXPECT_EQ(run({"provision", "--profile", profileFile(), "--database", file("fleet.zcf")}),
              cli::kFailed);
    const std::string shown = output.str();
    EXPECT_NE(shown.find("90051  00 50 25 00 00 34  записан"), std::string::npos) << shown;
    EXPECT_NE(shown.find("90052  00 50 25 00 00 35  ОШИБКА: Трекер 90052 записан, но не внесён в "
                         "базу: База не сохранена: в файле уже 1024 записи, устройство 90052 в "
                         "неё не помещается"),
              std::string::npos)
        << shown;
    EXPECT_EQ(testing::readBytes(folder / "fleet.zcf"), full);

    // A write refused before the link opens says its reason once, though both the status line
    // and a message box would show it.
    trackers.unplug(0);
    trackers.plug(SimulatedTracker::configured("90053"));
    EXPECT_EQ(run({"write", "--profile", profileFile(), "--database", file("nowhere/fleet.zcf")}),
              cli::kFailed);
    const std::string refusal = "его нельзя будет внести в базу — нет папки ";
    const std::string said = errors.str();
    ASSERT_NE(said.find(refusal), std::string::npos) << said;
    EXPECT_EQ(said.find(refusal, said.find(refusal) + 1), std::string::npos) << said;

    // A database whose header miscounts its records is read whole, and the count is said.
    testing::writeBytes(folder / "counted.zcf",
                        "Zentracor database 1.3\r\n7 records\r\n00001:\tPASSWORD=aaaaaaaa;\r\n");
    EXPECT_EQ(run({"write", "--profile", profileFile(), "--database", file("counted.zcf")}),
              cli::kDone);
    EXPECT_NE(errors.str().find("В заголовке базы записей 7, а в файле 1"), std::string::npos)
        << errors.str();
    EXPECT_NE(testing::readBytes(folder / "counted.zcf").find("\r\n2 records\r\n"),
              std::string::npos);
}

TEST_F(Cli, ATrackerIsWhatTheWindowsDetectionTakesForOneDescriptionsIncluded) {
    trackers.plug(SimulatedTracker("QEMU USB SERIAL", "00042"));
    EXPECT_EQ(run({"read"}), cli::kNoTracker);
    // A rig's emulated bridge, added as the window's detection adds it.
    descriptions.push_back("QEMU USB SERIAL");
    EXPECT_EQ(run({"read"}), cli::kDone) << errors.str();
    EXPECT_EQ(run({"--json", "list"}), cli::kDone);
    EXPECT_NE(output.str().find("\"tracker\":true"), std::string::npos) << output.str();

    // A tracker whose reads fail is given the window's five tries.
    trackers.tracker(0).injectFault(
        {.kind = Fault::Kind::NoReply, .command = "FL_READ_VERSION$", .times = 1000});
    trackers.tracker(0).clearRecord();
    EXPECT_EQ(run({"diff", "--profile", profileFile()}), cli::kFailed);
    EXPECT_EQ(std::count(trackers.tracker(0).commands().begin(),
                         trackers.tracker(0).commands().end(), "FL_READ_VERSION$"),
              kReadTries * 10);  // each read sends its first command ten times
}

TEST_F(Cli, AListingThatBreaksOffIsTakenAgainAndSaidWhenItBreaksTwice) {
    trackers.plug(SimulatedTracker("FT232R USB UART", "A10K3Z"));
    trackers.plug(SimulatedTracker::configured("90061"));
    // Once: a device gone in the middle of the listing; the listing taken again finds the tracker.
    trackers.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
    EXPECT_EQ(run({"read"}), cli::kDone) << errors.str();

    // Twice: said as it is, neither "no tracker" nor "no device".
    for (const char* command : {"read", "list"}) {
        SCOPED_TRACE(command);
        trackers.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
        trackers.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
        EXPECT_EQ(run({"--json", command}), cli::kFailed);
        EXPECT_NE(errors.str().find("Список устройств USB прерван: устройство 0"),
                  std::string::npos)
            << errors.str();
        EXPECT_EQ(output.str().find("\"ok\":true"), std::string::npos) << output.str();
    }
}

TEST_F(Cli, TheProvisioningLineWritesATrackerOncePerPlugAndStopsAtItsCount) {
    // A tracker that stays is written once, however often the line looks; plugged in again,
    // it is written again.
    trackers.plug(SimulatedTracker::configured("90021"));
    script = [this](int look) {
        if (look == 5) {
            trackers.unplug(0);
        } else if (look == 7) {
            trackers.plug(SimulatedTracker::configured("90021"));
        } else if (look == 12) {
            stop = true;
        }
    };
    const auto profile = profileFile();
    EXPECT_EQ(run({"--json", "provision", "--profile", profile, "--database", file("fleet.zcf")}),
              cli::kDone);
    const std::string shown = output.str();
    std::size_t lines = 0;
    for (auto at = shown.find("\"serial\":\"90021\""); at != std::string::npos;
         at = shown.find("\"serial\":\"90021\"", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 2u) << shown;
    EXPECT_NE(shown.find("\"summary\":{\"written\":2,\"failed\":0}"), std::string::npos);

    // With a count, the line ends once that many trackers are done.
    script = nullptr;
    stop = false;
    trackers.unplug(0);
    line.push_back(SimulatedTracker::configured("90031"));
    line.push_back(SimulatedTracker::configured("90032"));
    EXPECT_EQ(
        run({"provision", "--profile", profile, "--database", file("fleet.zcf"), "--count", "1"}),
        cli::kDone);
    EXPECT_NE(output.str().find("Итого: записано 1, с ошибкой 0"), std::string::npos);
    EXPECT_EQ(output.str().find("90032"), std::string::npos);
}

TEST_F(Cli, TheLineRemembersWrittenTrackersThroughAListingThatMissedOneAndStopsBetweenTwo) {
    // A listing that could not read one device's strings says nothing of whether the trackers
    // written are still there: they are not written again.
    trackers.plug(SimulatedTracker::configured("90041"));
    trackers.plug(SimulatedTracker::configured("90042"));
    script = [this](int look) {
        if (look == 3) {
            trackers.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
        } else if (look == 6) {
            stop = true;
        }
    };
    const auto profile = profileFile();
    EXPECT_EQ(run({"provision", "--profile", profile, "--database", file("fleet.zcf")}),
              cli::kDone);
    EXPECT_NE(output.str().find("Итого: записано 2, с ошибкой 0"), std::string::npos)
        << output.str();

    // Ctrl+C while the first of two trackers of one listing is written one at a time (here as
    // it is pulled out): the second is not started.
    trackers.unplug(1);
    trackers.unplug(0);
    trackers.plug(SimulatedTracker::configured("90051"));
    trackers.plug(SimulatedTracker::configured("90052"));
    trackers.tracker(0).injectFault({.kind = Fault::Kind::Unplug, .command = "FL_CHANGE_NDIST,"});
    stop = false;
    script = [](int) {};
    trackers.onDevicesChanged = [this] { stop = true; };
    EXPECT_EQ(run({"provision", "--parallel", "1", "--profile", profile, "--database",
                   file("fleet2.zcf")}),
              cli::kFailed);
    EXPECT_NE(output.str().find("90051"), std::string::npos) << output.str();
    EXPECT_EQ(output.str().find("90052"), std::string::npos) << output.str();
}

TEST_F(Cli, MissingKeysTakeTheFirstRunsValuesOnlyWhenAskedAndNeverATrackersOwn) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    tracker.settings.recordingPeriod = 33;  // what the tracker holds before
    FieldModel model;
    loadSettings(model, {});
    model.setText(Field::ServerPassword, "Fleet_17");
    std::string profile = profileText(model);
    // Without the recording period's key.
    const auto at = profile.find("PeriodDef=");
    ASSERT_NE(at, std::string::npos);
    profile.erase(at, profile.find("\r\n", at) + 2 - at);
    testing::writeBytes(folder / "part.ini", profile);
    EXPECT_EQ(run({"write", "--profile", file("part.ini")}), cli::kFileProblem);
    EXPECT_NE(errors.str().find("PeriodDef"), std::string::npos) << errors.str();
    EXPECT_EQ(tracker.settings.recordingPeriod, 33);
    EXPECT_EQ(run({"write", "--profile", file("part.ini"), "--defaults-for-missing"}), cli::kDone)
        << errors.str();
    EXPECT_EQ(std::to_string(tracker.settings.recordingPeriod), model.text(Field::RecordingPeriod));
}

TEST_F(Cli, AProfileTheWriteWouldRefuseIsRefusedBeforeAnyTrackerIsTouched) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    FieldModel model;
    loadSettings(model, {});
    model.setText(Field::ServerPassword, "Fleet_17");
    model.setText(Field::AccessPoint, "Yard$Gate");
    ASSERT_FALSE(saveProfile(model, folder / "forged.ini").has_value());
    tracker.clearRecord();
    EXPECT_EQ(run({"provision", "--profile", file("forged.ini"), "--database", file("f.zcf")}),
              cli::kFileProblem);
    EXPECT_NE(errors.str().find("Имя сети Wi-Fi"), std::string::npos) << errors.str();
    EXPECT_TRUE(tracker.commands().empty());
}

TEST_F(Cli, NoPasswordOrKeyIsEverPrintedInClear) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    tracker.settings.keyMode = 2;
    tracker.settings.key = "SecretKey1234";
    // The key's echo comes back wrong: the message that tells it must not carry the key.
    FieldModel model;
    loadSettings(model, {});
    model.setText(Field::ServerPassword, "Pass_777");
    model.setChecked(Field::WepEncryption, true);
    model.setChecked(Field::Key128Bit, true);
    model.setText(Field::NetworkKey, "SecretKey1234");
    ASSERT_FALSE(saveProfile(model, folder / "keyed.ini").has_value());
    const auto expectNoSecret = [this] {
        for (const std::string& said :
             {output.str(), errors.str(), testing::readBytes(folder / "trace.txt")}) {
            EXPECT_EQ(said.find("SecretKey1234"), std::string::npos) << said;
            EXPECT_EQ(said.find("Pass_777"), std::string::npos) << said;
        }
    };
    const std::vector<std::string> write = {"-v",    "--trace",   file("trace.txt"), "--json",
                                            "write", "--profile", file("keyed.ini")};
    EXPECT_EQ(run(write), cli::kDone) << errors.str();
    EXPECT_EQ(tracker.settings.password, "Pass_777");  // it was sent, and traced masked
    expectNoSecret();
    tracker.injectFault({.kind = Fault::Kind::WrongEcho, .command = "WKEY=", .times = 10});
    EXPECT_EQ(run(write), cli::kFailed);
    EXPECT_NE(errors.str().find("Ошибка настройки шифрования"), std::string::npos);
    expectNoSecret();
}

TEST_F(Cli, ATrackerThatCannotBeReadIsToldOnceWhileItStaysPlugged) {
    trackers.plug(SimulatedTracker::muted("90041"));
    script = [this](int look) { stop = look == 6; };
    EXPECT_EQ(run({"provision", "--profile", profileFile(), "--database", file("fleet.zcf")}),
              cli::kFailed);
    const std::string shown = output.str();
    EXPECT_EQ(shown.find("90041"), shown.rfind("90041")) << shown;  // one line only
    EXPECT_NE(shown.find("90041  00 50 25 00 00 2A  ОШИБКА: Ошибка чтения версии устройства"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Итого: записано 0, с ошибкой 1"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "fleet.zcf"));
}

TEST_F(Cli, TheDebugLogIsCopiedWithoutLosingAnOldFile) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    testing::writeBytes(folder / "log.bin", "old log");
    tracker.injectFault({.kind = Fault::Kind::NoReply, .command = "DEBUG_READ_LOG,", .times = 1});
    EXPECT_EQ(run({"log", "read", "-o", file("log.bin")}), cli::kFailed);
    EXPECT_EQ(testing::readBytes(folder / "log.bin"), "old log");
    EXPECT_EQ(run({"log", "read", "-o", file("log.bin")}), cli::kDone);
    EXPECT_EQ(testing::readBytes(folder / "log.bin").size(), tracker.debugLog.size());
    // Without a terminal to ask on, only --yes erases; on one, only a yes does.
    const auto asked = tracker.commands().size();
    EXPECT_EQ(run({"log", "erase"}), cli::kUsage);
    EXPECT_NE(errors.str().find("--yes"), std::string::npos) << errors.str();
    terminalAnswer = false;
    EXPECT_EQ(run({"log", "erase"}), cli::kFailed);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("трекера 90001"), std::string::npos) << questions[0];
    EXPECT_EQ(tracker.commands().size(), asked);  // listed, never opened
    EXPECT_FALSE(tracker.debugLog.empty());
    terminalAnswer = true;
    EXPECT_EQ(run({"log", "erase"}), cli::kDone);
    EXPECT_TRUE(tracker.debugLog.empty() ||
                tracker.debugPointer == SimulatedTracker::kDebugLogBase);
    terminalAnswer.reset();
    tracker.debugLog.assign(10, 0x41);
    EXPECT_EQ(run({"log", "erase", "--yes"}), cli::kDone);
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_TRUE(tracker.debugLog.empty() ||
                tracker.debugPointer == SimulatedTracker::kDebugLogBase);
    EXPECT_EQ(run({"log", "read"}), cli::kUsage);  // no file named
    // A copy that cannot be made on this computer is a file problem, not the tracker's.
    EXPECT_EQ(run({"log", "read", "-o", file("no-such-folder/log.bin")}), cli::kFileProblem);
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// A profile with one key's line replaced by `line`.
std::string withLine(std::string profile, std::string_view key, std::string_view line) {
    const auto at = profile.find("\r\n" + std::string(key) + "=") + 2;
    const auto end = profile.find("\r\n", at);
    return profile.replace(at, end - at, line);
}

TEST_F(Cli, AValueThatBreaksItsRuleIsRefusedWithItsKeyAndLineBeforeAnyTrackerIsTouched) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    const std::string good = testing::readBytes(profileFile());
    const struct {
        const char* key;
        const char* line;
    } bad[] = {
        {"Port", "Port=abc"},
        {"Port", "Port=99999"},
        {"Port", "Port=0"},
        {"Port", "Port=-1"},
        {"IP", "IP=999.300.1.1"},
        {"IP", "IP=1.2.3"},
        {"PeriodDef", "PeriodDef=-5"},
        {"PeriodDef", "PeriodDef=5s"},
        {"CounterTime", "CounterTime=65536"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.line);
        testing::writeBytes(folder / "bad.ini", withLine(good, b.key, b.line));
        tracker.clearRecord();
        EXPECT_EQ(run({"provision", "--profile", file("bad.ini"), "--database", file("f.zcf")}),
                  cli::kFileProblem);
        EXPECT_EQ(run({"diff", "--profile", file("bad.ini")}), cli::kFileProblem);
        EXPECT_EQ(run({"write", "--profile", file("bad.ini")}), cli::kFileProblem);
        const std::string said = errors.str();
        EXPECT_NE(said.find("Строка "), std::string::npos) << said;
        EXPECT_NE(said.find(std::string("/") + b.key), std::string::npos) << said;
        EXPECT_TRUE(tracker.commands().empty());
    }
    // A password at fault is named, never shown.
    testing::writeBytes(folder / "bad.ini", withLine(good, "ServPassDef", "ServPassDef=abc12$4"));
    EXPECT_EQ(run({"--json", "write", "--profile", file("bad.ini")}), cli::kFileProblem);
    EXPECT_NE(errors.str().find("SERVER/ServPassDef"), std::string::npos) << errors.str();
    EXPECT_EQ(errors.str().find("abc12"), std::string::npos) << errors.str();
    EXPECT_EQ(output.str().find("abc12"), std::string::npos) << output.str();

    // The device's own address is judged once it is used.
    std::string fixed = withLine(good, "AutoIP", "AutoIP=0");
    testing::writeBytes(folder / "fixed.ini", withLine(fixed, "DevIP", "DevIP=not-an-ip"));
    EXPECT_EQ(run({"write", "--profile", file("fixed.ini")}), cli::kFileProblem);
    EXPECT_NE(errors.str().find("NET/DevIP"), std::string::npos) << errors.str();
    testing::writeBytes(folder / "fixed.ini", withLine(fixed, "DevIP", "DevIP=10.0.0.255"));
    EXPECT_EQ(run({"write", "--profile", file("fixed.ini")}), cli::kDone) << errors.str();
    EXPECT_EQ(tracker.settings.deviceIp, "10.0.0.255");
}

TEST_F(Cli, AWriteVerifiedByReadingBackCountsOnlyWhenTheTrackerKeptEverySetting) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    std::string profile = testing::readBytes(profileFile());
    profile = withLine(profile, "Port", "Port=9000");
    testing::writeBytes(folder / "p.ini", profile);

    // It acknowledges the port and keeps the one it had.
    tracker.injectFault({.kind = Fault::Kind::NotKept, .command = "SERPORT="});
    EXPECT_EQ(
        run({"write", "--verify", "--profile", file("p.ini"), "--database", file("fleet.zcf")}),
        cli::kFailed);
    EXPECT_NE(errors.str().find("Порт сервера: записано «9000», в трекере «2224»"),
              std::string::npos)
        << errors.str();
    EXPECT_EQ(tracker.settings.serverPort, "2224");
    EXPECT_FALSE(std::filesystem::exists(folder / "fleet.zcf"));  // not recorded

    // The password that differs is named, never shown.
    tracker.injectFault({.kind = Fault::Kind::NotKept, .command = "GSM_SET_PASSWORD,"});
    tracker.settings.password = "Other_pw";
    EXPECT_EQ(run({"write", "--verify", "--profile", file("p.ini")}), cli::kFailed);
    EXPECT_NE(errors.str().find("Пароль: записано «********», в трекере «********»"),
              std::string::npos)
        << errors.str();
    EXPECT_EQ(errors.str().find("Fleet_17"), std::string::npos);
    EXPECT_EQ(errors.str().find("Other_pw"), std::string::npos);

    // One that keeps everything.
    EXPECT_EQ(
        run({"write", "--verify", "--profile", file("p.ini"), "--database", file("fleet.zcf")}),
        cli::kDone)
        << errors.str();
    EXPECT_NE(output.str().find("Данные записаны и проверены"), std::string::npos);
    EXPECT_NE(testing::readBytes(folder / "fleet.zcf").find("90001:"), std::string::npos);

    // Pulled out during the read-back: not written, as far as anyone can tell.
    const auto before = std::filesystem::last_write_time(folder / "fleet.zcf");
    tracker.injectFault({.kind = Fault::Kind::Unplug, .command = "GSERIP$", .occurrence = 2});
    EXPECT_EQ(
        run({"write", "--verify", "--profile", file("p.ini"), "--database", file("fleet.zcf")}),
        cli::kFailed);
    EXPECT_NE(errors.str().find("Записанное не проверено"), std::string::npos) << errors.str();
    EXPECT_EQ(std::filesystem::last_write_time(folder / "fleet.zcf"), before);
}

TEST_F(Cli, TheProvisioningLineVerifiesEachTrackerUnlessToldNotTo) {
    SimulatedTracker forgetful = SimulatedTracker::configured("90011");
    forgetful.injectFault({.kind = Fault::Kind::NotKept, .command = "FL_SET_RATE,"});
    line.push_back(std::move(forgetful));
    line.push_back(SimulatedTracker::configured("90012"));
    EXPECT_EQ(run({"provision", "--profile", profileFile(), "--database", file("fleet.zcf")}),
              cli::kFailed);
    const std::string shown = output.str();
    EXPECT_NE(shown.find("90011  00 50 25 00 00 0C  ОШИБКА: Трекер хранит не то, что записано: "
                         "Период записи точек: записано «17», в трекере «10»"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("90012  00 50 25 00 00 0D  записан и проверен"), std::string::npos)
        << shown;
    const std::string database = testing::readBytes(folder / "fleet.zcf");
    EXPECT_EQ(database.find("90011:"), std::string::npos);
    EXPECT_NE(database.find("90012:"), std::string::npos);

    stop = false;
    looks = 0;
    SimulatedTracker again = SimulatedTracker::configured("90013");
    again.injectFault({.kind = Fault::Kind::NotKept, .command = "FL_SET_RATE,"});
    line.push_back(std::move(again));
    EXPECT_EQ(run({"provision", "--no-verify", "--profile", profileFile(), "--database",
                   file("fleet.zcf")}),
              cli::kDone);
    EXPECT_NE(output.str().find("90013  00 50 25 00 00 0E  записан  "), std::string::npos)
        << output.str();
}

TEST_F(Cli, AValueReadThatBreaksItsRuleIsKeptAsReadAndSaid) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    tracker.settings.serverPort = "abc";
    EXPECT_EQ(run({"read", "-o", file("odd.ini")}), cli::kDone);
    EXPECT_NE(testing::readBytes(folder / "odd.ini").find("\r\nPort=abc\r\n"), std::string::npos);
    EXPECT_NE(errors.str().find("«Порт сервера» = «abc», а нужно: Число от 1 до 65535"),
              std::string::npos)
        << errors.str();
    // Such a profile is not written into another tracker.
    EXPECT_EQ(run({"write", "--profile", file("odd.ini")}), cli::kFileProblem);
}

TEST_F(Cli, ATraceThatCannotBeWrittenIsAFileProblemAndNoPipeHoldsTheCommandUp) {
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"--trace", "/dev/full", "list"}), cli::kFileProblem);
    EXPECT_NE(errors.str().find("не обычный файл"), std::string::npos) << errors.str();
    EXPECT_EQ(run({"--trace", file("trace.log"), "list"}), cli::kDone) << errors.str();
    EXPECT_NE(testing::readBytes(folder / "trace.log").find("FL_READ_VERSION$"), std::string::npos);
}

TEST_F(Cli, DiffTellsEachSettingWhereTheTrackerAndTheProfileDiffer) {
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"read", "-o", file("same.ini")}), cli::kDone);
    EXPECT_EQ(run({"diff", "--profile", file("same.ini")}), cli::kDone) << errors.str();
    EXPECT_EQ(output.str(), "Трекер 90001 совпадает с профилем\n");

    std::string other = testing::readBytes(folder / "same.ini");
    other = withLine(other, "Port", "Port=9000");
    other = withLine(other, "PeriodDef", "PeriodDef=17");
    other = withLine(other, "ServPassDef", "ServPassDef=Fleet_17");
    testing::writeBytes(folder / "other.ini", other);
    EXPECT_EQ(run({"diff", "--profile", file("other.ini"), "--device", "90001"}), cli::kFailed);
    EXPECT_EQ(output.str(),
              "Период записи точек (DEVICE/PeriodDef): трекер «10», профиль «17»\n"
              "Пароль (SERVER/ServPassDef): трекер «********», профиль «********»\n"
              "Порт сервера (SERVER/Port): трекер «2224», профиль «9000»\n");

    EXPECT_EQ(run({"--json", "diff", "--profile", file("other.ini")}), cli::kFailed);
    EXPECT_NE(
        output.str().find("\"name\":\"Порт сервера\",\"key\":\"SERVER/Port\",\"tracker_value\":"
                          "\"2224\",\"profile_value\":\"9000\"}\n"),
        std::string::npos)
        << output.str();
    EXPECT_NE(output.str().find("\"differences\":3"), std::string::npos) << output.str();

    // Once the profile is written, the tracker holds it as the write sends it: a sending period
    // of 10 is written as 30, a point's empty minutes as 0 and its fraction 5 as 50000. That is
    // no difference, from the profile or from the tracker read back.
    std::string corrected = withLine(other, "PeriodSendDef", "PeriodSendDef=10");
    corrected = withLine(corrected, "p1lad", "p1lad=55");
    corrected = withLine(corrected, "p1lam", "p1lam=");
    corrected = withLine(corrected, "p1lamm", "p1lamm=5");
    corrected = withLine(corrected, "p1lod", "p1lod=37");
    corrected = withLine(corrected, "p1rad", "p1rad=5");
    testing::writeBytes(folder / "corrected.ini", corrected);
    EXPECT_EQ(run({"write", "--verify", "--profile", file("corrected.ini")}), cli::kDone)
        << errors.str();
    EXPECT_EQ(run({"diff", "--profile", file("corrected.ini")}), cli::kDone) << output.str();
    testing::writeBytes(folder / "corrected.ini",
                        withLine(corrected, "PeriodSendDef", "PeriodSendDef=40"));
    EXPECT_EQ(run({"diff", "--profile", file("corrected.ini")}), cli::kFailed);
    EXPECT_EQ(output.str(),
              "Период отсылки данных по WiFi (DEVICE/PeriodSendDef): трекер «30», профиль «40»\n");
}

// The serial numbers of a database file's records, in the file's order.
std::vector<std::string> recordedSerials(const std::filesystem::path& database) {
    std::vector<std::string> serials;
    std::istringstream lines(testing::readBytes(database));
    for (std::string line; std::getline(lines, line);) {
        if (const auto colon = line.find(":\t"); colon != std::string::npos) {
            serials.push_back(line.substr(0, colon));
        }
    }
    return serials;
}

long linesOf(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// Trackers on a hub, plugged together: each on its own worker, each given exactly the bytes a
// tracker written alone is given; the one pulled out and the mute one fail without holding up
// the others, and the database holds the written ones alone.
TEST_F(Cli, TrackersPluggedTogetherAreWrittenSideBySideAsEachWouldBeAlone) {
    events = true;
    const auto hub = [] {
        return std::vector<SimulatedTracker>{
            SimulatedTracker::configured("90071"), SimulatedTracker::pulledOutDuringWrite("90072"),
            SimulatedTracker::configured("90073"), SimulatedTracker::muted("90074")};
    };
    script = [&](int look) {
        if (look == 1) {
            for (auto& tracker : hub()) {
                trackers.plug(std::move(tracker));
            }
        } else {
            stop = linesOf(output.str()) == 4;
        }
    };
    const auto profile = profileFile();
    EXPECT_EQ(run({"provision", "--profile", profile, "--database", file("hub.zcf")}),
              cli::kFailed);
    const std::string shown = output.str();
    // Side by side: the mute one's long tries overlap the others' writes, however the threads
    // are scheduled.
    EXPECT_GE(trackers.mostOpenAtOnce(), 2u);
    EXPECT_NE(shown.find("90071  00 50 25 00 00 48  записан и проверен"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("90072  00 50 25 00 00 49  ОШИБКА: Устройство отключено"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("90073  00 50 25 00 00 4A  записан и проверен"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("90074  00 50 25 00 00 4B  ОШИБКА: Ошибка чтения версии устройства"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Итого: записано 2, с ошибкой 2"), std::string::npos) << shown;
    const auto written = recordedSerials(folder / "hub.zcf");
    EXPECT_EQ(std::set<std::string>(written.begin(), written.end()),
              (std::set<std::string>{"90071", "90073"}));

    std::map<std::string, std::vector<std::uint8_t>> onTheHub;
    const auto attached = trackers.attachedSerials();
    ASSERT_EQ(attached, (std::vector<std::string>{"90071", "90073", "90074"}));
    for (std::size_t i = 0; i < attached.size(); ++i) {
        onTheHub[attached[i]] = trackers.tracker(i).received();
    }
    while (trackers.attached() > 0) {
        trackers.unplug(0);
    }
    // Each again, alone on a bench of its own, one at a time.
    for (auto& tracker : hub()) {
        const std::string serial = tracker.usbSerial;
        if (!onTheHub.contains(serial)) {
            continue;
        }
        SCOPED_TRACE(serial);
        stop = false;
        script = [&, plugged = false](int) mutable {
            if (!plugged) {
                trackers.plug(std::move(tracker));
                plugged = true;
            } else {
                stop = !output.str().empty();
            }
        };
        run({"provision", "--profile", profile, "--database", file("alone.zcf")});
        EXPECT_EQ(trackers.tracker(0).received(), onTheHub[serial]);
        trackers.unplug(0);
    }
}

// A tracker plugged in while another is being written is taken at once, not after it.
TEST_F(Cli, ATrackerPluggedWhileAnotherIsWrittenIsTakenAtOnceAndTheCapHolds) {
    events = true;
    script = [&](int look) {
        if (look == 1) {
            trackers.plug(SimulatedTracker::muted("90081"));  // five slow tries in hand
        } else if (look == 2) {
            trackers.plug(SimulatedTracker::configured("90082"));
        } else {
            stop = output.str().find("90081") != std::string::npos;
        }
    };
    const auto profile = profileFile();
    EXPECT_EQ(run({"provision", "--profile", profile, "--database", file("fleet.zcf")}),
              cli::kFailed);
    const std::string shown = output.str();
    ASSERT_NE(shown.find("90082"), std::string::npos) << shown;
    // Taken at once, it ends first; or, where the machine is busy and the mute one's tries run
    // through the shared virtual time first, its own time holds theirs. Taken only after the
    // mute one ended, it would end last, in its own half second.
    const auto secondsAt = shown.find(" с\n", shown.find("90082"));
    const double seconds82 = std::stod(shown.substr(shown.rfind("  ", secondsAt) + 2));
    EXPECT_TRUE(shown.find("90082") < shown.find("90081") || seconds82 > 5) << shown;
    EXPECT_EQ(recordedSerials(folder / "fleet.zcf"), std::vector<std::string>{"90082"});

    // --parallel caps the trackers in hand; the others wait for a free place.
    for (const int cap : {1, 2, 3}) {
        SCOPED_TRACE(cap);
        while (trackers.attached() > 0) {
            trackers.unplug(0);
        }
        stop = false;
        trackers.restartMostOpenAtOnce();
        script = [&](int look) {
            if (look == 1) {
                for (int i = 0; i < 4; ++i) {
                    trackers.plug(SimulatedTracker::configured(std::to_string(90090 + i)));
                }
            }
            stop = linesOf(output.str()) == 4;
        };
        EXPECT_EQ(run({"provision", "--parallel", std::to_string(cap), "--profile", profile,
                       "--database", file("capped.zcf")}),
                  cli::kDone);
        EXPECT_NE(output.str().find("Итого: записано 4, с ошибкой 0"), std::string::npos)
            << output.str();
        EXPECT_LE(static_cast<int>(trackers.mostOpenAtOnce()), cap);
    }
}

// The trace of trackers written side by side: each tracker's exchanges whole, one after the
// other, never mixed line by line.
TEST_F(Cli, TheTraceOfTrackersSideBySideKeepsEachTrackersLinesTogether) {
    events = true;
    script = [&](int look) {
        if (look == 1) {
            for (int i = 1; i <= 3; ++i) {
                trackers.plug(SimulatedTracker::configured(std::to_string(90110 + i)));
            }
        }
        stop = linesOf(output.str()) == 3;
    };
    EXPECT_EQ(run({"--trace", file("trace.txt"), "provision", "--profile", profileFile(),
                   "--database", file("fleet.zcf")}),
              cli::kDone);
    std::istringstream trace(testing::readBytes(folder / "trace.txt"));
    std::vector<std::string> order;  // the tracker of each opening, in the trace's order
    std::string open;
    for (std::string line; std::getline(trace, line);) {
        if (const auto at = line.find("открыт трекер "); at != std::string::npos) {
            ASSERT_TRUE(open.empty()) << "opened inside " << open << ": " << line;
            open = line.substr(at + std::string("открыт трекер ").size());
            if (order.empty() || order.back() != open) {
                order.push_back(open);
            }
        } else if (line.find("закрыт") != std::string::npos) {
            ASSERT_FALSE(open.empty()) << line;
            open.clear();
        }
    }
    ASSERT_EQ(order.size(), 3u) << testing::readBytes(folder / "trace.txt").substr(0, 2000);
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()),
              (std::set<std::string>{"90111", "90112", "90113"}));
}

// A worker's database step runs on the line's own thread, even one that throws, and the worker
// goes on only once it has run.
TEST(LineHands, RunAWorkersStepOnTheLinesThreadAndLetItWaitForIt) {
    cli::LineHands<int> hands;
    std::thread::id ranOn;
    bool ranBeforeReturn = false;
    std::jthread worker([&] {
        int value = 0;
        hands.onLineThread([&] {
            ranOn = std::this_thread::get_id();
            value = 7;
        });
        ranBeforeReturn = value == 7;
        hands.finished(value);
    });
    std::vector<int> ended;
    while (ended.empty()) {
        const auto got = hands.wait(std::chrono::milliseconds(100));
        ended.insert(ended.end(), got.begin(), got.end());
    }
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(ranBeforeReturn);
    EXPECT_EQ(ended, std::vector<int>{7});

    std::jthread failing([&] { hands.onLineThread([] { throw std::runtime_error("full"); }); });
    while (true) {
        try {
            hands.wait(std::chrono::milliseconds(100));
        } catch (const std::runtime_error&) {
            break;  // the worker is let go all the same, or the join below would hang
        }
    }
    failing.join();
}

// Ctrl+C with four trackers in hand: each is finished and recorded, and the one plugged after
// it is never touched.
TEST_F(Cli, CtrlCWithFourInHandFinishesThemAndTouchesNoNewOne) {
    events = true;
    bool inHandAtStop = false;
    script = [&](int look) {
        if (look == 1) {
            for (int i = 1; i <= 4; ++i) {
                trackers.plug(SimulatedTracker::configured(std::to_string(90100 + i)));
            }
        } else if (look == 2) {
            inHandAtStop = output.str().empty();  // none of the four has ended yet
            stop = true;
            trackers.plug(SimulatedTracker::configured("90105"));
        }
    };
    EXPECT_EQ(
        run({"--json", "provision", "--profile", profileFile(), "--database", file("fleet.zcf")}),
        cli::kDone);
    EXPECT_TRUE(inHandAtStop);
    EXPECT_NE(output.str().find("\"summary\":{\"written\":4,\"failed\":0}"), std::string::npos)
        << output.str();
    EXPECT_EQ(recordedSerials(folder / "fleet.zcf").size(), 4u);
    EXPECT_TRUE(trackers.tracker(4).commands().empty());
    EXPECT_EQ(output.str().find("90105"), std::string::npos);
}

}  // namespace
}  // namespace korvan
