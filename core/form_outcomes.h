#pragma once

#include <functional>
#include <optional>

#include "core/message_boxes.h"
#include "core/verification.h"
#include "database/device_database.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"

// How the outcomes of device operations show on the form: the status line with its colour and
// font, the fields a read filled or a write corrected, the write button, message boxes.
namespace korvan {

// Shows every message; a refused access is also printed on stderr.
void showOutcome(FieldModel& model, MessageBoxes& boxes, const Outcome& outcome);
void tellNoAccessOnStderr();
// What the technician is told of an outcome, UTF-8: the status line's last message, then each
// message box's text, "; " between them; a refusal that both show is said once.
std::string toldText(const Outcome& outcome);
void applyRead(FieldModel& model, MessageBoxes& boxes, const ReadOutcome& read);
// The fields compared with the tracker read back, on the status line: "Совпадает с трекером"
// in black, or the fields that differ, in red; a read that failed tells its own failure.
void showVerification(FieldModel& model, MessageBoxes& boxes, const Verification& verification);
// The database's file and its shown name, and its message on the status line in the status
// line's colour.
void showDatabaseReport(FieldModel& model, const DatabaseReport& report);

struct DeviceRecorded {
    bool stored = false;    // false: the list had no room
    bool saved = false;     // both files written; a record that was not stays in the list
    DatabaseReport report;  // the save's, or the store's where it was refused
};

// A write confirmed to its end records the device first; its outcome then shows, and a record
// without room or a database that could not be saved is told in a message box. A program that
// is ending has no later save to promise: it leaves telling a failed save to its own end.
DeviceRecorded applyWrite(FieldModel& model, MessageBoxes& boxes, DeviceDatabase& database,
                          const WriteOutcome& written, bool programEnding = false);
// The same where no database is kept: nothing is recorded.
DeviceRecorded applyWrite(FieldModel& model, MessageBoxes& boxes, DeviceDatabase* database,
                          const WriteOutcome& written, bool programEnding = false);

// Before a write touches the tracker: a database file not named yet is asked for, so that no
// dialog waits in the middle of the wire, and what would keep the device from being recorded
// is found (UTF-8), so that no tracker is written that the database cannot take.
std::optional<std::string> prepareDatabaseForWrite(FieldModel& model, DeviceDatabase& database,
                                                   const TrackerConfiguration& configuration);

// The record of the device a configuration is written to.
DeviceRecord recordOf(const TrackerConfiguration& written);

// The read and the write driven from the form on the caller's own thread, as the core object
// drives them across its two: the form read into a configuration, the operation, its outcome
// applied. For the command line and the tests. `progress`, when given, is told each step.
ReadOutcome readIntoForm(Link& link, FieldModel& model, MessageBoxes& boxes,
                         Progress* progress = nullptr);
struct FormWritten {
    WriteOutcome outcome;
    DeviceRecorded recorded;
    std::optional<Verification> verification;  // when asked for and the write was confirmed
};
// The database, when there is one, is named before the link opens and records the device.
// With `verify`, a write confirmed to its end is read back and compared before it counts: a
// tracker that holds otherwise is not recorded.
// `onDatabaseThread` runs each step that touches the database, and returns once it is done:
// where several trackers are written at once, the database's one owner runs them, in the order
// the writes were confirmed. Without it, they run here.
using DatabaseStepRunner = std::function<void(const std::function<void()>& step)>;
FormWritten writeFromForm(Link& link, FieldModel& model, DeviceDatabase* database,
                          MessageBoxes& boxes, bool verify = false,
                          const DatabaseStepRunner& onDatabaseThread = {},
                          Progress* progress = nullptr);

// The device just written, into the database, which is saved at once; nothing is shown.
DeviceRecorded recordWrittenDevice(DeviceDatabase& database, const TrackerConfiguration& written);

}  // namespace korvan
