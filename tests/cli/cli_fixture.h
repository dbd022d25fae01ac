#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"

namespace korvan::testing {

using sim::SimulatedTracker;

// The commands against simulated trackers in virtual time, their output kept.
class Cli : public ::testing::Test, public cli::Environment {
  public:
    testing::TempFolder folder;
    VirtualClock time;
    sim::SimulatedBridge trackers{time};
    std::ostringstream output;
    std::ostringstream errors;
    std::atomic<bool> stop = false;  // set by a worker where a tracker pulls itself out
    // The provisioning line's trackers, plugged one by one as the line looks for them.
    std::deque<SimulatedTracker> line;
    int looks = 0;
    // Instead of the line above: what happens at each look, by its number.
    std::function<void(int look)> script;

    std::ostream& out() override { return output; }
    std::ostream& err() override { return errors; }
    Bridge& bridge(bool) override { return trackers; }
    Clock& clock(bool) override { return time; }
    bool stopRequested() override { return stop; }
    std::vector<std::string> descriptions = kTrackerDescriptions;
    std::vector<std::string> trackerDescriptions() override { return descriptions; }
    void provisionLooks(bool, const std::set<std::string>& done) override {
        ++looks;
        if (script) {
            script(looks);
            return;
        }
        for (const auto& usbSerial : done) {
            trackers.unplugSerial(usbSerial);
        }
        if (trackers.attached() == 0 && !line.empty()) {
            trackers.plug(std::move(line.front()));
            line.pop_front();
        } else if (trackers.attached() == 0 && line.empty()) {
            stop = true;  // the line has run dry: as a technician's Ctrl+C
        }
    }

    // Standard error is a terminal: the steps are shown there.
    bool terminal = false;
    bool showsProgress() override { return terminal; }
    // A person at a terminal answers so; none is there when empty.
    std::optional<bool> terminalAnswer;
    std::vector<std::string> questions;
    bool canAsk() override { return terminalAnswer.has_value(); }
    bool ask(std::string_view question) override {
        questions.emplace_back(question);
        return terminalAnswer.value_or(false);
    }

    // With `events`, the line is told of every plug and unplug, as by hot-plug events; without,
    // it looks for itself.
    bool events = false;
    struct BenchWatch final : cli::DeviceWatch {
        explicit BenchWatch(sim::SimulatedBridge& bench) : bench(bench) {}
        ~BenchWatch() override { bench.onDevicesChanged = nullptr; }
        sim::SimulatedBridge& bench;
    };
    std::unique_ptr<cli::DeviceWatch> watchDevices(bool, std::function<void()> changed) override {
        if (!events) {
            return nullptr;
        }
        trackers.onDevicesChanged = std::move(changed);
        return std::make_unique<BenchWatch>(trackers);
    }

    int run(std::vector<std::string> arguments) {
        looks = 0;
        output.str({});
        errors.str({});
        arguments.insert(arguments.begin(), "korvan-cli");
        std::vector<const char*> argv;
        for (const auto& a : arguments) {
            argv.push_back(a.c_str());
        }
        return cli::runCli(static_cast<int>(argv.size()), argv.data(), *this);
    }
    std::string file(const char* name) const { return (folder / name).string(); }
    std::string profileFile() {
        // A profile as the window saves it, with a field of its own to tell it by.
        FieldModel model;
        loadSettings(model, {});
        model.setText(Field::RecordingPeriod, "17");
        model.setText(Field::ServerPassword, "Fleet_17");
        EXPECT_FALSE(saveProfile(model, folder / "fleet.ini").has_value());
        return file("fleet.ini");
    }
};

}  // namespace korvan::testing
