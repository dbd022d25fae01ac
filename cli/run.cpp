#include "cli/run.h"

#include "base/cp1251.h"
#include "base/file_names.h"
#include "core/detection.h"
#include "core/field_rules.h"
#include "core/form_mapping.h"
#include "protocol/session.h"

namespace korvan::cli {

std::string utf8(std::string_view cp1251Text) {
    return cp1251::toUtf8(std::string(cp1251Text));
}

double secondsBetween(Clock::Duration from, Clock::Duration to) {
    return std::chrono::duration<double>(to - from).count();
}

Json differenceJson(const Difference& d) {
    return Json{
        {"name", d.title}, {"key", d.key}, {"tracker_value", d.held}, {"profile_value", d.meant}};
}

// An operation's steps on the terminal, one line rewritten in place: "3 из 12: …", as the
// window's progress bar shows them.
class Run::TerminalProgress final : public Progress {
  public:
    explicit TerminalProgress(std::ostream& err) : err_(err) {}
    void step(int index, int count, std::string_view what) override {
        shown_ = std::to_string(index) + " из " + std::to_string(count) + ": " + std::string(what);
        show(shown_);
    }
    void retry(int attempt, int attempts) override {
        // A tracker that keeps silent: the technician sees that it is being asked again.
        show(shown_ + ", попытка " + std::to_string(attempt) + " из " + std::to_string(attempts));
    }
    void clear() {
        if (!shown_.empty()) {
            err_ << "\r\033[K" << std::flush;
            shown_.clear();
        }
    }

