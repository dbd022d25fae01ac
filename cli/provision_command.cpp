#include <set>

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
    if (o_.json) {
        std::vector<JsonObject> differences;
        for (const Difference& d : done.differences) {
            differences.push_back(differenceJson(d));
        }
        out() << JsonObject()
                     .text("serial", tracker.serialText())
                     .text("mac", tracker.macText())
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
        out() << tracker.serialText() << "  " << tracker.macText() << "  " << (ok ? "" : "ОШИБКА: ")
              << result << "  " << time << "\n";
    }
    out().flush();
}

bool Run::provisionListed(const Listing& listing, const std::string& profile,
                          DeviceDatabase& database, std::set<std::string>& done, LineTally& tally) {
    bool handled = false;
    for (const ListedDevice* tracker : listing.trackers()) {
        if (tally.finished(o_.count) || env_.stopRequested() ||
            done.count(tracker->usbSerial) > 0) {
            continue;
        }
        done.insert(tracker->usbSerial);
        handled = true;
        const auto start = clock_.now();
        FieldModel model;
        const ProfileWritten written =
            writeProfile(model, *tracker, profile, &database, !o_.noVerify);
        const bool ok = written.written && written.recorded;
        (ok ? tally.written : tally.failed) += 1;
        tellProvisioned(*tracker, written, ok, secondsBetween(start, clock_.now()));
    }
    return handled;
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
    env_.lineBegins();
    env_.err() << "Ожидание трекеров. Ctrl+C — закончить после текущего.\n";
    bool refusalTold = false;
    std::set<std::string> done;  // USB serials written since they were plugged in
    LineTally tally;
    while (!tally.finished(o_.count) && !env_.stopRequested()) {
        env_.provisionLooks(o_.sim, done);
        const Listing listing = listAttached();
        forgetUnplugged(done, listing);
        if (listing.accessRefused() != refusalTold) {
            refusalTold = listing.accessRefused();
            if (refusalTold) {
                env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
            }
        }
        const bool handled = provisionListed(listing, *profile, database, done, tally);
        // A look that found work looks again at once: the next tracker may be waiting already.
        if (!handled && !tally.finished(o_.count) && !env_.stopRequested()) {
            clock_.sleepFor(kLookInterval);
        }
    }
    if (o_.json) {
        out() << JsonObject()
                     .object("summary", JsonObject()
                                            .integer("written", tally.written)
                                            .integer("failed", tally.failed))
                     .str()
              << "\n";
    } else {
        out() << "Итого: записано " << tally.written << ", с ошибкой " << tally.failed << "\n";
    }
    return tally.failed > 0 ? kFailed : kDone;
}

}  // namespace korvan::cli
