// The device operations over a link to a tracker whose replies the fuzz input garbles: the
// reply parsers see anything a failing tracker or bridge could send, and every operation must
// still end with its link closed and an outcome that agrees with what happened.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/file_io.h"
#include "core/detection.h"
#include "core/form_mapping.h"
#include "core/form_outcomes.h"
#include "core/scripted_desktop.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scripted_bridge.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"
#include "settings/field_model.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"

namespace korvan {
namespace {

using fuzz::require;
using fuzz::Script;
using fuzz::ScriptedBridge;

const fuzz::ScratchFolder scratch;

// What the window writes after reading the configured tracker: the form's own configuration.
TrackerConfiguration configurationAfterRead() {
    VirtualClock clock;
    sim::SimulatedBridge bridge(clock);
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    Link link(bridge, clock);
    FieldModel model;
    loadSettings(model, scratch / "first-run.ini");
    model.setText(Field::SerialNumber, "90001");
    NoProgress progress;
    ScriptedDesktop noBoxes;
    applyRead(model, noBoxes, readConfiguration(link, ReadRequest{}, progress));
    return configurationFromForm(model);
}

class ScriptedQuestions final : public DebugLogQuestions {
  public:
    ScriptedQuestions(bool yes, std::optional<std::string> file) : yes_(yes), file_(file) {}
    bool confirmErase() override { return yes_; }
    std::optional<std::string> chooseLogFile() override { return file_; }

