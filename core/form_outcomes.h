#pragma once

#include "core/message_boxes.h"
#include "database/device_database.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"

// How the outcomes of device operations show on the form: the status line with its colour and
// font, the fields a read filled or a write corrected, the write button, message boxes.
namespace korvan {

void ShowOutcome(FieldModel& model, MessageBoxes& boxes, const Outcome& outcome);
void ApplyRead(FieldModel& model, MessageBoxes& boxes, const ReadOutcome& read);
void ApplyWrite(FieldModel& model, MessageBoxes& boxes, const WriteOutcome& written);

// The device just written, into the database, which is saved at once. False when the
// database had no room for it.
bool RecordWrittenDevice(DeviceDatabase& database, const TrackerConfiguration& written);

// The same for whoever drives the write without threads of its own.
class DatabaseRecorder final : public WrittenDeviceRecorder {
  public:
    explicit DatabaseRecorder(DeviceDatabase& database) : database_(database) {}
    bool recordWrittenDevice(const TrackerConfiguration& written) override {
        return RecordWrittenDevice(database_, written);
    }

  private:
    DeviceDatabase& database_;
};

}  // namespace korvan
