#include "base/file_names.h"
#include "cli/run.h"
#include "settings/tracker_profile.h"

namespace korvan::cli {

// A terminal or a log may be read over a shoulder: the password and the key go into a profile
// file, or to standard output only when asked for.
void Run::printProfile(const FieldModel& model, const ListedDevice& tracker) {
    FieldModel shown;
    shown.restore(model.snapshot());
    if (!o_.showSecrets) {
        for (int i = 0; i < kFieldCount; ++i) {
            const auto field = static_cast<Field>(i);
            if (isSecret(field) && !shown.text(field).empty()) {
                shown.setText(field, "********");
            }
        }
    }
    clearProgress();
    if (o_.json) {
        // "profile" names a profile's file wherever it stands; the text has a name of its own.
        Json json =
            jsonResult(true, Code::Read, "Профиль трекера " + tracker.serialText() + " прочитан");
        json["serial"] = tracker.serialText();
        json["profile_text"] = utf8(profileText(shown));
        out() << jsonLine(json) << "\n";
    } else {
        out() << profileText(shown);  // Windows-1251, as a profile file holds it
    }
}

int Run::read() {
    int status = kDone;
    const auto tracker = listAndChooseTracker(status);
    if (!tracker) {
        return status;
    }
    FieldModel model;
    startFields(model);
    Unattended boxes;
    const ReadOutcome read = readTracker(link_, model, *tracker, boxes, &progress());
    if (!read.succeeded()) {
        return fail(kFailed, Code::ReadFailed, toldText(read),
                    "Проверьте подключение трекера и повторите.");
    }
    if (!read.missed.empty()) {
        // A profile with first-run values in place of what was not read would pass them off
        // as this tracker's.
        return fail(kFailed, Code::ReadIncomplete, toldText(read) + "; профиль не сохранён",
                    "Повторите чтение; если не помогает, обновите прошивку трекера.");
    }
    warnBrokenRules(model);
    if (o_.output.empty()) {
        printProfile(model, *tracker);
        return kDone;
    }
    if (auto error = saveProfile(model, pathFromUtf8(o_.output))) {
        return fail(kFileProblem, Code::FileUnwritable, *error,
                    "Проверьте папку и права на запись.");
    }
    const std::string said = "Профиль трекера " + tracker->serialText() + " записан в " + o_.output;
    Json json = jsonResult(true, Code::ProfileSaved, said);
    json["serial"] = tracker->serialText();
    json["profile"] = o_.output;
    tellDone(json, said);
    return kDone;
}

}  // namespace korvan::cli
