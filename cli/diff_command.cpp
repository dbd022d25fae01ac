#include "cli/run.h"
#include "core/field_titles.h"
#include "core/form_mapping.h"
#include "settings/tracker_profile.h"

namespace korvan::cli {

int Run::diff() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    const auto tracker = listAndChooseTracker(status);
    if (!tracker) {
        return status;
    }
    FieldModel held;
    startFields(held);
    Unattended boxes;
    const ReadOutcome read = readTrackerWithTries(link_, held, *tracker, boxes);
    if (!read.succeeded() || !read.missed.empty()) {
        // A setting not read would be compared with a first run's value, not the tracker's.
        return fail(kFailed, toldText(read) + "; трекер не сравнён с профилем",
                    "Проверьте подключение трекера и повторите.");
    }
    FieldModel meant;
    startFields(meant);
    loadProfileText(meant, *profile);  // checked, and made whole, already
    // Compared as a write of the profile would leave the tracker (a sending period of 10 is
    // written as 30), and told with the profile's own values.
    const TrackerConfiguration written = asWritten(configurationFromForm(meant));
    const TrackerConfiguration holds = configurationFromForm(held);
    auto differences = compareConfigurations(written, holds, settingsInUse(written, holds));
    for (Difference& d : differences) {
        for (const SettingsKey& key : settingsKeys()) {
            if (key.field == d.field && isTrackerSetting(key)) {
                d.meant = shownValue(meant, key);
            }
        }
    }
    for (const Difference& d : differences) {
        if (o_.json) {
            out() << differenceJson(d).str() << "\n";
        } else {
            out() << d.title << " (" << d.key << "): трекер «" << d.held << "», профиль «"
                  << d.meant << "»\n";
        }
    }
    if (o_.json) {
        out() << JsonObject()
                     .object("summary", JsonObject()
                                            .text("serial", tracker->serialText())
                                            .integer("differences",
                                                     static_cast<long long>(differences.size())))
                     .str()
              << "\n";
    } else if (differences.empty()) {
        out() << "Трекер " << tracker->serialText() << " совпадает с профилем\n";
    }
    return differences.empty() ? kDone : kFailed;
}

}  // namespace korvan::cli
