#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <random>

#include "base/cp1251.h"
#include "base/file_io.h"
#include "base/file_names.h"
#include "cli/json.h"
#include "cli/tracker_steps.h"
#include "core/detection.h"
#include "core/field_rules.h"
#include "core/field_titles.h"
#include "core/form_mapping.h"
#include "core/verification.h"
#include "link/wire_trace.h"
#include "options/program_options.h"
#include "protocol/command_table.h"
#include "protocol/debug_log.h"
#include "protocol/session.h"
#include "settings/tracker_profile.h"

namespace korvan::cli {
namespace {

using namespace std::chrono_literals;

// How often the provisioning line looks for trackers, and how a tracker just plugged in is
// given time to start: five reads a second apart, as the window's detection does.
constexpr auto kLookInterval = 250ms;
constexpr int kReadTries = 5;
constexpr auto kPauseAfterFailedRead = 1000ms;

constexpr const char* kExitStatuses =
    "Коды завершения:\n"
    "  0  всё сделано\n"
    "  1  операция с трекером не удалась (при provision: хотя бы с одним трекером),\n"
    "     трекер хранит не то, что записано (--verify), или отличается от профиля (diff)\n"
    "  2  ошибка в командной строке\n"
    "  3  трекер не найден, не тот или их несколько, а --device не указан\n"
    "  4  нет доступа к USB: нужно правило udev из пакета korvan\n"
    "  5  не прочитан или не записан файл: профиль, база или файл вывода";

struct Options {
    bool sim = false;
    bool json = false;
    std::string device;
    std::string output;
    std::string profile;
    std::string database;
    std::string logAction;
    int count = 0;
    bool missingKeepDefaults = false;
    bool showSecrets = false;  // read: --show-secrets
    bool verify = false;       // write: --verify
    bool noVerify = false;     // provision: --no-verify
};

std::string utf8(std::string_view cp1251Text) {
    return cp1251::toUtf8(std::string(cp1251Text));
}

double secondsBetween(Clock::Duration from, Clock::Duration to) {
    return std::chrono::duration<double>(to - from).count();
}

JsonObject differenceJson(const Difference& d) {
    return JsonObject()
        .text("name", d.title)
        .text("key", d.key)
        .text("tracker", d.held)
        .text("profile", d.meant);
}

// One command's run: its options, its bridge and its link, and how it tells what happened.
class Run {
  public:
    // `observer`: who watches the link, for -v and --trace; none when null.
    Run(Environment& environment, const Options& options, LinkObserver* observer)
        : env_(environment),
          o_(options),
          bridge_(environment.bridge(options.sim)),
          clock_(environment.clock(options.sim)),
          link_(bridge_, clock_) {
        link_.setObserver(observer);
    }

    int list();
    int read();
    int write();
    int provision();
    int diff();
    int log();

  private:
    std::ostream& out() { return env_.out(); }

    // A failure, said on stderr (and as JSON on stdout with --json) with what to do about it.
    int fail(int status, std::string_view problem, std::string_view fix = {}) {
        env_.err() << "korvan-cli: " << problem << "\n";
        if (!fix.empty()) {
            env_.err() << "  " << fix << "\n";
        }
        if (o_.json) {
            out() << JsonObject()
                         .flag("ok", false)
                         .integer("status", status)
                         .text("error", problem)
                         .text("fix", fix)
                         .str()
                  << "\n";
        }
        return status;
    }

    // The tracker the command works on: the one named by --device (its USB serial string or
    // its serial number), or the only one attached.
    const ListedDevice* chooseTracker(const Listing& listing, int& status);
    const ListedDevice* chooseTracker(Listing&&, int&) = delete;  // it points into the listing
    std::optional<std::string> readProfile(int& status);
    // The database of --database, read; a file that cannot be saved over is refused at once.
    bool openDatabase(DeviceDatabase& database, FieldModel& model, int& status);
    ReadOutcome readWithTries(FieldModel& model, const ListedDevice& tracker, Unattended& boxes);
    // One tracker read, given the profile and written, as the window would do it.
    struct ProfileWritten {
        bool read = false;
        bool written = false;   // confirmed to the end, and verified where asked
        bool recorded = false;  // stored and saved, or no database kept
        bool verified = false;
        std::string said;  // the status line, then any message boxes, UTF-8
        std::vector<Difference> differences;
    };
    ProfileWritten writeProfile(FieldModel& model, const ListedDevice& tracker,
                                const std::string& profile, DeviceDatabase* database, bool verify);
    // Each difference on stderr, as a failure of its own.
    void tellDifferences(const std::vector<Difference>& differences);
    // A value read that breaks its rule is kept as read, and said.
    void warnBrokenRules(const FieldModel& model);

