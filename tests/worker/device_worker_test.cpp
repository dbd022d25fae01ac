#include "core/device_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "core/window_thread.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wire_tap.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedTracker;
using testing::ansi;

// The window's thread, stood for by the test's own thread: what the worker posts waits in a
// queue until the test pumps it, as the window's event loop would run it.
class PumpedWindow final : public QueuedWindowThread {
  public:
    // Runs queued tasks one at a time, and checks `done` before each, until it holds: false
    // when the safety deadline passed first, so that a broken build fails instead of hanging.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            Task task;
            {
                std::unique_lock lock(mutex_);
                if (!changed_.wait_for(lock, 1ms, [this] { return !tasks_.empty(); })) {
                    continue;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }

    bool empty() {
        std::lock_guard lock(mutex_);
        return tasks_.empty();
    }

  protected:
    void enqueue(Task task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> tasks_;
};

TEST(WindowThreadCall, ATaskGivenUpOnStaysUndoneWhenTheWindowTurnsAgain) {
    PumpedWindow window;
    bool ran = false;
    std::atomic<bool> answer = true;
    std::thread worker([&] { answer = window.call([&ran] { ran = true; }); });
    while (window.empty()) {
        std::this_thread::yield();  // until the task is queued and the worker waits for it
    }
    window.abandonCalls();
    worker.join();
    EXPECT_FALSE(answer);
    // What the task refers to may be gone with the worker's job: it must not run now.
    ASSERT_TRUE(window.pumpUntil([&] { return window.empty(); }));
    EXPECT_FALSE(ran);
}

// The core as the window runs it: operations on the device worker, the trackers at wire speed.
struct WorkerRig {
    testing::TempFolder folder;
    SteadyClock clock;
    sim::SimulatedBridge bridge{clock};
    testing::WireTap wire{bridge};
    ScriptedDesktop desktop;
    PumpedWindow window;
    DeviceWorker worker;
    Configurator core{wire, clock, desktop, worker, window};
    int deviceChangesHandled = 0;
    std::vector<OperationState> seen;  // every state told by `operationChanged`

    WorkerRig() {
        loadSettings(core.model(), folder / "first-run.ini");
        core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        testing::nameDatabase(core.model(), core.database(), databaseFile().string());
        // The system's notice reaches the window through its event loop, from whichever thread
        // made the change.
        bridge.onDevicesChanged = [this] {
            window.post([this] {
                core.devicesChanged();
                ++deviceChangesHandled;
            });
        };
        core.operationChanged = [this] { seen.push_back(core.operation()); };
    }

    std::filesystem::path databaseFile() const { return folder / "fleet.zcf"; }

    bool pumpUntilIdle() {
        return window.pumpUntil([this] { return !core.operationRunning() && window.empty(); });
    }

    void foundAndRead(SimulatedTracker tracker) {
        bridge.plug(std::move(tracker));
        ASSERT_TRUE(pumpUntilIdle());
        ASSERT_EQ(core.model().text(Field::StatusLine),
                  ansi("Данные успешно считаны из устройства"));
        ASSERT_TRUE(core.model().enabled(Field::WriteButton));
        wire.clear();
        bridge.clearCalls();
        seen.clear();
        deviceChangesHandled = 0;
    }

    void expectLinkClosed() {
        EXPECT_FALSE(core.link().isOpen());
        const auto& calls = bridge.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "openSerial"),
                  std::count(calls.begin(), calls.end(), "close"));
    }
};

class Worker : public ::testing::Test, protected WorkerRig {};

TEST_F(Worker, AMuteTrackerLeavesTheWindowFreeAndACancelClosesTheLinkWithinOneExchange) {
    bridge.plug(SimulatedTracker::muted());
    ASSERT_TRUE(window.pumpUntil(
        [this] { return core.operation().running && core.operation().step >= 1; }));
    // A second command means the worker sat through a whole read timeout; the window's thread
    // had control back all along.
    int turns = 0;
    ASSERT_TRUE(window.pumpUntil([&] {
        ++turns;
        return wire.sent().size() >= 2;
    }));
    EXPECT_TRUE(core.operationRunning());
    EXPECT_GT(turns, 10);
    // The window is told that the tracker is being asked again.
    ASSERT_TRUE(window.pumpUntil([this] { return !seen.empty() && seen.back().attempt >= 2; }));
    EXPECT_EQ(seen.back().step, 1);
    EXPECT_EQ(seen.back().attempts, 10);

    const auto sentBeforeCancel = wire.sent().size();
    core.cancel();
    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_LE(wire.sent().size(), sentBeforeCancel + 1);
    expectLinkClosed();
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi(kCancelledMessage));
    EXPECT_EQ(core.model().statusColour(), StatusColour::Red);
    EXPECT_FALSE(core.operation().running);
}

