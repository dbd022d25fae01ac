#pragma once

#include <string>
#include <vector>

#include "link/link.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "settings/field_model.h"

// Whether a tracker holds what was meant: the settings written, or a profile, compared field
// by field with what the tracker gives when it is read.
namespace korvan {

// One field that a tracker holds otherwise than meant.
struct Difference {
    Field field;
    std::string title;  // its Russian name, UTF-8
    std::string key;    // its profile key, "SERVER/Port"
    std::string held;   // as the tracker holds it, UTF-8, secrets masked
    std::string meant;  // as written or as the profile has it
    bool operator==(const Difference&) const = default;
};

// The fields of `meant` and `held` that differ among the settings named, as the form shows
// them; numbers are compared by value ("05" is 5). Within a setting, a value that neither side
// uses is not compared: the on-time of a point that does not send, the key of an open network.
std::vector<Difference> compareForms(const FieldModel& meant, const FieldModel& held,
                                     const std::vector<Setting>& settings);

// The settings of a tracker that a write sends and a read can give back, in the read's order.
// The MAC address and the serial number are sent but never asked for: they cannot be verified.
std::vector<Setting> verifiableSettings(const TrackerConfiguration& written);

// The settings worth comparing between two configurations: those either of them uses.
std::vector<Setting> settingsInUse(const TrackerConfiguration& a, const TrackerConfiguration& b);

// A form holding `configuration` in the given settings, on top of the fields a first run has.
void fillForm(FieldModel& model, const TrackerConfiguration& configuration,
              const std::vector<Setting>& settings);

// `meant` and `held` compared through forms that hold them, among the settings named.
std::vector<Difference> compareConfigurations(const TrackerConfiguration& meant,
                                              const TrackerConfiguration& held,
                                              const std::vector<Setting>& settings);

struct Verification {
    ReadOutcome read;
    std::vector<Difference> differences;
    std::vector<Setting> unread;  // compared with nothing: the read did not give them
    bool verified() const { return read.succeeded() && differences.empty() && unread.empty(); }
};

// Reads the tracker back over `link` and compares what it gives with `written` (as the write
// sent it, after its corrections).
Verification verifyWritten(Link& link, const TrackerConfiguration& written, Progress& progress);

// A write confirmed to its end and then verified: told as verified, or turned into a failure
// that names what differs, so that the tracker is not recorded as written.
void applyVerification(WriteOutcome& written, const Verification& verification);

// "IP сервера: записано «10.0.0.1», в трекере «10.0.0.2»", one per difference; UTF-8.
std::string describeDifference(const Difference& difference);

}  // namespace korvan
