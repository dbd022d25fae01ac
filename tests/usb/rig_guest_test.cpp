// The USB backend on a real USB stack: tests/usb/rig boots a guest whose kernel sees an emulated
// FT232-class bridge on an xHCI controller and runs these tests there, with FtdiBridge talking
// through libftdi and libusb to the tracker server on the host.
//
//   rig_guest_tests [gtest options]            in the guest, with the real backend
//   rig_guest_tests --reference FILE [--serial N] [...]
//                                              on the host, the same tests over the simulated
//                                              bridge, its tracker 90001 or N; FILE gets every
//                                              byte its tracker received, for the rig to compare
//                                              with the server's record
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/run.h"
#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "link/ftdi_bridge.h"
#include "link/link.h"
#include "link/usb_watcher.h"
#include "protocol/configuration_read.h"
#include "protocol/outcome.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;

// What the emulated bridge calls itself: accepted by the rig's detection beside the trackers'.
constexpr const char* kEmulatedBridge = "QEMU USB SERIAL";
constexpr const char* kTrackerSerial = "90001";

Bridge* rigBridge = nullptr;
Clock* rigClock = nullptr;
bool rigIsReal = false;  // the guest's real backend, not the host's reference run

class Rig : public ::testing::Test {
  protected:
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    ScriptedDesktop desktop;
    std::unique_ptr<Configurator> core;

    void SetUp() override {
        core = std::make_unique<Configurator>(*rigBridge, *rigClock, desktop);
        core->trackerDescriptions.push_back(kEmulatedBridge);
        loadSettings(core->model(), folder / "rig-absent.ini");
        desktop.openFallback = (folder / "rig-fleet.zcf").string();
        core->database().openLast();
    }
    FieldModel& model() { return core->model(); }
};

TEST_F(Rig, FindsTheTrackerByItsStringsAndReadsItWhole) {
    std::uint32_t count = 0;
    ASSERT_EQ(rigBridge->deviceCount(count), BridgeStatus::Ok);
    ASSERT_EQ(count, 1u);
    std::string text;
    ASSERT_EQ(rigBridge->description(0, text), BridgeStatus::Ok);
    EXPECT_EQ(text, kEmulatedBridge);
    ASSERT_EQ(rigBridge->serialNumber(0, text), BridgeStatus::Ok);
    EXPECT_EQ(text, kTrackerSerial);

    core->devicesChanged();
    EXPECT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    EXPECT_EQ(model().text(Field::StatusLine), ansi("Данные успешно считаны из устройства"));
    EXPECT_EQ(model().text(Field::AccessPoint), "Depot-North");
    EXPECT_TRUE(model().enabled(Field::WriteButton));
    EXPECT_FALSE(core->link().isOpen());
}

TEST_F(Rig, WritesEveryFieldAndTheTrackerConfirmsEachStep) {
    core->devicesChanged();
    ASSERT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    model().setText(Field::AccessPoint, "Rig-West");
    model().setText(Field::ServerAddress, "10.20.30.40");
    model().setText(Field::ServerPort, "4321");
    model().setText(Field::ServerPassword, "RigPass1");
    core->writeTracker();
    EXPECT_EQ(model().text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    EXPECT_FALSE(core->link().isOpen());

    // Read back: the tracker keeps what was written.
    model().setText(Field::AccessPoint, "typed over");
    core->readTrackerAfresh();
    EXPECT_EQ(model().text(Field::AccessPoint), "Rig-West");
    EXPECT_EQ(model().text(Field::ServerAddress), "10.20.30.40");
}

TEST_F(Rig, CopiesTheWholeDebugLog) {
    core->devicesChanged();
    ASSERT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    const auto file = folder / "rig-log.bin";
    std::filesystem::remove(file);
    desktop.logAnswers = {file.string()};
    core->readDebugLog(true);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back().text, "Отладочный журнал успешно считан.");
    EXPECT_EQ(std::filesystem::file_size(file), 3999u);
    EXPECT_FALSE(core->link().isOpen());
}

// The operations in real time through the real backend, as designed (each reply awaited for its
// count or its timeout) and as completed by what the reply says; the rig prints the table.
TEST_F(Rig, TimesTheOperationsAsDesignedAndAsCompleted) {
    core->devicesChanged();
    ASSERT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    const auto file = folder / "rig-timed-log.bin";
    const struct {
        const char* name;
        std::function<void()> run;
        const char* told;
    } operations[] = {
        {"read", [&] { core->readTrackerAfresh(); }, "Данные успешно считаны из устройства"},
        {"write", [&] { core->writeTracker(); }, "Данные успешно записаны в устройство"},
        {"debug-log",
         [&] {
             desktop.logAnswers = {file.string()};
             core->readDebugLog(true);
         },
         nullptr},
    };
    for (const auto& operation : operations) {
        long took[2] = {0, 0};
        for (bool completed : {false, true}) {
            core->link().setEarlyCompletion(completed);
            const auto start = std::chrono::steady_clock::now();
            operation.run();
            took[completed] =
                static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
            if (operation.told != nullptr) {
                EXPECT_EQ(model().text(Field::StatusLine), ansi(operation.told))
                    << operation.name << (completed ? " completed" : " designed");
            }
        }
        std::printf("RIG-TIMING %s %ld %ld\n", operation.name, took[0], took[1]);
    }
    EXPECT_EQ(std::filesystem::file_size(file), 3999u);
}