TEST_F(Worker, AnUnplugInTheMiddleOfAWriteEndsItAndRecordsNothing) {
    foundAndRead(SimulatedTracker::pulledOutDuringWrite());
    core.writeTracker();
    ASSERT_TRUE(pumpUntilIdle());

    EXPECT_EQ(core.model().text(Field::StatusLine), ansi(kDeviceGoneMessage));
    EXPECT_EQ(core.model().statusColour(), StatusColour::Red);
    expectLinkClosed();
    EXPECT_EQ(core.database().records().size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(databaseFile()));
    const auto sent = wire.sent();
    ASSERT_FALSE(sent.empty());
    const auto pulledOut = [](const std::string& c) { return c.starts_with("GSM_SET_SMS,3,"); };
    EXPECT_TRUE(pulledOut(sent.back())) << "nothing is sent once it is gone";
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), pulledOut), 1) << "nor tried again";
    // The notice came from the worker's thread in the middle of the write; the pass it asked
    // for ran afterwards and found no tracker.
    EXPECT_EQ(deviceChangesHandled, 1);
    EXPECT_EQ(core.model().currentSerial, 0);
    EXPECT_EQ(core.model().text(Field::SerialNumber), ansi("Номер"));
    EXPECT_FALSE(core.model().enabled(Field::WriteButton));
}

TEST_F(Worker, AWriteTellsEveryStepOnceInOrderAndRecordsTheDeviceOnTheWindowsThread) {
    foundAndRead(SimulatedTracker::configured("90001"));
    core.writeTracker();
    ASSERT_TRUE(pumpUntilIdle());

    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    ASSERT_EQ(core.database().records().size(), 1u);
    EXPECT_EQ(core.database().records()[0].serial, 90001);
    EXPECT_TRUE(std::filesystem::exists(databaseFile()));
    expectLinkClosed();

    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(seen.front().running);
    EXPECT_EQ(seen.front().step, 0);
    EXPECT_FALSE(seen.back().running);
    const int steps = seen[seen.size() - 2].step;
    for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(seen[i].running);
        EXPECT_EQ(seen[i].step, static_cast<int>(i));
        EXPECT_EQ(seen[i].steps, steps);
        EXPECT_FALSE(seen[i].what.empty());
    }
}

TEST_F(Worker, ADeviceChangeDuringAWriteIsHandledOnceTheWriteHasEnded) {
    foundAndRead(SimulatedTracker::configured("90001"));
    // A second tracker arrives while the write is at its third step; its notice reaches the
    // window, which handles it while the write goes on.
    bool heldDuringWrite = false;
    core.operationChanged = [&] {
        seen.push_back(core.operation());
        if (core.operation().step == 3 && bridge.attached() == 1) {
            bridge.plug(SimulatedTracker::configured("90002"));
        }
        if (deviceChangesHandled == 1 && !heldDuringWrite) {
            heldDuringWrite = core.operationRunning() && core.operation().step > 3;
        }
    };
    core.writeTracker();
    ASSERT_TRUE(pumpUntilIdle());

    EXPECT_TRUE(heldDuringWrite);
    ASSERT_EQ(core.database().records().size(), 1u);
    EXPECT_EQ(core.database().records()[0].serial, 90001);
    // The second tracker was read once the write was over.
    EXPECT_EQ(core.model().currentSerial, 90002);
    EXPECT_EQ(core.model().text(Field::StatusLine),
              ansi("Подключено трекеров: 2. В окне трекер 90002"));
    expectLinkClosed();
    const auto& calls = bridge.calls();
    const auto writeClosed = std::find(calls.begin(), calls.end(), "close");
    EXPECT_LT(writeClosed - calls.begin(),
              std::find(calls.begin(), calls.end(), "deviceCount") - calls.begin());
    // The write's steps ran to its end unbroken, then the detection began afresh.
    const auto writeEnded =
        std::find_if(seen.begin(), seen.end(), [](const OperationState& s) { return !s.running; });
    ASSERT_NE(writeEnded, seen.end());
    EXPECT_TRUE(std::is_sorted(seen.begin(), writeEnded,
                               [](const auto& a, const auto& b) { return a.step < b.step; }));
    EXPECT_EQ(std::prev(writeEnded)->step, std::prev(writeEnded)->steps);
    ASSERT_NE(std::next(writeEnded), seen.end());
    EXPECT_TRUE(std::next(writeEnded)->running);
    EXPECT_EQ(std::next(writeEnded)->step, 0);
}

