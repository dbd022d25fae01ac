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
        return fail(kFailed, read.succeeded() ? Code::ReadIncomplete : Code::ReadFailed,
                    toldText(read) + "; трекер не сравнён с профилем",
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
    clearProgress();
    // The differences are what was asked for: -q keeps them.
    for (const Difference& d : differences) {
        const std::string said =
            d.title + " (" + d.key + "): трекер «" + d.held + "», профиль «" + d.meant + "»";
        if (o_.json) {
            Json json = jsonResult(false, Code::Difference, said);
            json["serial"] = tracker->serialText();
            json.update(differenceJson(d));
            out() << jsonLine(json) << "\n";
        } else {
            out() << said << "\n";
        }
    }
    const bool same = differences.empty();
    Json json = jsonResult(same, same ? Code::Same : Code::Different,
                           same ? "Трекер " + tracker->serialText() + " совпадает с профилем"
                                : "Трекер " + tracker->serialText() + " отличается от профиля (" +
                                      std::to_string(differences.size()) + ")");
    json["profile"] = o_.profile;
    json["summary"] = {{"serial", tracker->serialText()}, {"differences", differences.size()}};
    if (o_.json || same) {
        tellDone(json, json["message"].get<std::string>());
    }
    return same ? kDone : kFailed;
}

}  // namespace korvan::cli
