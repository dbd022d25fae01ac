#include "cli/run.h"
#include "core/detection.h"
#include "protocol/session.h"

namespace korvan::cli {

int Run::list() {
    const Listing listing = listAttached();
    if (!listing.listed) {
        return fail(kFailed, Code::UsbUnavailable, "Список устройств USB не получен",
                    "Проверьте, что система видит устройства USB (lsusb).");
    }
    Json devices = Json::array();
    for (const ListedDevice& device : listing.devices) {
        Json json{{"index", device.index},
                  {"description", device.description},
                  {"usb_serial", device.usbSerial},
                  {"tracker", device.tracker},
                  {"access_refused", device.accessRefused}};
        std::string line = std::to_string(device.index) + "  ";
        if (device.accessRefused) {
            line += "нет доступа";
        } else if (!device.tracker) {
            line += device.description + "  " + device.usbSerial + "  не трекер";
        } else {
            line += device.description + "  трекер " + device.serialText() + "  MAC " +
                    device.macText();
            json["serial"] = device.serialText();
            json["mac"] = device.macText();
            if (!o_.brief) {
                // The firmware's version needs the tracker opened: --brief leaves it shut.
                FieldModel model;
                startFields(model);
                showFoundTracker(model, device.serial);
                link_.setTarget(LinkTarget::serial(device.usbSerial));
                NoProgress progress;
                const ReadOutcome version = readConfiguration(link_, ReadRequest{false}, progress);
                line += "  " + (version.firmware ? version.firmware->caption()
                                                 : std::string("прошивка не прочитана"));
                json["firmware"] = version.firmware ? version.firmware->caption() : "";
            }
        }
        devices.push_back(std::move(json));
        if (!o_.json) {
            out() << line << "\n";
        }
    }
    if (listing.broken) {
        return failBrokenListing(listing);
    }
    if (o_.json) {
        // A device the system refused is listed, and the line says it was not all well.
        const bool refused = listing.accessRefused();
        Json json = jsonResult(!refused, refused ? Code::AccessRefused : Code::Listed,
                               refused ? std::string(kNoAccessMessage)
                                       : "Устройств: " + std::to_string(listing.devices.size()));
        json["devices"] = std::move(devices);
        out() << jsonLine(json) << "\n";
    } else if (listing.devices.empty()) {
        out() << "Устройств FTDI не подключено\n";
    }
    if (listing.accessRefused()) {
        env_.err() << "korvan-cli: " << kNoAccessMessage << "\n";
        return kAccessRefused;
    }
    return kDone;
}

}  // namespace korvan::cli