// The window goes (closed, stopped by a signal, the session ending: each comes to windowClosing)
// while a write is at each of its steps in turn, and once just as it has ended with its outcome
// not yet shown. A write is never cut in its middle: either it never touched the tracker, or it
// ran to its end and the device's record is in the file.
TEST(WindowGoingDuringAWrite, NeverCutsItAndRecordsTheDeviceWheneverTheTrackerTookIt) {
    std::size_t commands = 0;  // of a whole write
    int steps = 0;
    {
        WorkerRig whole;
        whole.foundAndRead(SimulatedTracker::configured("90001"));
        whole.core.writeTracker();
        ASSERT_TRUE(whole.pumpUntilIdle());
        commands = whole.wire.sent().size();
        steps = whole.seen[whole.seen.size() - 2].steps;
    }
    ASSERT_GT(steps, 5);
    for (int goneAt = 0; goneAt <= steps + 1; ++goneAt) {
        SCOPED_TRACE("gone at step " + std::to_string(goneAt));
        WorkerRig rig;
        rig.core.settingsPath = rig.folder / "korvan.ini";
        rig.foundAndRead(SimulatedTracker::configured("90001"));
        rig.core.writeTracker();
        if (goneAt <= steps) {
            ASSERT_TRUE(rig.window.pumpUntil([&] {
                return !rig.core.operationRunning() || rig.core.operation().step >= goneAt;
            }));
        } else {
            // The window's thread turns no more once the database has been asked for: the
            // write ends on the worker, and its outcome waits in the window's queue.
            ASSERT_TRUE(rig.window.pumpUntil([&] { return rig.core.operation().step >= 2; }));
            while (rig.wire.sent().size() < commands) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(100ms);
        }
        const auto saved = rig.core.windowClosing();
        EXPECT_TRUE(saved.ok) << saved.error;

        EXPECT_FALSE(rig.core.link().isOpen());
        const auto sent = rig.wire.sent();
        // The wire was cleared after the read: whatever went out belongs to the write.
        const bool touched = !sent.empty();
        const std::string file = std::filesystem::exists(rig.databaseFile())
                                     ? testing::readBytes(rig.databaseFile())
                                     : std::string();
        if (touched) {
            EXPECT_EQ(sent.size(), commands);
            EXPECT_EQ(rig.core.model().text(Field::StatusLine),
                      ansi("Данные успешно записаны в устройство"));
            EXPECT_NE(file.find("90001:"), std::string::npos) << file;
        } else {
            EXPECT_EQ(file.find("90001:"), std::string::npos) << file;
        }
    }
}

#if !defined(_WIN32) && defined(KORVAN_CLI_PATH)
// korvan-cli run with `arguments`, its output into `output`; its process, or -1.
pid_t startCli(const std::vector<std::string>& arguments, const std::filesystem::path& output) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        std::vector<char*> argv{const_cast<char*>(KORVAN_CLI_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(KORVAN_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return child;
}

int endOf(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The window writes trackers while a provisioning line writes others into the same database,
// round after round: every device either program recorded is in both files at each round's end.
TEST(WindowBesideTheProvisioningLine, EveryRecordOfBothIsKeptInTwentyRounds) {
    WorkerRig rig;
    const auto profile = rig.folder / "fleet.ini";
    ASSERT_EQ(endOf(startCli({"--sim", "read", "-o", profile.string()}, rig.folder / "read.out")),
              0);
    constexpr int kRounds = 20;
    constexpr int kByLine = 6;
    constexpr int kByWindow = 3;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int lineFirst = 10000 + round * 100;
        const pid_t line =
            startCli({"--sim", "--sim-first-serial", std::to_string(lineFirst), "provision",
                      "--no-verify", "--profile", profile.string(), "--database",
                      rig.databaseFile().string(), "--count", std::to_string(kByLine)},
                     rig.folder / "line.out");
        ASSERT_GT(line, 0);
        for (int n = 0; n < kByWindow; ++n) {
            const std::string serial = std::to_string(60000 + round * 100 + n);
            rig.foundAndRead(SimulatedTracker::configured(serial));
            rig.core.writeTracker();
            ASSERT_TRUE(rig.pumpUntilIdle());
            ASSERT_EQ(rig.core.model().text(Field::StatusLine),
                      ansi("Данные успешно записаны в устройство"))
                << serial;
            rig.bridge.unplug(0);
            ASSERT_TRUE(rig.pumpUntilIdle());
        }
        ASSERT_EQ(endOf(line), 0) << testing::readBytes(rig.folder / "line.out");
        for (const char* file : {"fleet.zcf", "fleet-srv.zcf"}) {
            const std::string text = testing::readBytes(rig.folder / file);
            for (int r = 1; r <= round; ++r) {
                for (int n = 0; n < kByLine; ++n) {
                    EXPECT_NE(text.find(std::to_string(10000 + r * 100 + n) + ":"),
                              std::string::npos)
                        << file << " lost a line's device of round " << r;
                }
                for (int n = 0; n < kByWindow; ++n) {
                    EXPECT_NE(text.find(std::to_string(60000 + r * 100 + n) + ":"),
                              std::string::npos)
                        << file << " lost a window's device of round " << r;
                }
            }
        }
        if (HasFailure()) {
            break;
        }
    }
}
#endif

}  // namespace
}  // namespace korvan