// The tracker server stops answering: the read ends with its message, the link closed.
TEST_F(Rig, ATrackerThatStopsAnsweringEndsTheReadWithTheLinkClosed) {
    Link link(*rigBridge, *rigClock);
    link.setTarget(LinkTarget::serial(kTrackerSerial));
    struct : Progress {
        void step(int, int, std::string_view) override {}
    } progress;
    const auto outcome = readConfiguration(link, ReadRequest{}, progress);
    EXPECT_EQ(outcome.ending, Ending::Failed);
    EXPECT_FALSE(outcome.messages.empty());
    EXPECT_FALSE(link.isOpen());
}

// The host pulls the bridge out (the monitor's device_del) once the write has begun. The guest
// runs no udev daemon: the window's own USB watcher must notice the bridge go all the same.
TEST_F(Rig, ABridgePulledOutDuringAWriteEndsItWithItsMessage) {
    std::atomic<int> changes = 0;
    UsbWatcher watcher([&changes] { ++changes; });
    ASSERT_TRUE(watcher.running());
    EXPECT_FALSE(watcher.hearsEvents());  // no daemon sends them here
    core->devicesChanged();
    ASSERT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    std::printf("RIG-WRITE-BEGINS\n");
    std::fflush(stdout);
    core->writeTracker();
    EXPECT_EQ(model().text(Field::StatusLine), ansi(kDeviceGoneMessage));
    EXPECT_FALSE(core->link().isOpen());
    // The guest's USB core takes the bridge off its bus a moment later.
    std::uint32_t count = 1;
    for (int i = 0; i < 50 && count != 0; ++i) {
        ASSERT_EQ(rigBridge->deviceCount(count), BridgeStatus::Ok);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(count, 0u);
    for (int i = 0; i < 50 && changes == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_GT(changes, 0) << "the watcher did not notice the bridge go";
}

// The provisioning line's environment on the rig: the rig's bridge and clock, the emulated
// bridge taken for a tracker, and devices told by the window's own USB watcher.
class RigLine final : public cli::Environment {
  public:
    // Each line of output with the moment it ended.
    struct Stamped final : std::streambuf {
        std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> lines;
        std::string line;
        int overflow(int c) override {
            if (c == '\n') {
                lines.emplace_back(std::chrono::steady_clock::now(), std::move(line));
                line.clear();
            } else if (c != EOF) {
                line.push_back(static_cast<char>(c));
            }
            return c;
        }
    } stamped;
    std::ostream output{&stamped};
    std::ostringstream errors;
    std::ostream& out() override { return output; }
    std::ostream& err() override { return errors; }
    Bridge& bridge(bool) override { return *rigBridge; }
    Clock& clock(bool) override { return *rigClock; }
    bool stopRequested() override { return false; }
    std::vector<std::string> trackerDescriptions() override {
        auto descriptions = kTrackerDescriptions;
        descriptions.push_back(kEmulatedBridge);
        return descriptions;
    }
    struct Watch final : cli::DeviceWatch {
        explicit Watch(std::function<void()> changed)
            : watcher(std::move(changed), cli::kLookInterval) {}
        UsbWatcher watcher;
    };
    std::unique_ptr<cli::DeviceWatch> watchDevices(bool, std::function<void()> changed) override {
        if (!rigIsReal) {
            return nullptr;  // the reference run's simulated bridge: the line looks itself
        }
        return std::make_unique<Watch>(std::move(changed));
    }
};

// Every bridge attached provisioned at once by the line, each on a handle and worker of its
// own, then read back; the rig compares what each tracker server received with what one
// tracker alone receives over the simulated bridge.
TEST_F(Rig, ProvisionsEveryBridgeAttachedAtOnce) {
    std::uint32_t count = 0;
    ASSERT_EQ(rigBridge->deviceCount(count), BridgeStatus::Ok);
    ASSERT_GE(count, 1u);
    model().setText(Field::AccessPoint, "Rig-Line");
    model().setText(Field::ServerPassword, "RigLine1");
    const auto profile = folder / "rig-line.ini";
    ASSERT_FALSE(saveProfile(model(), profile).has_value());
    const auto database = folder / "rig-line.zcf";
    std::filesystem::remove(database);

    RigLine line;
    const std::string trackers = std::to_string(count);
    const std::string profileArgument = profile.string();
    const std::string databaseArgument = database.string();
    const char* argv[] = {"korvan-cli", "provision",
                          "--profile",  profileArgument.c_str(),
                          "--database", databaseArgument.c_str(),
                          "--count",    trackers.c_str()};
    const auto start = std::chrono::steady_clock::now();
    const int status = cli::runCli(static_cast<int>(std::size(argv)), argv, line);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_EQ(status, cli::kDone) << line.errors.str();
    std::printf("RIG-LINE %u trackers written and verified in %lld ms:\n", count,
                static_cast<long long>(took.count()));
    // Each line ends with that tracker's own seconds. Written one after the other, the last
    // would end at least its own seconds after the one before it; side by side, they end close
    // together.
    std::vector<std::pair<std::chrono::steady_clock::time_point, double>> ends;
    for (const auto& [at, told] : line.stamped.lines) {
        if (told.find("записан и проверен") != std::string::npos) {
            ends.emplace_back(at, std::stod(told.substr(told.rfind("  ") + 2)));
            std::printf("RIG-LINE   %s\n", told.c_str());
        }
    }
    ASSERT_EQ(ends.size(), count) << line.errors.str();
    if (count > 1) {
        const auto [lastAt, lastSeconds] = ends.back();
        const double apart =
            std::chrono::duration<double>(lastAt - ends[ends.size() - 2].first).count();
        std::printf("RIG-LINE   the last two ended %.2f s apart\n", apart);
        EXPECT_LT(apart, lastSeconds) << "the trackers were not written side by side";
    }

    for (std::uint32_t i = 0; i < count; ++i) {
        std::string usbSerial;
        ASSERT_EQ(rigBridge->serialNumber(i, usbSerial), BridgeStatus::Ok);
        SCOPED_TRACE(usbSerial);
        Link link(*rigBridge, *rigClock);
        link.setTarget(LinkTarget::serial(usbSerial));
        struct : Progress {
            void step(int, int, std::string_view) override {}
        } progress;
        const auto read = readConfiguration(link, ReadRequest{}, progress);
        ASSERT_EQ(read.ending, Ending::Done);
        EXPECT_EQ(read.values.network.accessPoint, "Rig-Line");
    }
}

// Two bridges: the first is no tracker (its serial string is not a number); the program reads
// the tracker it shows and sends nothing to the other, whatever the listing's order.
TEST_F(Rig, TalksToTheTrackerItShowsAndNotToTheFirstDevice) {
    std::uint32_t count = 0;
    ASSERT_EQ(rigBridge->deviceCount(count), BridgeStatus::Ok);
    ASSERT_EQ(count, 2u);
    std::string first;
    ASSERT_EQ(rigBridge->serialNumber(0, first), BridgeStatus::Ok);
    EXPECT_EQ(first, "NOTATRACKER");  // device 0 is the one that must not be talked to
    core->devicesChanged();
    EXPECT_EQ(model().text(Field::SerialNumber), kTrackerSerial);
    EXPECT_EQ(model().text(Field::AccessPoint), "Depot-North");
    EXPECT_TRUE(model().enabled(Field::WriteButton));
    // Both carry the emulated bridge's description, so both count as trackers; the window
    // says which one it shows.
    EXPECT_EQ(model().text(Field::StatusLine), ansi("Подключено трекеров: 2. В окне трекер 90001"));
}

}  // namespace
}  // namespace korvan

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::optional<std::string> reference;
    std::string serial = korvan::kTrackerSerial;
    if ((argc == 3 || (argc == 5 && std::strcmp(argv[3], "--serial") == 0)) &&
        std::strcmp(argv[1], "--reference") == 0) {
        reference = argv[2];
        if (argc == 5) {
            serial = argv[4];  // a tracker of its own, whose MAC address follows its serial
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--reference FILE [--serial N]] [gtest options]\n",
                     argv[0]);
        return 2;
    }
    if (!reference) {
        korvan::FtdiBridge real;
        korvan::SteadyClock steady;
        korvan::rigBridge = &real;
        korvan::rigClock = &steady;
        korvan::rigIsReal = true;
        return RUN_ALL_TESTS();
    }
    korvan::VirtualClock virtualClock;
    korvan::sim::SimulatedBridge simulated(virtualClock);
    auto tracker = korvan::sim::SimulatedTracker::configured(serial);
    tracker.usbDescription = korvan::kEmulatedBridge;
    const auto& plugged = simulated.plug(std::move(tracker));
    korvan::rigBridge = &simulated;
    korvan::rigClock = &virtualClock;
    const int status = RUN_ALL_TESTS();
    std::ofstream out(*reference, std::ios::binary);
    out.write(reinterpret_cast<const char*>(plugged.received().data()),
              static_cast<std::streamsize>(plugged.received().size()));
    return out ? status : 1;
}
