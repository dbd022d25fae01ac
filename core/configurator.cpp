#include "core/configurator.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/cp1251.h"
#include "base/file_names.h"
#include "core/detection.h"
#include "core/field_rules.h"
#include "core/form_mapping.h"
#include "core/form_outcomes.h"
#include "protocol/debug_log.h"
#include "protocol/session.h"
#include "protocol/tracker_facts.h"
#include "settings/tracker_profile.h"

namespace korvan {
namespace {

// The reads of a detection pass as one outcome: every step and message in order, ended as the
// last read ended.
Outcome readsOf(const DetectionOutcome& detection) {
    Outcome all;
    for (const auto& tracker : detection.trackers) {
        for (const auto& read : tracker.reads) {
            all.steps.insert(all.steps.end(), read.steps.begin(), read.steps.end());
            all.messages.insert(all.messages.end(), read.messages.begin(), read.messages.end());
            all.ending = read.ending;
        }
    }
    return all;
}

std::string trackersRead(const DetectionOutcome& detection) {
    std::string what = "Обнаружение и чтение трекера";
    for (const auto& tracker : detection.trackers) {
        if (!tracker.reads.empty()) {
            what += ' ' + tracker.usbSerial;
        }
    }
    return what;
}

// Message boxes that no one sees: in "Записывать при подключении" the band tells the outcome,
// and nothing may wait for a click between two trackers.
class KeptBoxes final : public MessageBoxes {
  public:
    void message(MessageIcon, std::string_view) override {}
    bool confirm(std::string_view) override { return false; }
};

// Every device listed, none refused and no read cut short: the listing names every tracker
// attached.
bool wholeListing(const DetectionOutcome& detection) {
    return detection.listed && !detection.incomplete && !detection.accessDenied &&
           !detection.interrupted;
}

bool anyRead(const DetectionOutcome& detection) {
    for (const auto& tracker : detection.trackers) {
        if (!tracker.reads.empty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Marks a dialog of start-up or of the database as running; the last one to end handles a
// held device change.
class Configurator::Operation {
  public:
    explicit Operation(Configurator& owner) : owner_(owner) { ++owner_.depth_; }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    ~Operation() {
        --owner_.depth_;
        owner_.handleHeldDeviceChange();
    }

  private:
    Configurator& owner_;
};

// The progress of an operation, carried to the window's thread.
class Configurator::WorkerProgress final : public Progress {
  public:
    explicit WorkerProgress(Configurator& owner) : owner_(owner) {}
    void step(int index, int count, std::string_view what) override {
        owner_.postToWindow([owner = &owner_, index, count, text = std::string(what)] {
            owner->stepReached(index, count, text);
        });
    }
    void retry(int attempt, int attempts) override {
        owner_.postToWindow(
            [owner = &owner_, attempt, attempts] { owner->retryReached(attempt, attempts); });
    }

  private:
    Configurator& owner_;
};

// The questions of the debug-log operations, asked on the window's thread.
class Configurator::WindowQuestions final : public DebugLogQuestions {
  public:
    explicit WindowQuestions(Configurator& owner) : owner_(owner) {}
    // The answers are shared with the task: a window that goes while its dialog is open
    // lets the worker go on without them.
    bool confirmErase() override {
        auto yes = std::make_shared<bool>(false);
        owner_.window_.call([yes, &desktop = owner_.desktop_] {
            *yes = desktop.confirm("Вы действительно хотите стереть отладочный журнал?");
        });
        return *yes;
    }
    std::optional<std::string> chooseLogFile() override {
        auto path = std::make_shared<std::optional<std::string>>();
        owner_.window_.call(
            [path, &desktop = owner_.desktop_] { *path = desktop.chooseLogFile(); });
        return *path;
    }

  private:
    Configurator& owner_;
};

Configurator::Configurator(Bridge& bridge, Clock& clock, Desktop& desktop)
    : bridge_(bridge),
      clock_(clock),
      desktop_(desktop),
      ownRunner_(std::make_unique<InlineRunner>()),
      ownWindow_(std::make_unique<SameThread>()),
      runner_(*ownRunner_),
      window_(*ownWindow_),
      link_(bridge, clock),
      database_(desktop) {
    startUp();
}

Configurator::Configurator(Bridge& bridge, Clock& clock, Desktop& desktop, DeviceRunner& runner,
                           WindowThread& window)
    : bridge_(bridge),
      clock_(clock),
      desktop_(desktop),
      runner_(runner),
      window_(window),
      link_(bridge, clock),
      database_(desktop) {
    startUp();
}

Configurator::~Configurator() {
    stopWorker();
}

void Configurator::startUp() {
    // Until detection has shown a tracker, no device is one to open.
    link_.setTarget(LinkTarget::nothing());
    passwordWatch_ = model_.subscribe([this](Field field, Aspect aspect) {
        if (writeHeldForPassword_ && field == Field::ServerPassword && aspect == Aspect::Value &&
            model_.text(Field::ServerPassword).size() == kPasswordLength) {
            writeHeldForPassword_ = false;
            model_.setEnabled(Field::WriteButton, true);
        }
    });
}

void Configurator::stopWorker() {
    // A read is cancelled at its next exchange; a write runs to its end, bounded by its own
    // timeouts, so that a tracker that takes it gets its record.
    auto open = WriteGate::Open;
    if (writeGate_.compare_exchange_strong(open, WriteGate::Closed) || open == WriteGate::Closed) {
        cancel();
    }
    window_.abandonCalls();
    runner_.finish();
}

std::function<void()> Configurator::takeFinished() {
    std::lock_guard lock(finishedMutex_);
    return std::exchange(finished_, {});
}

void Configurator::windowShown(const std::function<void()>& alignView) {
    Operation operation(*this);
    loadStartingFields(model_, settingsPath);
    if (!databaseToOpen.empty()) {
        // Absolute, so that the settings keep a name that still holds from another folder.
        std::error_code error;
        const auto absolute = std::filesystem::absolute(pathFromUtf8(databaseToOpen), error);
        model_.databasePath = error ? databaseToOpen : utf8FromPath(absolute);
    }
    showDatabaseReport(model_, database_.startUp(model_.databasePath));
    if (alignView) {
        alignView();
    }
    alignStartingFields(model_);
}

SettingsSaveResult Configurator::windowClosing() {
    // The operation in hand ends first; what it left for the window is applied here and now,
    // as the window's queue will not run again, and nothing new is started by it.
    ending_ = true;
    stopWorker();
    alive_.reset();
    if (const auto apply = takeFinished()) {
        deviceChangeHeld_ = false;
        endDeviceWork(apply);
    }
    if (database_.hasUnsavedRecords() && !saveDeviceDatabase()) {
        // Tried once more, the dialog included: what is lost is said, not dropped in silence.
        desktop_.message(MessageIcon::Error,
                         "База устройств не сохранена: записи устройств, записанных после "
                         "последнего сохранения, потеряны.");
    }
    database_.clearRecords();
    return saveSettings(model_, settingsPath);
}

Configurator::SavedBeforeEnd Configurator::saveBeforeEnd() {
    if (database_.hasUnsavedRecords() && !database_.needsSaveName()) {
        saveDeviceDatabase();
    }
    return {saveSettings(model_, settingsPath), database_.hasUnsavedRecords()};
}

void Configurator::cancel() {
    link_.requestCancel();
}

void Configurator::postToWindow(std::function<void()> task) {
    window_.post([alive = std::weak_ptr<int>(alive_), task = std::move(task)] {
        if (alive.lock()) {
            task();
        }
    });
}

void Configurator::startDeviceWork(std::function<std::function<void()>(Progress&)> job) {
    if (!alive_) {
        return;  // the window has gone, and the worker with it
    }
    deviceBusy_ = true;
    link_.clearCancel();
    operation_ = {true, 0, 0, {}};
    if (operationChanged) {
        operationChanged();
    }
    runner_.run([this, job = std::move(job)] {
        WorkerProgress progress(*this);
        auto apply = job(progress);
        {
            std::lock_guard lock(finishedMutex_);
            finished_ = std::move(apply);
        }
        postToWindow([this] {
            if (const auto apply = takeFinished()) {
                endDeviceWork(apply);
            }
        });
    });
}

void Configurator::tellEnded(const Outcome& outcome, std::string_view what) const {
    if (operationEnded) {
        operationEnded(outcome, what);
    }
}

void Configurator::endDeviceWork(const std::function<void()>& apply) {
    // The operation is over before its outcome shows, which may be a message box: the window
    // is whole again meanwhile, and whoever listens sees the operation ended.
    deviceBusy_ = false;
    operation_ = {};
    if (operationChanged) {
        operationChanged();
    }
    applying_ = true;
    apply();
    applying_ = false;
    if (std::exchange(provisionPending_, false) && provisioning()) {
        provisionReadTracker();  // a device change held meanwhile waits for the write
    }
    handleHeldDeviceChange();
}

void Configurator::handleHeldDeviceChange() {
    if (deviceChangeHeld_ && !operationRunning() && !applying_) {
        deviceChangeHeld_ = false;
        detectTrackers();
    }
}

void Configurator::stepReached(int index, int count, std::string what) {
    if (!deviceBusy_) {
        return;
    }
    operation_ = {true, index, count, std::move(what)};
    if (operationChanged) {
        operationChanged();
    }
}

void Configurator::retryReached(int attempt, int attempts) {
    if (!deviceBusy_ || !operation_.running) {
        return;
    }
    operation_.attempt = attempt;
    operation_.attempts = attempts;
    if (operationChanged) {
        operationChanged();
    }
}

void Configurator::devicesChanged() {
    if (operationRunning() || applying_) {
        deviceChangeHeld_ = true;
        return;
    }
    detectTrackers();
}

void Configurator::detectTrackers() {
    if (deviceBusy_) {
        deviceChangeHeld_ = true;
        return;
    }
    const int currentSerial = model_.currentSerial;
    const ReadRequest request{!model_.checked(Field::ReadIdentityOnly)};
    // "Записывать при подключении" reads one tracker a pass, and none it has handled since
    // it was plugged in: the write follows the read, and the next pass comes after the write.
    const bool oneAtATime = provisioning();
    startDeviceWork([this, currentSerial, request, oneAtATime, handled = provisioned_,
                     descriptions = trackerDescriptions](Progress& progress) {
        bool taken = false;
        const auto skip = [&](int serial) {
            return oneAtATime && (taken || handled.contains(serial));
        };
        // The technician sees which tracker is being read while it is read.
        const auto found = [this, &taken](int serial) {
            taken = true;
            postToWindow([this, serial] { showFoundTracker(model_, serial); });
        };
        const auto read = [&](const DetectedTracker& tracker) {
            // The tracker just found, wherever it is listed: never whatever is listed first.
            link_.setTarget(LinkTarget::serial(tracker.usbSerial));
            return readConfiguration(link_, request, progress);
        };
        auto outcome = korvan::detectTrackers(
            bridge_, clock_, currentSerial,
            {read, found, [this] { return link_.cancelRequested(); }, descriptions, skip});
        // Nothing is opened while the window shows no tracker: none is listed, or the last
        // one found has a serial number out of range.
        if (noTrackerListed(outcome) ||
            (!outcome.trackers.empty() && outcome.trackers.back().serial == 0)) {
            link_.setTarget(LinkTarget::nothing());
        }
        if (outcome.accessDenied) {
            tellNoAccessOnStderr();
        }
        return [this, request, outcome = std::move(outcome)] {
            if (anyRead(outcome)) {
                tellEnded(readsOf(outcome), trackersRead(outcome));
            }
            if (!outcome.trackers.empty() || noTrackerListed(outcome)) {
                writeHeldForPassword_ = false;  // detection decides about the write button
            }
            KeptBoxes kept;
            MessageBoxes& boxes = provisioning() ? static_cast<MessageBoxes&>(kept) : desktop_;
            applyDetection(model_, outcome, [this, &boxes](const ReadOutcome& read) {
                applyRead(model_, boxes, read);
            });
            if (wholeListing(outcome)) {
                lastListed_ = {outcome.listedSerials.begin(), outcome.listedSerials.end()};
            }
            if (provisioning()) {
                provisionDetected(outcome);
            }
            if (request.settings && !outcome.trackers.empty() && outcome.trackers.back().ready) {
                marker_.trackerHolds();
            } else if (model_.currentSerial != outcome.shownSerial) {
                // What another tracker was found to hold says nothing of the one shown now.
                marker_.showDifferences({});
            }
        };
    });
}

void Configurator::readTrackerAfresh() {
    if (operationRunning()) {
        return;
    }
    model_.setText(Field::StatusLine, "!");
    readTracker();
}

void Configurator::readTracker() {
    if (operationRunning()) {
        return;
    }
    const ReadRequest request{!model_.checked(Field::ReadIdentityOnly)};
    startDeviceWork([this, request](Progress& progress) {
        auto outcome = readConfiguration(link_, request, progress);
        return [this, request, outcome = std::move(outcome)] {
            tellEnded(outcome, "Чтение конфигурации");
            applyRead(model_, desktop_, outcome);
            if (request.settings && outcome.succeeded()) {
                marker_.trackerHolds();
            }
        };
    });
}

void Configurator::writeTracker() {
    write(model_.checked(Field::VerifyAfterWrite));
}

void Configurator::toggleProvisioning() {
    if (operationRunning()) {
        return;
    }
    if (provisioning()) {
        showBand(ProvisionBand::State::Off, {});
        return;
    }
    // A tracker plugged in while the question is open waits for the answer, and the
    // configuration given is the one the window held when it was asked.
    Operation operation(*this);
    const std::string profile = profileText(model_);
    if (!desktop_.confirm("Включить «Записывать при подключении»? Каждый подключённый трекер "
                          "будет перезаписан настройками из этого окна и внесён в базу.")) {
        return;
    }
    // The database is named now rather than in the middle of the first tracker; without one
    // no tracker could be recorded, and the mode stays off.
    if (database_.needsSaveName()) {
        showDatabaseReport(model_, database_.chooseSaveFile());
        if (database_.needsSaveName()) {
            return;
        }
    }
    provisionProfile_ = profile;
    // Trackers attached already, the one shown among them (whose configuration the window may
    // well hold), count as handled: the mode writes the trackers plugged in from now on.
    provisioned_ = lastListed_;
    if (model_.currentSerial > 0) {
        provisioned_.insert(model_.currentSerial);
    }
    showBand(ProvisionBand::State::Waiting,
             "Записывать при подключении: подключите трекер (Ctrl+Alt+P — выключить)");
}

void Configurator::showBand(ProvisionBand::State state, std::string text) {
    band_ = {state, std::move(text)};
    if (provisionChanged) {
        provisionChanged();
    }
}

void Configurator::provisionDetected(const DetectionOutcome& outcome) {
    // A tracker pulled out is handled again when it comes back; only a listing that names
    // every device, and was not cut short by a read, can tell that it has gone.
    if (wholeListing(outcome)) {
        std::erase_if(provisioned_, [this](int serial) { return !lastListed_.contains(serial); });
    }
    const auto read = std::find_if(outcome.trackers.rbegin(), outcome.trackers.rend(),
                                   [](const DetectedTracker& t) { return !t.reads.empty(); });
    if (read == outcome.trackers.rend()) {
        if (outcome.accessDenied) {
            // The status line that says so is under the band.
            showBand(ProvisionBand::State::Failed, std::string(kNoAccessMessage));
        }
        return;
    }
    if (read->ready) {
        provisionPending_ = true;  // written once this outcome is applied
        return;
    }
    provisioned_.insert(read->serial);
    deviceChangeHeld_ = true;  // the next tracker attached, if any
    char serial[16];
    std::snprintf(serial, sizeof serial, "%05d", read->serial);
    showBand(ProvisionBand::State::Failed,
             std::string(serial) + " не прочитан: " + toldText(readsOf(outcome)));
}

void Configurator::provisionReadTracker() {
    // The tracker's own settings, just read, give way to the mode's; its identity stays.
    loadProfileText(model_, provisionProfile_);
    const std::string serial = cp1251::toUtf8(model_.text(Field::SerialNumber));
    showBand(ProvisionBand::State::Working, serial + ": запись и проверка…");
    provisionWriting_ = true;
    write(true);
    if (!deviceBusy_ && std::exchange(provisionWriting_, false)) {
        showBand(ProvisionBand::State::Failed, serial + " не записан: запись не началась");
    }
}

void Configurator::write(bool verify) {
    if (operationRunning()) {
        return;
    }
    startDeviceWork([this, verify,
                     configuration = configurationFromForm(model_)](Progress& progress) {
        // The database's file, if one must be named, is asked for on the window's thread once
        // the fields have passed and before the tracker is touched; a device the database
        // could not take is found there too, and the tracker is not written.
        const BeforeOpening prepareDatabase = [this, &configuration] {
            auto refusal = std::make_shared<std::optional<std::string>>();
            const bool asked = window_.call([this, refusal, written = asWritten(configuration)] {
                *refusal = prepareDatabaseForWrite(model_, database_, written);
            });
            auto open = WriteGate::Open;
            if (!asked || refusal->has_value() ||
                !writeGate_.compare_exchange_strong(open, WriteGate::WriteInHand)) {
                // The window went before the database could be asked, or as it was: nothing
                // is written that could not be recorded.
                return refusal->has_value()
                           ? *refusal
                           : std::optional<std::string>("программа завершается: трекер не записан");
            }
            return std::optional<std::string>();
        };
        auto outcome = writeConfiguration(link_, configuration, progress, prepareDatabase);
        std::optional<Verification> verification;
        if (verify && outcome.succeeded()) {
            verification = verifyWritten(link_, outcome.written, progress);
            applyVerification(outcome, *verification);
        }
        auto inHand = WriteGate::WriteInHand;
        writeGate_.compare_exchange_strong(inHand, WriteGate::Open);
        return [this, outcome = std::move(outcome), verification = std::move(verification)] {
            tellEnded(outcome, "Запись конфигурации");
            const bool provisioned = std::exchange(provisionWriting_, false);
            KeptBoxes kept;
            MessageBoxes& boxes = provisioned ? static_cast<MessageBoxes&>(kept) : desktop_;
            const DeviceRecorded recorded = applyWrite(model_, boxes, database_, outcome, ending_);
            if (provisioned && provisioning()) {
                provisioned_.insert(model_.currentSerial);
                deviceChangeHeld_ = true;  // the next tracker attached, if any
                const std::string serial = cp1251::toUtf8(model_.text(Field::SerialNumber));
                if (!outcome.succeeded()) {
                    showBand(ProvisionBand::State::Failed,
                             serial + " НЕ ЗАПИСАН: " + toldText(outcome));
                } else if (!recorded.stored) {
                    showBand(ProvisionBand::State::Failed,
                             serial + " записан, но не внесён в базу: " + recorded.report.message);
                } else if (!recorded.saved) {
                    // Kept in the list, and saved with the next save that succeeds.
                    showBand(ProvisionBand::State::Failed,
                             serial + " записан, но база не сохранена: " + recorded.report.message);
                } else {
                    showBand(ProvisionBand::State::Written, serial + " записан и проверен");
                }
            }
            writeHeldForPassword_ = outcome.passwordRejected;
            if (outcome.succeeded()) {
                marker_.trackerHolds();
            } else if (verification) {
                marker_.showDifferences(verification->differences);
            }
        };
    });
}

void Configurator::compareWithTracker() {
    if (operationRunning()) {
        return;
    }
    // The window as a write would send it: a period of 0 the write makes 1 is not a difference.
    startDeviceWork([this, meant = asWritten(configurationFromForm(model_))](Progress& progress) {
        auto verification = verifyWritten(link_, meant, progress);
        return [this, verification = std::move(verification)] {
            tellEnded(verification.read, "Сравнение с трекером");
            showVerification(model_, desktop_, verification);
            marker_.showDifferences(verification.differences);
        };
    });
}

void Configurator::clearDebugLog() {
    if (operationRunning()) {
        return;
    }
    startDeviceWork([this](Progress& progress) {
        WindowQuestions questions(*this);
        auto outcome = korvan::clearDebugLog(link_, questions, progress);
        return [this, outcome = std::move(outcome)] {
            tellEnded(outcome, "Стирание отладочного журнала");
            showOutcome(model_, desktop_, outcome);
        };
    });
}

void Configurator::readDebugLog(bool fullRead) {
    if (operationRunning()) {
        return;
    }
    startDeviceWork([this, fullRead](Progress& progress) {
        WindowQuestions questions(*this);
        auto outcome = korvan::readDebugLog(link_, questions, progress, fullRead);
        return [this, fullRead, outcome = std::move(outcome)] {
            tellEnded(outcome, fullRead ? "Копирование всего отладочного журнала"
                                        : "Копирование отладочного журнала");
            showOutcome(model_, desktop_, outcome);
        };
    });
}

void Configurator::openDatabase() {
    if (operationRunning()) {
        return;
    }
    Operation operation(*this);
    // Another file replaces the list: records not yet in a file are saved first, or given up
    // only when the technician says so.
    if (database_.hasUnsavedRecords() && !saveDeviceDatabase() &&
        !desktop_.confirm("Записи устройств, записанных после последнего сохранения, не "
                          "сохранены в базу. Открыть другой файл без них?")) {
        return;
    }
    showDatabaseReport(model_, database_.openDatabase());
}

bool Configurator::saveDeviceDatabase() {
    const DatabaseReport saved = database_.save();
    showDatabaseReport(model_, saved);
    return saved.done;
}

void Configurator::showDatabase() {
    database_.showDatabase();
}

void Configurator::saveProfile() {
    if (operationRunning()) {
        return;
    }
    Operation operation(*this);
    const auto path = desktop_.chooseProfileToSave();
    if (!path) {
        return;
    }
    const std::string name(fileNamePart(*path));
    if (const auto failure = korvan::saveProfile(model_, pathFromUtf8(*path))) {
        model_.setStatusColour(StatusColour::Red);
        model_.setStatusMessage("Профиль " + name + " не сохранён");
        desktop_.message(MessageIcon::Error, "Профиль " + name + " не сохранён.\n" + *failure);
        return;
    }
    model_.setStatusColour(StatusColour::Black);
    model_.setStatusMessage("Профиль " + name + " сохранён");
}

void Configurator::openProfile() {
    if (operationRunning()) {
        return;
    }
    Operation operation(*this);
    if (const auto path = desktop_.chooseProfileToOpen()) {
        loadProfile(*path);
    }
}

void Configurator::openProfileFile(const std::string& pathUtf8) {
    if (operationRunning()) {
        return;
    }
    Operation operation(*this);
    loadProfile(pathUtf8);
}

void Configurator::loadProfile(const std::string& pathUtf8) {
    const std::string name(fileNamePart(pathUtf8));
    if (const auto error =
            korvan::loadProfile(model_, pathFromUtf8(pathUtf8), false, profileRules())) {
        model_.setStatusColour(StatusColour::Red);
        model_.setStatusMessage("Профиль " + name + " не загружен");
        desktop_.message(MessageIcon::Error,
                         "Профиль " + name + " не загружен.\n" + error->message);
        return;
    }
    model_.setStatusColour(StatusColour::Black);
    model_.setStatusMessage("Профиль " + name + " загружен");
}

}  // namespace korvan
