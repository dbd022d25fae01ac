#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/desktop.h"
#include "core/detection.h"
#include "core/device_worker.h"
#include "core/field_marks.h"
#include "core/window_thread.h"
#include "database/device_database.h"
#include "link/bridge.h"
#include "link/clock.h"
#include "link/link.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"
#include "settings/settings_file.h"

namespace korvan {

// Where a device operation stands, for the window's progress bar.
struct OperationState {
    bool running = false;
    int step = 0;  // from 1; 0 before the first
    int steps = 0;
    std::string what;  // UTF-8
    int attempt = 1;   // of the step, when its tracker has not answered at once
    int attempts = 1;
};

// "Записывать при подключении": what the window shows of it, large, in place of the status
// line.
struct ProvisionBand {
    enum class State : std::uint8_t {
        Off,      // the mode is off: nothing is shown
        Waiting,  // on, no tracker handled yet
        Working,  // a tracker is being written
        Written,  // the last tracker was written, verified and recorded: green
        Failed,   // the last tracker was not: red, with why
    };
    State state = State::Off;
    std::string text;  // UTF-8, the serial number first where there is one
};

// The program without its window: the fields, the link, the device database and every handler
// the window routes its events to. Device operations run on `runner` and report outcomes,
// which are applied to the form and the database here, on the window's thread. The window
// binds to `model()`, calls the handlers and shows `operation()`; it adds no logic of its own.
class Configurator {
  public:
    // Every operation at once, on the caller's thread: tests and benchmarks.
    Configurator(Bridge& bridge, Clock& clock, Desktop& desktop);
    // Operations on `runner`, reaching the window through `window`. Both outlive the core.
    Configurator(Bridge& bridge, Clock& clock, Desktop& desktop, DeviceRunner& runner,
                 WindowThread& window);
    Configurator(const Configurator&) = delete;
    Configurator& operator=(const Configurator&) = delete;
    ~Configurator();

    // The window's start-up, once it is shown: the settings read, the last database opened,
    // the view aligned by `alignView`, the interlocks brought into line with what was read.
    // A device change that arrives meanwhile (the open dialog runs the desktop's event loop)
    // waits until start-up is over.
    void windowShown(const std::function<void()>& alignView);
    // The window's end: a running operation cancelled and waited for, a database that a
    // written device could not be saved into tried once more, the records released and the
    // settings saved.
    SettingsSaveResult windowClosing();
    // The session ends or the program is told to stop, with no one left to answer a dialog:
    // the settings saved, and a database that written devices are waiting for saved when it
    // has a file that may be written. The window stays as it is.
    struct SavedBeforeEnd {
        SettingsSaveResult settings;
        // Records of written devices still not in the database: its file could not be
        // written, or it has none that may be (never named, or one that could not be read).
        bool recordsLeft = false;
    };
    SavedBeforeEnd saveBeforeEnd();

    // Where the settings file lives; set by the program's entry before the window shows.
    std::filesystem::path settingsPath;
    // The USB descriptions detection takes for a tracker: the shipped programs keep the
    // trackers' own; a test rig adds its emulated bridge's.
    std::vector<std::string> trackerDescriptions = kTrackerDescriptions;
    // A device database named when the program was started (a file opened from the file
    // manager): start-up opens it instead of the last one. UTF-8; empty: none.
    std::string databaseToOpen;

    FieldModel& model() { return model_; }
    DeviceDatabase& database() { return database_; }
    // The link belongs to the device worker while an operation runs: tests and benchmarks only,
    // between operations.
    Link& link() { return link_; }

    // A device came or went. Detection runs now, or once the running operation has ended:
    // never two links.
    void devicesChanged();
    // A device operation, or a dialog of start-up or of the database, is under way.
    bool operationRunning() const { return deviceBusy_ || depth_ > 0; }
    const OperationState& operation() const { return operation_; }
    // Told on the window's thread whenever `operation()` changes.
    std::function<void()> operationChanged;
    // Told on the window's thread when a device operation has ended, before its outcome is
    // shown (which may wait in a message box): what it was (UTF-8) and how it went. A
    // detection tells the reads it made as one outcome, and nothing when it read no tracker.
    std::function<void(const Outcome& outcome, std::string_view what)> operationEnded;
    // Stops the running device operation at its next exchange. Any thread.
    void cancel();