  private:
    void show(const std::string& line) { err_ << "\r\033[K" << line << std::flush; }
    std::ostream& err_;
    std::string shown_;
};

Run::Run(Environment& environment, const Options& options, LinkObserver* observer)
    : env_(environment),
      o_(options),
      bridge_(environment.bridge(options.sim)),
      clock_(environment.clock(options.sim)),
      link_(bridge_, clock_),
      descriptions_(environment.trackerDescriptions()),
      observer_(observer) {
    link_.setObserver(observer);
    // The trace of -v goes to the same stderr: the progress line would cut through it.
    if (environment.showsProgress() && !options.quiet && !options.verbose) {
        terminal_ = std::make_unique<TerminalProgress>(environment.err());
    }
}

Run::~Run() {
    clearProgress();
}

Progress& Run::progress() {
    static NoProgress none;
    return terminal_ ? static_cast<Progress&>(*terminal_) : none;
}

void Run::clearProgress() {
    if (terminal_) {
        terminal_->clear();
    }
}

int Run::fail(int status, Code code, std::string_view problem, std::string_view fix,
              const Json& details) {
    clearProgress();
    env_.err() << "korvan-cli: " << problem << "\n";
    if (!fix.empty()) {
        env_.err() << "  " << fix << "\n";
    }
    if (o_.json) {
        Json json = jsonFailure(status, code, problem, fix);
        if (details.is_object()) {
            json.update(details);
        }
        out() << jsonLine(json) << "\n";
    }
    return status;
}

void Run::tellDone(const Json& json, std::string_view said) {
    clearProgress();
    if (o_.json) {
        out() << jsonLine(json) << "\n";
    } else if (!o_.quiet) {
        out() << said << "\n";
    }
}

void Run::warn(std::string_view said) {
    clearProgress();
    if (!o_.quiet) {
        env_.err() << "korvan-cli: " << said << "\n";
    }
}

Listing Run::listAttached() {
    Listing listing = listDevices(bridge_, descriptions_, ListedStrings::Every);
    if (listing.broken) {
        listing = listDevices(bridge_, descriptions_, ListedStrings::Every);
    }
    return listing;
}

int Run::failBrokenListing(const Listing& listing) {
    return fail(kFailed, Code::ListingBroken,
                "Список устройств USB прерван: устройство " +
                    std::to_string(listing.devices.size()) + " не назвало себя",
                "Повторите команду; если не помогает, переподключите это устройство.");
}

std::optional<ListedDevice> Run::listAndChooseTracker(int& status) {
    const Listing listing = listAttached();
    const ListedDevice* tracker = chooseTracker(listing, status);
    return tracker != nullptr ? std::optional<ListedDevice>(*tracker) : std::nullopt;
}

const ListedDevice* Run::chooseTracker(const Listing& listing, int& status) {
    if (!listing.listed) {
        status = fail(kFailed, Code::UsbUnavailable, "Список устройств USB не получен",
                      "Проверьте, что система видит устройства USB (lsusb).");
        return nullptr;
    }
    const auto trackers = listing.trackers();
    if (!o_.device.empty()) {
        for (const ListedDevice* tracker : trackers) {
            if (tracker->usbSerial == o_.device || std::to_string(tracker->serial) == o_.device ||
                (o_.device.size() == 5 && tracker->serial == std::atoi(o_.device.c_str()))) {
                return tracker;
            }
        }
    } else if (trackers.size() == 1) {
        return trackers.front();
    }
    if (listing.accessRefused()) {
        status =
            fail(kAccessRefused, Code::AccessRefused, std::string(kNoAccessMessage),
                 "Установите пакет korvan или правило udev из него и подключите трекер снова.");
    } else if (trackers.empty() && listing.broken) {
        status = failBrokenListing(listing);
    } else if (trackers.empty()) {
        status = fail(kNoTracker, Code::NoTracker, "Трекер не найден",
                      "Подключите трекер и повторите команду.");
    } else if (!o_.device.empty()) {
        status = fail(kNoTracker, Code::TrackerNotAttached, "Трекер " + o_.device + " не подключён",
                      "Посмотрите подключённые трекеры: korvan-cli list.");
    } else {
        status = fail(kNoTracker, Code::SeveralTrackers,
                      "Подключено трекеров: " + std::to_string(trackers.size()),
                      "Укажите нужный: --device СЕРИЙНЫЙ_НОМЕР (список: korvan-cli list).");
    }
    return nullptr;
}

std::optional<std::string> Run::readProfile(int& status) {
    std::string why;
    auto bytes = readProfileFile(pathFromUtf8(o_.profile), why);
    if (!bytes) {
        status = fail(kFileProblem, Code::ProfileUnreadable,
                      "Профиль " + o_.profile + " не прочитан: " + why,
                      "Проверьте имя файла и права на чтение.");
        return std::nullopt;
    }
    // Checked whole before any tracker is touched: its keys, then its values as the write
    // checks them, on a link that opens nothing.
    FieldModel scratch;
    startFields(scratch);
    if (auto error = loadProfileText(scratch, *bytes, o_.missingKeepDefaults, profileRules())) {
        status = fail(kFileProblem, Code::ProfileRefused, error->message,
                      "Исправьте профиль; ключи, которых нет, берутся по умолчанию только с "
                      "--defaults-for-missing.");
        return std::nullopt;
    }
    showFoundTracker(scratch, 1);
    Link nowhere(bridge_, clock_);
    nowhere.setTarget(LinkTarget::nothing());
    NoProgress progress;
    const WriteOutcome tried =
        writeConfiguration(nowhere, configurationFromForm(scratch), progress);
    if (tried.ending == Ending::NotStarted) {
        std::string said;
        for (const Message& message : tried.messages) {
            said += (said.empty() ? "" : " ") + utf8(message.text);
        }
        status = fail(kFileProblem, Code::ProfileRefused,
                      "Профиль " + o_.profile + " не годится для записи: " + said,
                      "Исправьте значение в профиле.");
        return std::nullopt;
    }
    // Whole, with the first run's values where keys were missing and that was asked for, so
    // that every tracker gets the same configuration, not what it held before.
    return profileText(scratch);
}

bool Run::openDatabase(DeviceDatabase& database, int& status) {
    // Another program's save takes a moment; a line shared with other stations waits longer
    // rather than lose a written tracker's record.
    database.lockPatience = std::chrono::seconds(60);
    database.nameFile(o_.database);
    const DatabaseReport opened = database.openLast();
    if (database.needsSaveName()) {
        status = fail(kFileProblem, Code::DatabaseUnreadable,
                      "База " + o_.database + " не прочитана: " + opened.message,
                      "Укажите другой файл базы или исправьте этот; он не будет перезаписан.");
        return false;
    }
    if (opened.severity == DatabaseReport::Severity::Warning) {
        warn(opened.message);
    }
    return true;
}

ReadOutcome Run::readTrackerWithTries(Link& link, FieldModel& model, const ListedDevice& tracker,
                                      Unattended& boxes, bool shown) {
    // A tracker in hand is given its tries whatever Ctrl+C says: the line stops after it.
    Progress* steps = shown ? &progress() : nullptr;
    ReadTries tries = korvan::readWithTries(
        clock_, [&] { return readTracker(link, model, tracker, boxes, steps); },
        [] { return false; });
    return std::move(tries.reads.back());
}

Run::ProfileWritten Run::writeProfile(Link& link, FieldModel& model, const ListedDevice& tracker,
                                      const std::string& profile, DeviceDatabase* database,
                                      bool verify, const DatabaseStepRunner& onDatabaseThread) {
    ProfileWritten done;
    Unattended boxes;
    startFields(model);
    const bool shown = &link == &link_;
    const ReadOutcome read = readTrackerWithTries(link, model, tracker, boxes, shown);
    done.read = read.succeeded();
    if (!done.read) {
        done.said = toldText(read);
        done.code = Code::ReadFailed;
        return done;
    }
    loadProfileText(model, profile);  // checked, and made whole, already
    const FormWritten w = writeFromForm(link, model, database, boxes, verify, onDatabaseThread,
                                        shown ? &progress() : nullptr);
    done.written = w.outcome.succeeded();
    done.verified = w.verification && w.verification->verified();
    if (w.verification) {
        done.differences = w.verification->differences;
    }
    done.recorded = database == nullptr || (w.recorded.stored && w.recorded.saved);
    // A tracker that could not be read back is not verified, whatever the write said.
    const bool unverified = w.verification && !w.verification->verified();
    done.code = !done.differences.empty() || unverified ? Code::VerifyFailed
                : !done.written                         ? Code::WriteFailed
                : !done.recorded                        ? Code::DatabaseUnwritable
                                                        : Code::Written;
    if (done.written && !done.recorded) {
        // The window keeps such a record for its next save; this program ends before one, so
        // it says what is true: written, not recorded, and why.
        done.said = "Трекер " + tracker.serialText() +
                    " записан, но не внесён в базу: " + w.recorded.report.message;
        return done;
    }
    done.said = toldText(w.outcome);
    return done;
}

void Run::tellDifferences(const std::vector<Difference>& differences) {
    clearProgress();
    for (const Difference& d : differences) {
        env_.err() << "korvan-cli: " << describeDifference(d) << "\n";
    }
}

void Run::warnBrokenRules(const FieldModel& model) {
    for (const FieldBreak& broken : brokenFields(model)) {
        const bool secret = isSecret(broken.field);
        warn("в трекере «" + broken.name + "» = «" +
             (secret ? "********" : utf8(model.text(broken.field))) + "», а нужно: " + broken.rule +
             "; запись такого значения будет отклонена");
    }
}

}  // namespace korvan::cli
