#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/detection.h"
#include "core/form_outcomes.h"
#include "core/tracker_listing.h"
#include "database/device_database.h"
#include "link/link.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"

// The steps the commands are made of, each as the window takes it: a tracker found in the
// listing, its configuration read into the fields, the fields written back and recorded.
namespace korvan::cli {

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
                        MessageBoxes& boxes, Progress* progress = nullptr);

}  // namespace korvan::cli