    void detectTrackers();
    // Reads the attached tracker's configuration into the fields.
    void readTracker();
    void readTrackerAfresh();
    // Writes the fields into the tracker shown; with "Проверять трекер после записи" ticked,
    // reads it back and compares before the write counts.
    void writeTracker();
    // Ctrl+Alt+V: reads the tracker back and compares it with the fields, marking each field
    // it holds otherwise.
    void compareWithTracker();
    // Ctrl+Alt+P: "Записывать при подключении" on, once the technician confirms it, or off.
    // While on, every tracker detection reads is given the configuration the window held when
    // the mode was turned on, written, verified and recorded, and the outcome is shown in the
    // band rather than in message boxes. Off at every start.
    void toggleProvisioning();
    bool provisioning() const { return band_.state != ProvisionBand::State::Off; }
    const ProvisionBand& provisionBand() const { return band_; }
    // Told on the window's thread whenever `provisionBand()` changes.
    std::function<void()> provisionChanged;
    void clearDebugLog();
    void readDebugLog(bool fullRead);
    void openDatabase();
    void showDatabase();
    // Tracker profiles: the fields saved to a file that a dialog names, or loaded from one
    // (Ctrl+O) or from a file dropped on the window. A profile holds no identity, so loading one
    // leaves the tracker shown and the write button as they are. Nothing while an operation runs.
    void saveProfile();
    void openProfile();
    void openProfileFile(const std::string& pathUtf8);

  private:
    class Operation;
    class WorkerProgress;
    class WindowQuestions;

    void write(bool verify);
    void showBand(ProvisionBand::State state, std::string text);
    // A pass of detection in "Записывать при подключении": the tracker it read is written
    // next, or shown as not read.
    void provisionDetected(const DetectionOutcome& outcome);
    // The tracker detection has just read, given the mode's configuration and written.
    void provisionReadTracker();

    // The database saved and its report shown; true when both files were written.
    bool saveDeviceDatabase();

    // Starts a device operation on the runner. The job returns what applies its outcome, which
    // runs on the window's thread once the job has ended.
    void startDeviceWork(std::function<std::function<void()>(Progress&)> job);
    void endDeviceWork(const std::function<void()>& apply);
    void stepReached(int index, int count, std::string what);
    void retryReached(int attempt, int attempts);
    void postToWindow(std::function<void()> task);
    void tellEnded(const Outcome& outcome, std::string_view what) const;
    void startUp();
    void loadProfile(const std::string& pathUtf8);
    // Detection held back by an operation runs once nothing runs any more.
    void handleHeldDeviceChange();
    // A running read cancelled (a write is let end), a waiting dialog call released, the
    // worker joined.
    void stopWorker();

    Bridge& bridge_;
    Clock& clock_;
    Desktop& desktop_;
    std::unique_ptr<InlineRunner> ownRunner_;
    std::unique_ptr<SameThread> ownWindow_;
    DeviceRunner& runner_;
    WindowThread& window_;
    FieldModel model_;
    FieldMarker marker_{model_};
    Link link_;
    DeviceDatabase database_;
    OperationState operation_;
    bool deviceBusy_ = false;
    bool applying_ = false;  // an outcome is being shown, perhaps in a message box
    int depth_ = 0;
    bool deviceChangeHeld_ = false;
    // A password of the wrong length turned the write button off: it comes back once the
    // password has its eight characters, unless detection has decided about it meanwhile.
    bool writeHeldForPassword_ = false;
    Subscription passwordWatch_;
    // Work posted to the window's thread is dropped once the core is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // What the worker's last job left for the window's thread, until it has been applied there:
    // a window that goes just as a write ends still records the device.
    std::mutex finishedMutex_;
    std::function<void()> finished_;
    std::function<void()> takeFinished();
    // Whether a write has been let touch the tracker, or the window has gone: decided once,
    // between the worker that would begin a write and the window that ends, so that a write
    // is either never begun or let run to its end, never cut in its middle.
    enum class WriteGate { Open, WriteInHand, Closed };
    std::atomic<WriteGate> writeGate_{WriteGate::Open};
    bool ending_ = false;
    ProvisionBand band_;
    std::string provisionProfile_;   // the configuration the mode writes, as a profile
    bool provisionPending_ = false;  // detection read a tracker the mode is to write
    bool provisionWriting_ = false;  // the write in hand is the mode's
    std::set<int> provisioned_;      // serials handled by the mode since they were plugged in
    std::set<int> lastListed_;       // the trackers the last whole listing named
};

}  // namespace korvan
