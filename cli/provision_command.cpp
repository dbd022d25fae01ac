#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "cli/line_hands.h"
#include "cli/run.h"
#include "protocol/session.h"

namespace korvan::cli {
namespace {

// A tracker pulled out is written again when it comes back; only a listing that names every
// device can tell that it is gone.
void forgetUnplugged(std::set<std::string>& done, const Listing& listing) {
    if (!listing.complete) {
        return;
    }
    std::erase_if(done, [&listing](const std::string& usbSerial) {
        const auto& devices = listing.devices;
        return std::none_of(devices.begin(), devices.end(),
                            [&](const ListedDevice& d) { return d.usbSerial == usbSerial; });
    });
}

}  // namespace

void Run::tellProvisioned(const ListedDevice& tracker, const ProfileWritten& done, bool ok,
                          double seconds) {
    const std::string result = !ok ? done.said : done.verified ? "записан и проверен" : "записан";
    clearProgress();
    if (o_.json) {
        Json differences = Json::array();
        for (const Difference& d : done.differences) {
            differences.push_back(differenceJson(d));
        }
        Json json = jsonResult(ok, ok ? Code::Written : done.code, result);
        json["serial"] = tracker.serialText();
        json["mac"] = tracker.macText();
        json["verified"] = done.verified;
        json["differences"] = std::move(differences);
        json["profile"] = o_.profile;
        json["seconds"] = std::round(seconds * 1000) / 1000;
        out() << jsonLine(json) << "\n";
    } else if (!ok || !o_.quiet) {
        char time[32];
        std::snprintf(time, sizeof time, "%.1f с", seconds);
        out() << tracker.serialText() << "  " << tracker.macText() << "  " << (ok ? "" : "ОШИБКА: ")
              << result << "  " << time << "\n";
    }
    out().flush();
}

struct Run::Provisioned {
    ListedDevice tracker;
    ProfileWritten written;
    bool ok = false;
    double seconds = 0;
};

namespace {

// A tracker in hand: its own handle on the bridge, its own link and the worker that writes it.
struct Hand {
    HeldTrace trace;  // first, so that it outlives the link that tells it
    std::unique_ptr<Bridge> handle;
    std::unique_ptr<Link> link;
    std::jthread worker;  // last, so that it is joined before the link and handle go
};

}  // namespace

struct Run::Line {
    Line(const std::string& profileText, DeviceDatabase& lineDatabase)
        : profile(profileText), database(lineDatabase) {}

    const std::string& profile;
    DeviceDatabase& database;  // touched on the line's thread alone
    LineHands<Provisioned> hands;
    std::map<std::string, std::unique_ptr<Hand>> inHand;  // by USB serial
    std::set<std::string> done;  // USB serials written since they were plugged in
    LineTally tally;
    // Something tells of devices coming and going; else the line looks every kLookInterval.
    bool told = false;

