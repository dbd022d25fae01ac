// How many trackers the provisioning line writes a minute, against simulated trackers at the
// wire's own speed, verifying each by reading it back and without, beside the time the window
// takes for one tracker (plugged in, read, then "Установить" pressed at once). Real time: run
// by hand, it takes about a minute.
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/configurator.h"
#include "core/form_outcomes.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"

namespace {

using korvan::sim::SimulatedTracker;
using Seconds = std::chrono::duration<double>;

constexpr int kTrackers = 20;

// The line's trackers come one after the other, each plugged in once the last is written.
class Line final : public korvan::cli::Environment {
  public:
    std::ostream& out() override { return output_; }
    std::ostream& err() override { return output_; }
    korvan::Bridge& bridge(bool) override { return bridge_; }
    korvan::Clock& clock(bool) override { return clock_; }
    bool stopRequested() override { return false; }
    void provisionLooks(bool, const std::set<std::string>& done) override {
        for (const auto& usbSerial : done) {
            bridge_.unplugSerial(usbSerial);
        }
        if (bridge_.attached() == 0) {
            bridge_.plug(SimulatedTracker::configured(std::to_string(next_++)));
        }
    }

  private:
    korvan::SteadyClock clock_;
    korvan::sim::SimulatedBridge bridge_{clock_};
    std::ostringstream output_;
    int next_ = 90001;
};

// The profile the line writes: the settings of a first run, with a server password.
bool saveFleetProfile(const std::filesystem::path& profile) {
    korvan::FieldModel fields;
    korvan::loadSettings(fields, {});
    fields.setText(korvan::Field::ServerPassword, "Fleet_07");  // a first run has none
    if (korvan::saveProfile(fields, profile)) {
        std::fprintf(stderr, "the profile could not be written\n");
        return false;
    }
    return true;
}

// The line, verifying each tracker as it does unless told not to. Its seconds for all the
// trackers, or -1 when it failed.
double runLine(korvan::Clock& clock, const std::filesystem::path& folder,
               const std::filesystem::path& profile, bool verify) {
    Line line;
    const std::string count = std::to_string(kTrackers);
    const std::string profileArgument = profile.string();
    const std::string database = (folder / (verify ? "verified.zcf" : "line.zcf")).string();
    std::vector<const char*> argv = {
        "korvan-cli", "provision",      "--profile", profileArgument.c_str(),
        "--database", database.c_str(), "--count",   count.c_str()};
    if (!verify) {
        argv.push_back("--no-verify");
    }
    const auto start = clock.now();
    const int status = korvan::cli::runCli(static_cast<int>(argv.size()), argv.data(), line);
    if (status != korvan::cli::kDone) {
        std::fprintf(stderr, "the line ended with status %d\n", status);
        return -1;
    }
    return Seconds(clock.now() - start).count();
}

void printTable(double window, double verified, double unverified) {
    std::printf("| measure | value |\n|---|---:|\n");
    std::printf("| window: plugged in, read, written (s) | %.2f |\n", window);
    std::printf("| line, verified: %d trackers (s) | %.2f |\n", kTrackers, verified);
    std::printf("| line, verified: seconds a tracker | %.2f |\n", verified / kTrackers);
    std::printf("| line, verified: trackers a minute | %.1f |\n", 60.0 * kTrackers / verified);
    std::printf("| line, --no-verify: trackers a minute | %.1f |\n", 60.0 * kTrackers / unverified);
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "korvan-provision-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto profile = folder / "fleet.ini";
    if (!saveFleetProfile(profile)) {
        return 1;
    }

    // The window: detection reads the tracker as it is plugged in, then the write.
    korvan::SteadyClock clock;
    korvan::sim::SimulatedBridge bridge(clock);
    korvan::ScriptedDesktop desktop;
    korvan::Configurator core(bridge, clock, desktop);
    korvan::loadSettings(core.model(), {});
    core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
    korvan::showDatabaseReport(core.model(),
                               core.database().nameFile((folder / "window.zcf").string()));
    bridge.onDevicesChanged = [&core] { core.devicesChanged(); };
    const auto windowStart = clock.now();
    bridge.plug(SimulatedTracker::configured("90001"));
    core.writeTracker();
    const double window = Seconds(clock.now() - windowStart).count();

    // The line, verifying each tracker as it does unless told not to, and without.
    const double verified = runLine(clock, folder, profile, true);
    const double unverified = runLine(clock, folder, profile, false);
    std::filesystem::remove_all(folder);
    if (verified < 0 || unverified < 0) {
        return 1;
    }
    printTable(window, verified, unverified);
    return 0;
}
