// How many trackers the provisioning line writes a minute, against simulated trackers at the
// wire's own speed, verifying each by reading it back and without, beside the time the window
// takes for one tracker (plugged in, read, then "Установить" pressed at once); how long the
// line takes from the plug until 1, 4 or 8 trackers plugged at once are written; and a stream
// of trackers plugged one every 2 s, as a person plugs them. Real time: run by hand, it takes
// about a minute and a half.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
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

// Output whose every line is stamped with the time it was finished.
class StampedLines final : public std::streambuf {
  public:
    explicit StampedLines(korvan::Clock& clock) : clock_(clock) {}
    std::vector<std::pair<Seconds, std::string>> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    int overflow(int c) override {
        std::lock_guard lock(mutex_);
        if (c == '\n') {
            lines_.emplace_back(Seconds(clock_.now()), std::move(line_));
            line_.clear();
        } else if (c != EOF) {
            line_.push_back(static_cast<char>(c));
        }
        return c;
    }

    korvan::Clock& clock_;
    std::mutex mutex_;
    std::string line_;
    std::vector<std::pair<Seconds, std::string>> lines_;
};

// A hub: trackers plugged in by a person's hand on a thread of its own, the line told of each
// plug as by hot-plug events.
class Hub final : public korvan::cli::Environment {
  public:
    // `plugs`: when each tracker goes in, counted from the moment the line begins to wait.
    explicit Hub(std::vector<korvan::Clock::Duration> plugs) : plugs_(std::move(plugs)) {}
    ~Hub() override {
        if (hand_.joinable()) {
            hand_.join();
        }
    }
    std::ostream& out() override { return stamped_; }
    std::ostream& err() override { return errors_; }
    korvan::Bridge& bridge(bool) override { return bridge_; }
    korvan::Clock& clock(bool) override { return clock_; }
    bool stopRequested() override { return false; }
    // Told no more once the hand has plugged its last tracker: the hand's thread calls the
    // bench's notice, which may not change under it.
    struct Watch final : korvan::cli::DeviceWatch {
        explicit Watch(Hub& hub) : hub(hub) {}
        ~Watch() override {
            if (hub.hand_.joinable()) {
                hub.hand_.join();
            }
            hub.bridge_.onDevicesChanged = nullptr;
        }
        Hub& hub;
    };
    std::unique_ptr<korvan::cli::DeviceWatch> watchDevices(bool,
                                                           std::function<void()> changed) override {
        bridge_.onDevicesChanged = std::move(changed);
        return std::make_unique<Watch>(*this);
    }
    void lineBegins() override {
        hand_ = std::thread([this] {
            const auto begin = clock_.now();
            int serial = 90001;
            for (const auto at : plugs_) {
                clock_.sleepFor(begin + at - clock_.now());
                const std::string usbSerial = std::to_string(serial++);
                plugged_[usbSerial] = Seconds(clock_.now());
                bridge_.plug(SimulatedTracker::configured(usbSerial));
            }
        });
    }
    // Seconds from each tracker's plug until its line of output, by USB serial.
    std::vector<double> plugToWritten() {
        if (hand_.joinable()) {
            hand_.join();
        }
        std::vector<double> took;
        for (const auto& [at, line] : sink_.lines()) {
            const std::string usbSerial = line.substr(0, line.find(' '));
            if (plugged_.contains(usbSerial)) {
                took.push_back((at - plugged_[usbSerial]).count());
            }
        }
        return took;
    }

  private:
    std::vector<korvan::Clock::Duration> plugs_;
    korvan::SteadyClock clock_;
    korvan::sim::SimulatedBridge bridge_{clock_};
    StampedLines sink_{clock_};
    std::ostream stamped_{&sink_};
    std::ostringstream errors_;
    std::map<std::string, Seconds> plugged_;
    std::thread hand_;
};

// The line with `plugs`, until as many trackers are done; seconds from each plug to its
// tracker written, or nothing when the line failed.
std::vector<double> runHub(const std::filesystem::path& folder,
                           const std::filesystem::path& profile,
                           std::vector<korvan::Clock::Duration> plugs, bool verify,
                           const char* name) {
    Hub hub(plugs);
    const std::string count = std::to_string(plugs.size());
    const std::string profileArgument = profile.string();
    const std::string database = (folder / name).string();
    std::vector<const char*> argv = {
        "korvan-cli", "provision",      "--profile", profileArgument.c_str(),
        "--database", database.c_str(), "--count",   count.c_str()};
    if (!verify) {
        argv.push_back("--no-verify");
    }
    const int status = korvan::cli::runCli(static_cast<int>(argv.size()), argv.data(), hub);
    const auto took = hub.plugToWritten();
    if (status != korvan::cli::kDone || took.size() != plugs.size()) {
        std::fprintf(stderr, "the line on the hub ended with status %d\n", status);
        return {};
    }
    return took;
}