    int taken() const { return tally.written + tally.failed + static_cast<int>(inHand.size()); }
};

Run::Provisioned Run::provisionOn(Link& link, const ListedDevice& tracker, Line& line,
                                  const DatabaseStepRunner& onLineThread) {
    const auto start = clock_.now();
    FieldModel model;
    Provisioned done{tracker, writeProfile(link, model, tracker, line.profile, &line.database,
                                           !o_.noVerify, onLineThread)};
    done.ok = done.written.written && done.written.recorded;
    done.seconds = secondsBetween(start, clock_.now());
    return done;
}

bool Run::takeNewTrackers(Line& line, const Listing& listing) {
    bool wroteHere = false;
    for (const ListedDevice* tracker : listing.trackers()) {
        const bool full = (o_.count > 0 && line.taken() >= o_.count) ||
                          (o_.parallel > 0 && static_cast<int>(line.inHand.size()) >= o_.parallel);
        if (full || env_.stopRequested()) {
            break;
        }
        if (line.done.count(tracker->usbSerial) > 0 || line.inHand.count(tracker->usbSerial) > 0) {
            continue;
        }
        auto handle = bridge_.newHandle();
        if (!handle) {
            // A bridge of one handle: the tracker is written here, before the next is taken.
            Provisioned done = provisionOn(link_, *tracker, line, {});
            endProvisioned(line, done);
            wroteHere = true;
            continue;
        }
        auto hand = std::make_unique<Hand>();
        hand->handle = std::move(handle);
        hand->link = std::make_unique<Link>(*hand->handle, clock_);
        hand->link->setObserver(observer_ != nullptr ? &hand->trace : nullptr);
        hand->worker = std::jthread([this, &line, link = hand->link.get(), found = *tracker] {
            line.hands.finished(provisionOn(
                *link, found, line, [&line](const auto& step) { line.hands.onLineThread(step); }));
        });
        line.inHand.emplace(tracker->usbSerial, std::move(hand));
    }
    return wroteHere;
}

void Run::endProvisioned(Line& line, Provisioned& done) {
    const std::string& usbSerial = done.tracker.usbSerial;
    if (const auto found = line.inHand.find(usbSerial); found != line.inHand.end()) {
        found->second->worker.join();
        if (observer_ != nullptr) {
            found->second->trace.tellTo(*observer_);
        }
        line.inHand.erase(found);
    }
    line.done.insert(usbSerial);
    (done.ok ? line.tally.written : line.tally.failed) += 1;
    tellProvisioned(done.tracker, done.written, done.ok, done.seconds);
}

int Run::provision() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    Unattended unattended;
    DeviceDatabase database(unattended);
    if (!openDatabase(database, status)) {
        return status;
    }
    Line line{*profile, database};
    // Declared after the line, so that nothing is told of a device once the line is gone.
    const auto watch = env_.watchDevices(o_.sim, [&line] { line.hands.devicesChanged(); });
    line.told = watch != nullptr;
    env_.lineBegins();
    if (!o_.quiet) {
        env_.err() << "Ожидание трекеров. Ctrl+C — закончить после тех, что в работе.\n";
    }
    bool refusalTold = false;
    bool look = true;
    // Where nothing tells of devices, the line looks again every kLookInterval, also while
    // trackers are in hand, so that one plugged meanwhile does not wait for the slowest.
    auto lookedAt = std::chrono::steady_clock::now();
    for (;;) {
        const bool ending = line.tally.finished(o_.count) || env_.stopRequested();
        if (ending && line.inHand.empty()) {
            break;
        }
        if (look && !ending) {
            lookedAt = std::chrono::steady_clock::now();
            env_.provisionLooks(o_.sim, line.done);
            const Listing listing = listAttached();
            forgetUnplugged(line.done, listing);
            if (listing.accessRefused() != refusalTold) {
                refusalTold = listing.accessRefused();
                if (refusalTold) {
                    env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
                }
            }
            // A look that wrote a tracker here looks again at once: the next may be waiting.
            look = takeNewTrackers(line, listing);
            continue;
        }
        if (line.inHand.empty() && !line.told) {
            clock_.sleepFor(kLookInterval);
            look = true;
            continue;
        }
        for (Provisioned& done : line.hands.wait(kStopCheckInterval)) {
            endProvisioned(line, done);
            look = true;  // a place on the line is free
        }
        look = line.hands.takeDevicesChanged() || look ||
               (!line.told && std::chrono::steady_clock::now() - lookedAt >= kLookInterval);
    }
    const bool ok = line.tally.failed == 0;
    const std::string said = "Итого: записано " + std::to_string(line.tally.written) +
                             ", с ошибкой " + std::to_string(line.tally.failed);
    Json json = jsonResult(ok, Code::LineEnded, said);
    json["summary"] = {{"written", line.tally.written}, {"failed", line.tally.failed}};
    if (ok) {
        tellDone(json, said);
    } else if (o_.json) {
        out() << jsonLine(json) << "\n";
    } else {
        out() << said << "\n";  // a count with failures in it is told even with -q
    }
    return ok ? kDone : kFailed;
}

}  // namespace korvan::cli
