#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/detection.h"
#include "core/form_outcomes.h"
#include "database/device_database.h"
#include "link/link.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"

// The steps the commands are made of, each as the window takes it: a tracker found in the
// listing, its configuration read into the fields, the fields written back and recorded.
namespace korvan::cli {

// One device of the listing.
struct ListedDevice {
    std::uint32_t index = 0;
    std::string description;
    std::string usbSerial;
    bool accessRefused = false;  // its strings could not be read for lack of permission
    bool tracker = false;        // a supported tracker with a serial number in range
    int serial = 0;

    // Its serial number and MAC address as the window shows them ("00042").
    std::string serialText() const { return serialNumberText(serial); }
    std::string macText() const { return macAddressText(withSerial(kTrackerMacBase, serial)); }
};

struct Listing {
    bool listed = false;    // the bridge gave its listing
    bool complete = false;  // ... and every device's strings could be read
    std::vector<ListedDevice> devices;

    bool accessRefused() const;
    std::vector<const ListedDevice*> trackers() const;
};

// Every device the bridge lists with its strings, without opening any; a tracker is told as
// detection tells it (core/detection.h).
Listing listDevices(Bridge& bridge,
                    const std::vector<std::string>& descriptions = kTrackerDescriptions);

// Message boxes and database dialogs without a desktop: boxes are kept for the output, and a
// dialog is always cancelled, for no one is there to answer it.
class Unattended final : public MessageBoxes, public DatabaseDialogs {
  public:
    struct Box {
        MessageIcon icon;
        std::string text;  // UTF-8
    };
    std::vector<Box> boxes;

    void message(MessageIcon icon, std::string_view text) override {
        boxes.push_back({icon, std::string(text)});
    }
    bool confirm(std::string_view) override { return false; }
    std::optional<std::string> chooseDatabaseToOpen(const std::string&, OpenReason) override {
        return {};
    }
    std::optional<std::string> chooseDatabaseToSave(const std::string&) override { return {}; }
    void showFile(const std::string&) override {}
};

// The fields as the window has them when it starts without a settings file.
void startFields(FieldModel& model);

// The tracker shown and read into the fields, as detection does it.
ReadOutcome readTracker(Link& link, FieldModel& model, const ListedDevice& tracker,
                        MessageBoxes& boxes);

}  // namespace korvan::cli
