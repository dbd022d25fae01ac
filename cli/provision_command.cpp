#include "cli/run.h"
#include "protocol/session.h"

namespace korvan::cli {

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
            const std::string serial = tracker->serialText();
            const std::string mac = tracker->macText();
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

}  // namespace korvan::cli