    Environment& env_;
    const Options& o_;
    Bridge& bridge_;
    Clock& clock_;
    Link link_;
};

const ListedDevice* Run::chooseTracker(const Listing& listing, int& status) {
    if (!listing.listed) {
        status = fail(kFailed, "Список устройств USB не получен",
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
            fail(kAccessRefused, std::string(kNoAccessMessage),
                 "Установите пакет korvan или правило udev из него и подключите трекер снова.");
    } else if (trackers.empty()) {
        status = fail(kNoTracker, "Трекер не найден", "Подключите трекер и повторите команду.");
    } else if (!o_.device.empty()) {
        status = fail(kNoTracker, "Трекер " + o_.device + " не подключён",
                      "Посмотрите подключённые трекеры: korvan-cli list.");
    } else {
        status = fail(kNoTracker, "Подключено трекеров: " + std::to_string(trackers.size()),
                      "Укажите нужный: --device СЕРИЙНЫЙ_НОМЕР (список: korvan-cli list).");
    }
    return nullptr;
}

std::optional<std::string> Run::readProfile(int& status) {
    std::string why;
    auto bytes = readProfileFile(pathFromUtf8(o_.profile), why);
    if (!bytes) {
        status = fail(kFileProblem, "Профиль " + o_.profile + " не прочитан: " + why,
                      "Проверьте имя файла и права на чтение.");
        return std::nullopt;
    }
    // Checked whole before any tracker is touched: its keys, then its values as the write
    // checks them, on a link that opens nothing.
    FieldModel scratch;
    startFields(scratch);
    if (auto error = loadProfileText(scratch, *bytes, o_.missingKeepDefaults, profileRules())) {
        status = fail(kFileProblem, error->message,
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
        status = fail(kFileProblem, "Профиль " + o_.profile + " не годится для записи: " + said,
                      "Исправьте значение в профиле.");
        return std::nullopt;
    }
    // Whole, with the first run's values where keys were missing and that was asked for, so
    // that every tracker gets the same configuration, not what it held before.
    return profileText(scratch);
}

bool Run::openDatabase(DeviceDatabase& database, FieldModel& model, int& status) {
    // Another program's save takes a moment; a line shared with other stations waits longer
    // rather than lose a written tracker's record.
    database.lockPatience = std::chrono::seconds(60);
    model.databasePath = o_.database;
    database.openLast();
    if (database.needsSaveName()) {
        status = fail(kFileProblem, "База " + o_.database + " не прочитана: " + statusText(model),
                      "Укажите другой файл базы или исправьте этот; он не будет перезаписан.");
        return false;
    }
    return true;
}

ReadOutcome Run::readWithTries(FieldModel& model, const ListedDevice& tracker, Unattended& boxes) {
    ReadOutcome read;
    for (int attempt = 1; attempt <= kReadTries; ++attempt) {
        read = readTracker(link_, model, tracker, boxes);
        if (read.succeeded() || read.ending == Ending::DeviceGone) {
            break;
        }
        if (attempt < kReadTries) {
            clock_.sleepFor(kPauseAfterFailedRead);
        }
    }
    return read;
}

Run::ProfileWritten Run::writeProfile(FieldModel& model, const ListedDevice& tracker,
                                      const std::string& profile, DeviceDatabase* database,
                                      bool verify) {
    ProfileWritten done;
    Unattended boxes;
    startFields(model);
    done.read = readWithTries(model, tracker, boxes).succeeded();
    if (done.read) {
        loadProfileText(model, profile);  // checked, and made whole, already
        const FormWritten w = writeFromForm(link_, model, database, boxes, verify);
        done.written = w.outcome.succeeded();
        done.verified = w.verification && w.verification->verified();
        if (w.verification) {
            done.differences = w.verification->differences;
        }
        done.recorded = database == nullptr || (w.recorded.stored && w.recorded.saved);
    }
    done.said = statusText(model);
    if (done.written && !done.recorded) {
        // The window keeps such a record for its next save; this program ends before one, so
        // it says what is true: written, not recorded, and why.
        done.said = "Трекер " + utf8(model.text(Field::SerialNumber)) +
                    " записан, но не внесён в базу: " + done.said;
        return done;
    }
    for (const auto& box : boxes.boxes) {
        done.said += "; " + box.text;
    }
    return done;
}

void Run::tellDifferences(const std::vector<Difference>& differences) {
    for (const Difference& d : differences) {
        env_.err() << "korvan-cli: " << describeDifference(d) << "\n";
    }
}

void Run::warnBrokenRules(const FieldModel& model) {
    for (const FieldBreak& broken : brokenFields(model)) {
        const bool secret = isSecret(broken.field);
        env_.err() << "korvan-cli: в трекере «" << broken.name << "» = «"
                   << (secret ? "********" : utf8(model.text(broken.field)))
                   << "», а нужно: " << broken.rule << "; запись такого значения будет отклонена\n";
    }
}

int Run::list() {
    const Listing listing = listDevices(bridge_);
    if (!listing.listed) {
        return fail(kFailed, "Список устройств USB не получен",
                    "Проверьте, что система видит устройства USB (lsusb).");
    }
    std::vector<JsonObject> devices;
    for (const ListedDevice& device : listing.devices) {
        JsonObject json;
        json.integer("index", device.index)
            .text("description", device.description)
            .text("usb_serial", device.usbSerial)
            .flag("tracker", device.tracker)
            .flag("access_refused", device.accessRefused);
        std::string line = std::to_string(device.index) + "  ";
        if (device.accessRefused) {
            line += "нет доступа";
        } else if (!device.tracker) {
            line += device.description + "  " + device.usbSerial + "  не трекер";
        } else {
            FieldModel model;
            startFields(model);
            showFoundTracker(model, device.serial);
            link_.setTarget(LinkTarget::serial(device.usbSerial));
            NoProgress progress;
            const ReadOutcome version = readConfiguration(link_, ReadRequest{false}, progress);
            const std::string firmware =
                version.firmware ? version.firmware->caption() : "прошивка не прочитана";
            const std::string mac = utf8(model.text(Field::MacAddress));
            line += device.description + "  трекер " + utf8(model.text(Field::SerialNumber)) +
                    "  MAC " + mac + "  " + firmware;
            json.text("serial", utf8(model.text(Field::SerialNumber)))
                .text("mac", mac)
                .text("firmware", version.firmware ? version.firmware->caption() : "");
        }
        devices.push_back(std::move(json));
        if (!o_.json) {
            out() << line << "\n";
        }
    }
    if (o_.json) {
        out() << JsonObject().flag("ok", true).list("devices", devices).str() << "\n";
    } else if (listing.devices.empty()) {
        out() << "Устройств FTDI не подключено\n";
    }
    if (listing.accessRefused()) {
        env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
        return kAccessRefused;
    }
    return kDone;
}

int Run::read() {
    int status = kDone;
    const Listing listing = listDevices(bridge_);  // the tracker chosen points into it
    const ListedDevice* tracker = chooseTracker(listing, status);
    if (tracker == nullptr) {
        return status;
    }
    FieldModel model;
    startFields(model);
    Unattended boxes;
    const ReadOutcome read = readTracker(link_, model, *tracker, boxes);
    if (!read.succeeded()) {
        return fail(kFailed, statusText(model), "Проверьте подключение трекера и повторите.");
    }
    if (!read.missed.empty()) {
        // A profile with first-run values in place of what was not read would pass them off
        // as this tracker's.
        return fail(kFailed, statusText(model) + "; профиль не сохранён",
                    "Повторите чтение; если не помогает, обновите прошивку трекера.");
    }
    warnBrokenRules(model);
    if (o_.output.empty()) {
        // A terminal or a log may be read over a shoulder: the password and the key go into a
        // profile file, or to standard output only when asked for.
        FieldModel shown;
        shown.restore(model.snapshot());
        if (!o_.showSecrets) {
            for (int i = 0; i < kFieldCount; ++i) {
                const auto field = static_cast<Field>(i);
                if (isSecret(field) && !shown.text(field).empty()) {
                    shown.setText(field, "********");
                }
            }
        }
        if (o_.json) {
            out() << JsonObject()
                         .flag("ok", true)
                         .text("serial", utf8(model.text(Field::SerialNumber)))
                         .text("profile", utf8(profileText(shown)))
                         .str()
                  << "\n";
        } else {
            out() << profileText(shown);  // Windows-1251, as a profile file holds it
        }
        return kDone;
    }
    if (auto error = saveProfile(model, pathFromUtf8(o_.output))) {
        return fail(kFileProblem, *error, "Проверьте папку и права на запись.");
    }
    if (o_.json) {
        out() << JsonObject()
                     .flag("ok", true)
                     .text("serial", utf8(model.text(Field::SerialNumber)))
                     .text("profile", o_.output)
                     .str()
              << "\n";
    } else {
        out() << "Профиль трекера " << utf8(model.text(Field::SerialNumber)) << " записан в "
              << o_.output << "\n";
    }
    return kDone;
}

int Run::write() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    FieldModel databaseModel;
    Unattended unattended;
    DeviceDatabase database(databaseModel, unattended);
    if (!o_.database.empty() && !openDatabase(database, databaseModel, status)) {
        return status;
    }
    const Listing listing = listDevices(bridge_);  // the tracker chosen points into it
    const ListedDevice* tracker = chooseTracker(listing, status);
    if (tracker == nullptr) {
        return status;
    }
    FieldModel model;
    const ProfileWritten done = writeProfile(model, *tracker, *profile,
                                             o_.database.empty() ? nullptr : &database, o_.verify);
    const std::string& said = done.said;
    if (!done.read) {
        return fail(kFailed, said, "Проверьте подключение трекера и повторите.");
    }
    if (!done.differences.empty()) {
        tellDifferences(done.differences);
        return fail(
            kFailed,
            "Трекер " + utf8(model.text(Field::SerialNumber)) +
                " хранит не то, что записано (отличий: " + std::to_string(done.differences.size()) +
                ")" + (o_.database.empty() ? "" : "; в базу не внесён"),
            "Запишите трекер снова; если отличие остаётся, трекер неисправен.");
    }
    if (!done.written) {
        return fail(kFailed, said, "Исправьте сказанное и повторите запись.");
    }
    if (!done.recorded) {
        return fail(kFileProblem, said, "Проверьте файл базы и внесите трекер, записав его снова.");
    }
    if (o_.json) {
        out() << JsonObject()
                     .flag("ok", true)
                     .text("serial", utf8(model.text(Field::SerialNumber)))
                     .flag("verified", done.verified)
                     .text("result", said)
                     .str()
              << "\n";
    } else {
        out() << utf8(model.text(Field::SerialNumber)) << "  " << said << "\n";
    }
    return kDone;
}

int Run::provision() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    FieldModel databaseModel;
    Unattended unattended;
    DeviceDatabase database(databaseModel, unattended);
    if (!openDatabase(database, databaseModel, status)) {
        return status;
    }
    env_.lineBegins();
    env_.err() << "Ожидание трекеров. Ctrl+C — закончить после текущего.\n";
    bool refusalTold = false;
    std::set<std::string> done;  // USB serials written since they were plugged in
    int written = 0;
    int failed = 0;
    const auto finished = [&] { return o_.count > 0 && written + failed >= o_.count; };
    while (!finished() && !env_.stopRequested()) {
        env_.provisionLooks(o_.sim, done);
        const Listing listing = listDevices(bridge_);
        // A tracker pulled out is written again when it comes back; only a listing that
        // names every device can tell that it is gone.
        if (listing.complete) {
            std::erase_if(done, [&listing](const std::string& usbSerial) {
                const auto& devices = listing.devices;
                return std::none_of(devices.begin(), devices.end(), [&](const ListedDevice& d) {
                    return d.usbSerial == usbSerial;
                });
            });
        }
        if (listing.accessRefused() != refusalTold) {
            refusalTold = listing.accessRefused();
            if (refusalTold) {
                env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
            }
        }
        bool handled = false;
        for (const ListedDevice* tracker : listing.trackers()) {
            if (finished() || env_.stopRequested() || done.count(tracker->usbSerial) > 0) {
                continue;
            }
            done.insert(tracker->usbSerial);
            handled = true;
            const auto start = clock_.now();
            FieldModel model;
            const ProfileWritten done =
                writeProfile(model, *tracker, *profile, &database, !o_.noVerify);
            const bool ok = done.written && done.recorded;
            const std::string result = !ok             ? done.said
                                       : done.verified ? "записан и проверен"
                                                       : "записан";
            (ok ? written : failed) += 1;
            const double seconds = secondsBetween(start, clock_.now());
            const std::string serial = utf8(model.text(Field::SerialNumber));
            const std::string mac = utf8(model.text(Field::MacAddress));
            if (o_.json) {
                std::vector<JsonObject> differences;
                for (const Difference& d : done.differences) {
                    differences.push_back(differenceJson(d));
                }
                out() << JsonObject()
                             .text("serial", serial)
                             .text("mac", mac)
                             .flag("ok", ok)
                             .flag("verified", done.verified)
                             .list("differences", differences)
                             .text("result", result)
                             .number("seconds", seconds)
                             .str()
                      << "\n";
            } else {
                char time[32];
                std::snprintf(time, sizeof time, "%.1f с", seconds);
                out() << serial << "  " << mac << "  " << (ok ? "" : "ОШИБКА: ") << result << "  "
                      << time << "\n";
            }
            out().flush();
        }
        // A look that found work looks again at once: the next tracker may be waiting already.
        if (!handled && !finished() && !env_.stopRequested()) {
            clock_.sleepFor(kLookInterval);
        }
    }
    if (o_.json) {
        out() << JsonObject()
                     .object("summary",
                             JsonObject().integer("written", written).integer("failed", failed))
                     .str()
              << "\n";
    } else {
        out() << "Итого: записано " << written << ", с ошибкой " << failed << "\n";
    }
    return failed > 0 ? kFailed : kDone;
}

int Run::diff() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    const Listing listing = listDevices(bridge_);  // the tracker chosen points into it
    const ListedDevice* tracker = chooseTracker(listing, status);
    if (tracker == nullptr) {
        return status;
    }
    FieldModel held;
    startFields(held);
    Unattended boxes;
    const ReadOutcome read = readWithTries(held, *tracker, boxes);
    if (!read.succeeded() || !read.missed.empty()) {
        // A setting not read would be compared with a first run's value, not the tracker's.
        return fail(kFailed, statusText(held) + "; трекер не сравнён с профилем",
                    "Проверьте подключение трекера и повторите.");
    }
    FieldModel meant;
    startFields(meant);
    loadProfileText(meant, *profile);  // checked, and made whole, already
    // Compared as a write of the profile would leave the tracker (a sending period of 10 is
    // written as 30), and told with the profile's own values.
    const TrackerConfiguration written = asWritten(configurationFromForm(meant));
    const TrackerConfiguration holds = configurationFromForm(held);
    auto differences = compareConfigurations(written, holds, settingsInUse(written, holds));
    for (Difference& d : differences) {
        for (const SettingsKey& key : settingsKeys()) {
            if (key.field == d.field && isTrackerSetting(key)) {
                d.meant = shownValue(meant, key);
            }
        }
    }
    for (const Difference& d : differences) {
        if (o_.json) {
            out() << differenceJson(d).str() << "\n";
        } else {
            out() << d.title << " (" << d.key << "): трекер «" << d.held << "», профиль «"
                  << d.meant << "»\n";
        }
    }
    if (o_.json) {
        out() << JsonObject()
                     .object("summary", JsonObject()
                                            .text("serial", utf8(held.text(Field::SerialNumber)))
                                            .integer("differences",
                                                     static_cast<long long>(differences.size())))
                     .str()
              << "\n";
    } else if (differences.empty()) {
        out() << "Трекер " << utf8(held.text(Field::SerialNumber)) << " совпадает с профилем\n";
    }
    return differences.empty() ? kDone : kFailed;
}

// The debug log's file is written beside the one asked for and put in its place only once it
// is whole: an old file of that name is never lost to a copy that fails.
class LogQuestions final : public DebugLogQuestions {
  public:
    explicit LogQuestions(std::filesystem::path part) : part_(std::move(part)) {}
    bool confirmErase() override { return true; }  // the command itself says so
    std::optional<std::string> chooseLogFile() override { return part_.string(); }

