#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/tracker_listing.h"
#include "link/bridge.h"
#include "link/clock.h"

// korvan-cli: the tracker's operations from a command line, on the same core as the window.
namespace korvan::cli {

// The exit statuses, as `korvan-cli --help` and its manual page list them.
enum ExitStatus : int {
    kDone = 0,           // everything asked was done
    kFailed = 1,         // a tracker's operation failed, or a provisioned tracker did
    kUsage = 2,          // the command line was wrong
    kNoTracker = 3,      // no tracker, or not the one named, or more than one to choose from
    kAccessRefused = 4,  // the system refused access to the USB device
    kFileProblem = 5,    // a profile, database or output file could not be read or written
};

// Told of devices coming and going for as long as it lives.
class DeviceWatch {
  public:
    virtual ~DeviceWatch() = default;
};

// What the commands run against: the real bridge, or simulated trackers for `--sim`.
class Environment {
  public:
    virtual ~Environment() = default;
    virtual std::ostream& out() = 0;
    virtual std::ostream& err() = 0;
    virtual Bridge& bridge(bool simulated) = 0;
    virtual Clock& clock(bool simulated) = 0;
    // Ctrl+C was pressed: the provisioning line takes no new tracker and ends once those in
    // hand are done.
    virtual bool stopRequested() = 0;
    // The USB descriptions taken for a tracker, as the window's detection takes them: the
    // trackers' own; a test rig adds its emulated bridge's.
    virtual std::vector<std::string> trackerDescriptions() { return kTrackerDescriptions; }
    // While the watch lives, `changed` is called, on any thread, whenever a device may have come
    // or gone: hot-plug events, or a listing taken often where the system has none. Null where
    // nothing can tell; the provisioning line then looks every kLookInterval itself (and after
    // each tracker it ends).
    virtual std::unique_ptr<DeviceWatch> watchDevices(bool simulated,
                                                      std::function<void()> changed) {
        (void)simulated;
        (void)changed;
        return nullptr;
    }
    // Whether standard error is a terminal, where the steps of an operation are shown as the
    // window's progress bar shows them.
    virtual bool showsProgress() { return false; }
    // Whether a person is there to answer a question: standard input and error are a terminal.
    virtual bool canAsk() { return false; }
    // Asks `question` (UTF-8) on the terminal; true for a yes.
    virtual bool ask(std::string_view question) {
        (void)question;
        return false;
    }
    // The provisioning line begins: from now on, Ctrl+C asks it to end.
    virtual void lineBegins() {}
    // The provisioning line is about to look for trackers again; `done` are the USB serial
    // strings of the trackers still attached that it has handled. Simulated trackers come and
    // go here.
    virtual void provisionLooks(bool simulated, const std::set<std::string>& done) {
        (void)simulated;
        (void)done;
    }
    // --sim-fault: every simulated tracker misbehaves so, as korvan-tracker-server's --fault
    // says. Nothing when taken, else why not (Russian).
    // --sim-first-serial: the first simulated tracker's serial number; the next count up from
    // it, so that two simulated lines can share a database.
    virtual void simulatedFirstSerial(int serial) { (void)serial; }
    // --sim-tracker: a simulated tracker of this kind is attached, beside the others named so,
    // instead of the one configured tracker. Nothing when taken, else why not (Russian).
    virtual std::optional<std::string> addSimulatedTracker(std::string_view kind) {
        (void)kind;
        return "симулированные трекеры здесь не выбираются";
    }
    virtual std::optional<std::string> addSimulatedFault(std::string_view fault) {
        (void)fault;
        return "симулированные сбои здесь не поддерживаются";
    }
};

int runCli(int argc, const char* const* argv, Environment& environment);

}  // namespace korvan::cli
