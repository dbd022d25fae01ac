// korvan-cli: the tracker's operations and the provisioning line from a command line. With
// --sim, simulated trackers at wire speed stand in for the USB devices.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/run.h"
#include "link/ftdi_bridge.h"
#include "link/usb_watcher.h"
#include "sim/simulated_bridge.h"
#include "sim/tracker_choices.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
    // Only what a signal handler may call: one write, unbuffered.
    static constexpr char kSaid[] = "\nКонец после трекеров в работе; ещё Ctrl+C — сразу.\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kSaid, sizeof kSaid - 1);
}

// The real bus told by the USB watcher: hot-plug events, or a listing as often as the line would
// look where the system sends none.
class UsbWatch final : public korvan::cli::DeviceWatch {
  public:
    explicit UsbWatch(std::function<void()> changed)
        : watcher_(std::move(changed), korvan::cli::kLookInterval) {}
    bool running() const { return watcher_.running(); }

  private:
    korvan::UsbWatcher watcher_;
};

// The simulated bench tells of every plug and unplug itself.
class SimulatedWatch final : public korvan::cli::DeviceWatch {
  public:
    SimulatedWatch(korvan::sim::SimulatedBridge& bridge, std::function<void()> changed)
        : bridge_(bridge) {
        bridge_.onDevicesChanged = std::move(changed);
    }
    ~SimulatedWatch() override { bridge_.onDevicesChanged = nullptr; }
    SimulatedWatch(const SimulatedWatch&) = delete;
    SimulatedWatch& operator=(const SimulatedWatch&) = delete;

  private:
    korvan::sim::SimulatedBridge& bridge_;
};

class ProgramEnvironment final : public korvan::cli::Environment {
  public:
    std::ostream& out() override { return std::cout; }
    std::ostream& err() override { return std::cerr; }
    korvan::Bridge& bridge(bool simulated) override {
        if (!simulated) {
            if (!real_) {
                real_ = std::make_unique<korvan::FtdiBridge>();
            }
            return *real_;
        }
        if (!simulated_) {
            simulated_ = std::make_unique<korvan::sim::SimulatedBridge>(clock_);
            plugKinds();
        }
        return *simulated_;
    }
    korvan::Clock& clock(bool) override { return clock_; }
    std::unique_ptr<korvan::cli::DeviceWatch> watchDevices(bool simulated,
                                                           std::function<void()> changed) override {
        if (simulated) {
            bridge(true);
            return std::make_unique<SimulatedWatch>(*simulated_, std::move(changed));
        }
        // Where libusb cannot even start, the line looks for itself.
        auto watch = std::make_unique<UsbWatch>(std::move(changed));
        return watch->running() ? std::move(watch) : nullptr;
    }
    bool stopRequested() override { return interrupted != 0; }
    // The first Ctrl+C lets the trackers in hand be finished; a second one ends the program.
    // The other commands keep the usual Ctrl+C, which ends them at once.
    void lineBegins() override {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    // The simulated line: a written tracker is taken away and the next one plugged in.
    void provisionLooks(bool simulated, const std::set<std::string>& done) override {
        if (!simulated || !simulated_) {
            return;
        }
        for (const auto& usbSerial : done) {
            simulated_->unplugSerial(usbSerial);
        }
        // A tracker the system refuses is never taken: once it alone is left, it goes too and
        // the next round comes, unless refused trackers are all there is.
        if (std::any_of(kinds_.begin(), kinds_.end(),
                        [](const auto& k) { return k != kNoAccess; })) {
            for (const auto& usbSerial : simulated_->attachedSerials()) {
                if (!refused_.count(usbSerial)) {
                    return;
                }
            }
            for (const auto& usbSerial : refused_) {
                simulated_->unplugSerial(usbSerial);
            }
            refused_.clear();
        }
        if (simulated_->attached() == 0) {
            plugKinds();
        }
    }
    bool showsProgress() override { return ::isatty(STDERR_FILENO) != 0; }
    bool canAsk() override { return ::isatty(STDIN_FILENO) != 0 && ::isatty(STDERR_FILENO) != 0; }
    bool ask(std::string_view question) override {
        std::cerr << question << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::cerr << '\n';
            return false;
        }
        // "д", "да", "y", "yes", in either case; anything else is a no.
        for (const std::string_view yes : {"д", "Д", "да", "Да", "ДА", "y", "Y", "yes", "Yes"}) {
            if (answer == yes) {
                return true;
            }
        }
        return false;
    }
    void simulatedFirstSerial(int serial) override { next_ = serial; }
    std::optional<std::string> addSimulatedTracker(std::string_view kind) override {
        if ((kind == "none" && !kinds_.empty()) || (kind != "none" && none_)) {
            return "none не сочетается с другими видами";
        }
        if (kind == "none") {
            none_ = true;
            return std::nullopt;
        }
        if (kind != kNoAccess && !korvan::sim::makeTracker(kind, {})) {
            return "неизвестный вид трекера; виды: configured, erased, mute, pulled-out, "
                   "without-mode, port-not-kept, no-access, none";
        }
        kinds_.emplace_back(kind);
        return std::nullopt;
    }
    std::optional<std::string> addSimulatedFault(std::string_view text) override {
        std::string error;
        auto fault = korvan::sim::parseFaultChoice(text, error);
        if (!fault) {
            return error;
        }
        faults_.push_back(std::move(*fault));
        return std::nullopt;
    }

  private:
    // Not a tracker's firmware but the system's refusal: any kind of tracker, refused.
    static constexpr std::string_view kNoAccess = "no-access";

    // The trackers --sim-tracker names, each with the next serial number; one configured
    // tracker when it names none. The provisioning line gets them again each time it has
    // handled every one.
    void plugKinds() {
        if (none_) {
            return;
        }
        const std::vector<std::string> configured = {"configured"};
        for (const std::string& kind : kinds_.empty() ? configured : kinds_) {
            if (next_ > 99999) {
                return;
            }
            auto made = korvan::sim::makeTracker(kind == kNoAccess ? "configured" : kind,
                                                 std::to_string(next_++));
            made->refusesAccess = kind == kNoAccess;
            if (made->refusesAccess) {
                refused_.insert(made->usbSerial);
            }
            for (const auto& fault : faults_) {
                made->injectFault(fault);
            }
            simulated_->plug(std::move(*made));
        }
    }

    std::vector<korvan::sim::Fault> faults_;
    korvan::SteadyClock clock_;
    std::unique_ptr<korvan::FtdiBridge> real_;
    std::unique_ptr<korvan::sim::SimulatedBridge> simulated_;
    int next_ = 90001;
    std::vector<std::string> kinds_;
    bool none_ = false;              // --sim-tracker none: nothing attached
    std::set<std::string> refused_;  // attached trackers the system refuses
};

}  // namespace

int main(int argc, char** argv) {
    ProgramEnvironment environment;
    return korvan::cli::runCli(argc, argv, environment);
}