  private:
    std::filesystem::path part_;
};

int Run::log() {
    const bool erase = o_.logAction == "erase";
    if (!erase && o_.output.empty()) {
        return fail(kUsage, "Не указан файл для журнала", "Добавьте -o ФАЙЛ.");
    }
    int status = kDone;
    const Listing listing = listDevices(bridge_);  // the tracker chosen points into it
    const ListedDevice* tracker = chooseTracker(listing, status);
    if (tracker == nullptr) {
        return status;
    }
    // The copy goes to a file of its own beside the one asked for, under a name no one else
    // uses; the file asked for is then replaced whole, keeping what it is.
    const std::filesystem::path target = pathFromUtf8(o_.output);
    std::random_device random;
    const std::filesystem::path part =
        target.parent_path() /
        ("." + target.filename().string() + "." + std::to_string(random()) + ".korvan-part");
    LogQuestions questions(part);
    NoProgress progress;
    link_.setTarget(LinkTarget::serial(tracker->usbSerial));
    const Outcome outcome = erase
                                ? clearDebugLog(link_, questions, progress)
                                : readDebugLog(link_, questions, progress, o_.logAction == "full");
    std::string said;
    for (const Message& message : outcome.messages) {
        said += (said.empty() ? "" : "\n") + utf8(message.text);
    }
    bool fileProblem = !outcome.succeeded() && outcome.failedAt == FailedAt::LocalFile;
    if (!erase && outcome.succeeded()) {
        const auto bytes = readWholeFile(part);
        fileProblem = !bytes || writeFileAtomically(target, *bytes) != FileWrite::Written;
        said = fileProblem ? "Журнал не записан в " + o_.output : said;
    }
    std::error_code error;
    std::filesystem::remove(part, error);
    if (fileProblem) {
        return fail(kFileProblem, said, "Проверьте папку и права на запись.");
    }
    if (!outcome.succeeded()) {
        return fail(kFailed, said.empty() ? "Журнал не прочитан" : said,
                    "Проверьте подключение трекера и повторите.");
    }
    if (o_.json) {
        out() << JsonObject().flag("ok", true).text("result", said).str() << "\n";
    } else {
        out() << said << "\n";
    }
    return kDone;
}

}  // namespace