double longest(const std::vector<double>& took) {
    return took.empty() ? -1 : *std::max_element(took.begin(), took.end());
}

double average(const std::vector<double>& took) {
    double sum = 0;
    for (const double t : took) {
        sum += t;
    }
    return took.empty() ? -1 : sum / static_cast<double>(took.size());
}

struct Rows {
    double window = 0;
    double verified = 0;                              // kTrackers one after the other
    double unverified = 0;                            // the same, --no-verify
    std::map<int, std::pair<double, double>> atOnce;  // trackers: --no-verify, verified
    std::vector<double> stream;                       // plug to written, verified
};

constexpr int kStreamTrackers = 10;
constexpr auto kStreamPace = std::chrono::seconds(2);

void printTable(const Rows& r) {
    std::printf("| measure | value |\n|---|---:|\n");
    std::printf("| window: plugged in, read, written (s) | %.3f |\n", r.window);
    std::printf("| line, verified: %d trackers (s) | %.2f |\n", kTrackers, r.verified);
    std::printf("| line, verified: seconds a tracker | %.2f |\n", r.verified / kTrackers);
    std::printf("| line, verified: trackers a minute | %.1f |\n", 60.0 * kTrackers / r.verified);
    std::printf("| line, --no-verify: trackers a minute | %.1f |\n",
                60.0 * kTrackers / r.unverified);
    std::printf(
        "\nTrackers plugged into a hub at once, from the plug until the last is written:\n\n");
    std::printf("| trackers | --no-verify, as the window writes | verified |\n|---|---:|---:|\n");
    for (const auto& [trackers, seconds] : r.atOnce) {
        std::printf("| %d at once (s) | %.3f | %.3f |\n", trackers, seconds.first, seconds.second);
    }
    std::printf("\nA stream of %d trackers plugged one every %lld s, verified:\n\n",
                kStreamTrackers, static_cast<long long>(kStreamPace.count()));
    std::printf("| measure | value |\n|---|---:|\n");
    std::printf("| machine time a tracker, plug to written (s) | %.3f |\n", average(r.stream));
    std::printf("| longest, plug to written (s) | %.3f |\n", longest(r.stream));
    std::printf("| trackers a minute | %.1f |\n",
                60.0 / std::chrono::duration<double>(kStreamPace).count());
    const double one = r.atOnce.at(1).first;
    const double eight = r.atOnce.at(8).first;
    std::printf(
        "\nGoals: one tracker within 0.020 s of the window's read + write: %+.3f s (%s); "
        "8 at once within 1.5 times one: %.2f times (%s).\n",
        one - r.window, one - r.window <= 0.020 ? "met" : "not met", eight / one,
        eight <= 1.5 * one ? "met" : "not met");
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
    Rows rows;
    rows.window = window;
    rows.verified = runLine(clock, folder, profile, true);
    rows.unverified = runLine(clock, folder, profile, false);
    bool failed = rows.verified < 0 || rows.unverified < 0;
    for (const int trackers : {1, 4, 8}) {
        const std::vector<korvan::Clock::Duration> together(static_cast<std::size_t>(trackers));
        const auto plain = runHub(folder, profile, together, false, "hub.zcf");
        const auto verified = runHub(folder, profile, together, true, "hub-verified.zcf");
        rows.atOnce[trackers] = {longest(plain), longest(verified)};
        failed = failed || plain.empty() || verified.empty();
    }
    std::vector<korvan::Clock::Duration> paced;
    for (int i = 0; i < kStreamTrackers; ++i) {
        paced.push_back(i * std::chrono::duration_cast<korvan::Clock::Duration>(kStreamPace));
    }
    rows.stream = runHub(folder, profile, paced, true, "stream.zcf");
    failed = failed || rows.stream.empty();
    std::filesystem::remove_all(folder);
    if (failed) {
        return 1;
    }
    printTable(rows);
    return 0;
}