  private:
    bool yes_;
    std::optional<std::string> file_;
};

// How an operation ended against what its messages say and what the bridge saw.
void checkOutcome(const Outcome& outcome, const ScriptedBridge& bridge) {
    bool fatalTold = false;
    for (std::size_t i = 0; i < outcome.messages.size(); ++i) {
        const Severity severity = outcome.messages[i].severity;
        if (severity == Severity::Fatal) {
            require(i + 1 == outcome.messages.size(), "something was told after a fatal message");
            fatalTold = true;
        }
        require(severity != Severity::Success || outcome.ending == Ending::Done,
                "success was told of an operation that did not succeed");
    }
    switch (outcome.ending) {
        case Ending::Done:
            require(!fatalTold, "an operation that succeeded told a fatal message");
            break;
        case Ending::Failed:
            require(fatalTold, "an operation failed without saying why");
            break;
        case Ending::Cancelled:
            require(fatalTold && bridge.cancelPressed(), "an operation cancelled by itself");
            break;
        case Ending::DeviceGone:
            require(fatalTold && bridge.saidGone(), "a tracker went that was never pulled out");
            break;
        case Ending::NotStarted:
            break;
    }
    for (const Step& step : outcome.steps) {
        require(step.attempts >= 0 && step.attempts <= kExchangeAttempts,
                "a step made more attempts than an exchange has");
    }
}

void checkOperation(const Outcome& outcome, const ScriptedBridge& bridge, const Link& link) {
    require(!link.isOpen() && !bridge.isOpen(), "an operation left its link open");
    require(bridge.opens() <= 1, "an operation opened its link more than once");
    checkOutcome(outcome, bridge);
}

void read(ScriptedBridge& bridge, Link& link, bool settings) {
    NoProgress progress;
    const auto outcome = readConfiguration(link, ReadRequest{settings}, progress);
    checkOperation(outcome, bridge, link);
    require(!outcome.succeeded() || outcome.firmware.has_value(),
            "a read succeeded without the firmware version");
    FieldModel model;
    ScriptedDesktop boxes;
    applyRead(model, boxes, outcome);
}

void write(ScriptedBridge& bridge, Link& link, Script& script, std::uint8_t setup) {
    static const TrackerConfiguration afterRead = configurationAfterRead();
    TrackerConfiguration configuration = afterRead;
    if ((setup & 0x80) != 0) {
        // A number as a technician may type it: out of range, empty or no number at all.
        const int field = script.next() % (static_cast<int>(NumberField::LastOfPoint3) + 1);
        numberOf(configuration, static_cast<NumberField>(field)).text =
            script.take(script.next() % 12);
    }
    NoProgress progress;
    const auto outcome = writeConfiguration(link, configuration, progress);
    checkOperation(outcome, bridge, link);
    // Success is what records the device, so it must mean that the tracker took every step.
    const bool everyStepDone =
        std::all_of(outcome.steps.begin(), outcome.steps.end(),
                    [](const Step& step) { return step.status == StepStatus::Done; });
    require(!outcome.succeeded() || (everyStepDone && bridge.opens() == 1),
            "a write succeeded with a step the tracker did not confirm");
    const bool toldUnconfirmed =
        !outcome.messages.empty() &&
        outcome.messages.back().text.starts_with(cp1251::fromUtf8("Устройство не подтвердило: "));
    require(!toldUnconfirmed || (outcome.ending == Ending::Failed && !everyStepDone),
            "a write named unconfirmed steps where there were none");
}

void clearLog(ScriptedBridge& bridge, Link& link, std::uint8_t setup) {
    ScriptedQuestions questions((setup & 0x01) == 0, std::nullopt);
    NoProgress progress;
    const auto outcome = clearDebugLog(link, questions, progress);
    checkOperation(outcome, bridge, link);
    require((setup & 0x01) == 0 || bridge.exchanged().empty(),
            "a command was sent after the technician said no to the erase");
}

// A log copied in full is the bytes the tracker sent for its blocks, in order.
void readLog(ScriptedBridge& bridge, Link& link, std::uint8_t setup, bool fullRead) {
    const auto path = scratch / "debug.bin";
    std::filesystem::remove(path);
    ScriptedQuestions questions(true,
                                (setup & 0x01) == 0 ? std::optional(path.string()) : std::nullopt);
    NoProgress progress;
    const auto outcome = readDebugLog(link, questions, progress, fullRead);
    checkOperation(outcome, bridge, link);
    if (!outcome.succeeded() || !std::filesystem::exists(path)) {
        return;
    }
    std::string blocks;
    for (const auto& exchanged : bridge.exchanged()) {
        if (exchanged.command.starts_with("DEBUG_READ_LOG,")) {
            blocks += exchanged.delivered;
        }
    }
    require(readWholeFile(path) == blocks, "the log file is not what the tracker sent");
}

std::vector<fuzz::ListedDevice> listing(Script& script) {
    static const std::string kDescriptions[] = {"Zentracor", "VANTORIUM", "FT232R USB UART", ""};
    static const std::string kSerials[] = {"90001", "90002", "0", "123456"};
    std::vector<fuzz::ListedDevice> devices;
    const int count = script.next() % 4;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t choice = script.next();
        fuzz::ListedDevice device{kDescriptions[choice % 4], kSerials[(choice >> 2) % 4]};
        if ((choice & 0x10) != 0) {
            device.serial = script.take(script.next() % 8);
        }
        if ((choice & 0x20) != 0) {
            device.status = BridgeStatus::Failed;
        }
        devices.push_back(device);
    }
    return devices;
}

void detect(ScriptedBridge& bridge, Link& link, VirtualClock& clock, std::uint8_t setup) {
    int readsMade = 0;
    DetectionHooks hooks;
    hooks.read = [&](const DetectedTracker& tracker) {
        link.setTarget(LinkTarget::serial(tracker.usbSerial));
        const int opensBefore = bridge.opens();
        NoProgress progress;
        auto outcome = readConfiguration(link, ReadRequest{}, progress);
        ++readsMade;
        require(!link.isOpen() && !bridge.isOpen(), "a read in detection left its link open");
        require(bridge.opens() <= opensBefore + 1, "a read opened its link more than once");
        checkOutcome(outcome, bridge);
        return outcome;
    };
    hooks.stopped = [&] { return link.cancelRequested(); };
    const int currentSerial = (setup & 0x01) != 0 ? 90001 : 0;
    const auto outcome = detectTrackers(bridge, clock, currentSerial, hooks);

    std::size_t reads = 0;
    for (const DetectedTracker& tracker : outcome.trackers) {
        require(tracker.reads.size() <= 5, "a tracker was read more than five times");
        require(tracker.ready == (!tracker.reads.empty() && tracker.reads.back().succeeded()),
                "a tracker is ready other than by its last read");
        reads += tracker.reads.size();
    }
    require(reads == static_cast<std::size_t>(readsMade), "a read is missing from the pass");
    require(outcome.trackers.size() <= outcome.count, "more trackers than the listing holds");

    FieldModel model;
    ScriptedDesktop boxes;
    applyDetection(model, outcome, [&](const ReadOutcome& read) { applyRead(model, boxes, read); });
}

}  // namespace
}  // namespace korvan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    fuzz::Script script({data, size});
    const std::uint8_t operation = script.next();
    const std::uint8_t setup = script.next();

    auto tracker = (setup & 0x02) != 0 ? sim::SimulatedTracker::erased("90001")
                                       : sim::SimulatedTracker::configured("90001");
    if ((setup & 0x04) != 0) {
        tracker.firmware = "WIFI-0.98";  // before the debug log pointer
    }
    const bool detection = operation % 7 == 6;
    auto devices =
        detection ? listing(script) : std::vector<fuzz::ListedDevice>{{"Zentracor", "90001"}};
    VirtualClock clock;
    fuzz::ScriptedBridge bridge(clock, script, std::move(tracker), std::move(devices));
    if ((setup & 0x08) != 0) {
        bridge.refuseOpen((setup & 0x10) != 0 ? BridgeStatus::AccessDenied : BridgeStatus::Failed);
    }
    Link link(bridge, clock);
    bridge.watch(link);
    link.setEarlyCompletion((setup & 0x20) == 0);

    switch (operation % 7) {
        case 0:
            read(bridge, link, true);
            break;
        case 1:
            read(bridge, link, false);
            break;
        case 2:
            write(bridge, link, script, setup);
            break;
        case 3:
            clearLog(bridge, link, setup);
            break;
        case 4:
            readLog(bridge, link, setup, false);
            break;
        case 5:
            readLog(bridge, link, setup, true);
            break;
        default:
            detect(bridge, link, clock, setup);
            break;
    }
    return 0;
}
