#include "cli/run.h"
#include "core/detection.h"
#include "protocol/session.h"

namespace korvan::cli {

int Run::list() {
    const Listing listing = listAttached();
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
            line += device.description + "  трекер " + device.serialText() + "  MAC " +
                    device.macText() + "  " + firmware;
            json.text("serial", device.serialText())
                .text("mac", device.macText())
                .text("firmware", version.firmware ? version.firmware->caption() : "");
        }
        devices.push_back(std::move(json));
        if (!o_.json) {
            out() << line << "\n";
        }
    }
    if (o_.json && !listing.broken) {
        out() << JsonObject().flag("ok", true).list("devices", devices).str() << "\n";
    } else if (listing.devices.empty() && !listing.broken) {
        out() << "Устройств FTDI не подключено\n";
    }
    if (listing.broken) {
        return failBrokenListing(listing);
    }
    if (listing.accessRefused()) {
        env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
        return kAccessRefused;
    }
    return kDone;
}

}  // namespace korvan::cli