int runCli(int argc, const char* const* argv, Environment& environment) {
    CLI::App app{"korvan-cli — настройка трекеров Zentracor с модулем Wi-Fi из командной строки",
                 "korvan-cli"};
    CommonOptions common;
    addCommonOptions(app, common);
    app.get_formatter()->label("SUBCOMMAND", "КОМАНДА");
    app.get_formatter()->label("Subcommands", "Команды");
    app.footer(kExitStatuses);
    app.fallthrough();
    app.require_subcommand(1, 1);
    Options o;
    // Each command's help in the same words as the program's.
    const auto command = [&app](const char* name, const char* description) {
        CLI::App* sub = app.add_subcommand(name, description);
        sub->set_help_flag("-h,--help", "Показать эту справку и выйти")->group("Параметры");
        sub->option_defaults()->group("Параметры");
        return sub;
    };
    app.add_flag("--sim", o.sim, "Симулированные трекеры вместо устройств USB");
    app.add_flag("--json", o.json, "Вывод в JSON, одна строка на объект");
    std::vector<std::string> simulatedFaults;
    int firstSerial = 0;
    app.add_option(
           "--sim-first-serial", firstSerial,
           "С --sim: серийный номер первого трекера (по умолчанию 90001), дальше по порядку")
        ->type_name("N")
        ->check(CLI::Range(1, 99999));
    app.add_option("--sim-fault", simulatedFaults,
                   "С --sim: сбой каждого трекера, как --fault у korvan-tracker-server "
                   "(например not-kept:SERPORT=)")
        ->type_name("СБОЙ");

    auto* list = command("list", "Подключённые устройства FTDI и трекеры среди них");
    auto* read = command("read", "Считать настройки трекера как профиль");
    read->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    read->add_flag("--show-secrets", o.showSecrets,
                   "Выводить пароль и ключ сети открыто (в файл профиля они пишутся всегда)");
    read->add_option("-o,--output", o.output, "Файл профиля (иначе — на стандартный вывод)")
        ->type_name("ФАЙЛ");
    auto* write = command("write", "Записать профиль в трекер, как «Установить»");
    write->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    write->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    write->add_option("--database", o.database, "База устройств (.zcf), куда внести трекер")
        ->type_name("БАЗА");
    write->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                    "Ключи, которых нет в профиле, — по умолчанию");
    write->add_flag("--verify", o.verify, "Перечитать трекер после записи и сравнить с записанным");
    auto* provision =
        command("provision", "Линия настройки: записывать профиль в каждый подключаемый трекер");
    provision->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    provision->add_option("--database", o.database, "База устройств (.zcf)")
        ->type_name("БАЗА")
        ->required();
    provision
        ->add_option("--count", o.count,
                     "Сколько трекеров обработать, с ошибкой тоже (иначе до Ctrl+C)")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    provision->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                        "Ключи, которых нет в профиле, — по умолчанию");
    provision->add_flag("--no-verify", o.noVerify,
                        "Не перечитывать трекер после записи (быстрее, но без проверки)");
    auto* diff = command("diff", "Сравнить настройки трекера с профилем");
    diff->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    diff->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    diff->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                   "Ключи, которых нет в профиле, — по умолчанию");
    auto* log = command("log", "Отладочный журнал трекера: read, full или erase");
    log->add_option("action", o.logAction, "read, full или erase")
        ->type_name("ДЕЙСТВИЕ")
        ->required()
        ->check(CLI::IsMember({"read", "full", "erase"}));
    log->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    log->add_option("-o,--output", o.output, "Файл журнала")->type_name("ФАЙЛ");

    if (auto status = parseCommandLine(app, argc, argv, environment.out(), environment.err())) {
        return *status == 0 ? kDone : kUsage;
    }
    if ((!simulatedFaults.empty() || firstSerial != 0) && !o.sim) {
        environment.err() << "korvan-cli: --sim-fault и --sim-first-serial только вместе с --sim\n";
        return kUsage;
    }
    if (firstSerial != 0) {
        environment.simulatedFirstSerial(firstSerial);
    }
    for (const auto& fault : simulatedFaults) {
        if (const auto error = environment.addSimulatedFault(fault)) {
            environment.err() << "korvan-cli: --sim-fault " << fault << ": " << *error << "\n";
            return kUsage;
        }
    }
    bool traceFailed = false;
    const auto traceFile = openTraceOption("korvan-cli", common, environment.err(), traceFailed);
    if (traceFailed) {
        return kFileProblem;
    }
    // The wire trace goes to the file --trace names and, with -v, to stderr.
    WireTrace trace(
        [&](std::string_view line) {
            if (traceFile) {
                traceFile->writeLine(line);
            }
            if (common.verbose) {
                environment.err() << line << "\n";
            }
        },
        trafficSecrets());
    Run run(environment, o, traceFile || common.verbose ? &trace : nullptr);
    const int status = list->parsed()        ? run.list()
                       : read->parsed()      ? run.read()
                       : write->parsed()     ? run.write()
                       : provision->parsed() ? run.provision()
                       : diff->parsed()      ? run.diff()
                                             : run.log();
    static_assert(kDone == 0 && kFileProblem == 5, "as every Korvan program ends");
    return statusAfterTrace("korvan-cli", common, traceFile.get(), status, environment.err());
}

}  // namespace korvan::cli
