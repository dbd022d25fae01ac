// How long the device operations would take on the wire, in the simulated tracker's virtual
// time: with every read ending on its count or its timeout (a short reply waits it out) and with
// early completion, side by side.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "base/cp1251.h"
#include "core/configurator.h"
#include "core/form_outcomes.h"
#include "core/scripted_desktop.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"

namespace {

using korvan::Field;
using korvan::sim::SimulatedTracker;

struct Scenario {
    const char* name;
    bool fixedAddress;
    // Runs the operation on a core whose tracker is attached and read; returns whether it
    // ended as it should.
    std::function<bool(korvan::Configurator&, korvan::sim::SimulatedBridge&)> run;
    bool fromPlug = false;  // time from plugging the tracker in, not from a read tracker
};

double millisecondsOf(korvan::Clock::Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Virtual milliseconds the scenario takes with early completion on or off; negative when the
// operation did not end as it should.
double measure(const Scenario& scenario, bool early, const std::filesystem::path& folder) {
    korvan::VirtualClock clock;
    korvan::sim::SimulatedBridge bridge(clock);
    // Every dialog answers at once, as a benchmark has no one to ask.
    korvan::ScriptedDesktop desktop;
    desktop.openFallback = desktop.saveFallback = (folder / "fleet.zcf").string();
    desktop.logFallback = (folder / "log.bin").string();
    korvan::Configurator core(bridge, clock, desktop);
    core.link().setEarlyCompletion(early);
    korvan::loadSettings(core.model(), folder / "absent.ini");
    korvan::showDatabaseReport(core.model(),
                               core.database().nameFile((folder / "fleet.zcf").string()));
    core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};

    SimulatedTracker tracker = SimulatedTracker::configured("90001");
    tracker.settings.dhcp = scenario.fixedAddress ? 0 : 1;
    tracker.debugLog.assign(korvan::kDebugLogLimit, 0x42);
    if (scenario.fromPlug) {
        const auto start = clock.now();
        bridge.plug(std::move(tracker));
        core.devicesChanged();
        const bool ready = core.model().enabled(Field::WriteButton);
        return ready ? millisecondsOf(clock.now() - start) : -1;
    }
    bridge.plug(std::move(tracker));
    core.devicesChanged();
    const auto start = clock.now();
    const bool ok = scenario.run(core, bridge);
    return ok ? millisecondsOf(clock.now() - start) : -1;
}

bool statusIs(korvan::Configurator& core, const char* utf8) {
    return core.model().text(Field::StatusLine) == korvan::cp1251::fromUtf8(utf8);
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "korvan-bench";
    std::filesystem::create_directories(folder);
    const auto reads = [](korvan::Configurator& core, korvan::sim::SimulatedBridge&) {
        core.readTracker();
        return statusIs(core, "Данные успешно считаны из устройства");
    };
    const auto writes = [](korvan::Configurator& core, korvan::sim::SimulatedBridge&) {
        core.writeTracker();
        return statusIs(core, "Данные успешно записаны в устройство");
    };
    // The write read back and compared, as "Проверять трекер после записи" makes it.
    const auto verifiedWrites = [](korvan::Configurator& core, korvan::sim::SimulatedBridge&) {
        core.model().setChecked(Field::VerifyAfterWrite, true);
        core.writeTracker();
        return statusIs(core, "Данные записаны и проверены");
    };
    const Scenario scenarios[] = {
        {"full read, DHCP", false, reads},
        {"full read, fixed address", true, reads},
        {"full write, DHCP", false, writes},
        {"full write, fixed address", true, writes},
        {"full write + verify, DHCP", false, verifiedWrites},
        {"full write + verify, fixed address", true, verifiedWrites},
        {"debug log, full 3999 bytes", false,
         [](auto& core, auto&) {
             core.readDebugLog(true);
             return !core.link().isOpen();
         }},
        {"plug to ready", false, nullptr, true},
    };

    std::printf("| operation | count or timeout (ms) | early completion (ms) | ratio |\n");
    std::printf("|---|---:|---:|---:|\n");
    int failures = 0;
    for (const auto& scenario : scenarios) {
        const double plain = measure(scenario, false, folder);
        const double early = measure(scenario, true, folder);
        if (plain < 0 || early < 0) {
            std::printf("| %s | failed | failed | |\n", scenario.name);
            ++failures;
            continue;
        }
        std::printf("| %s | %.1f | %.1f | %.1f |\n", scenario.name, plain, early, plain / early);
    }
    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
