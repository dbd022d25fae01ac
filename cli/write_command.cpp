#include "cli/run.h"

namespace korvan::cli {

int Run::write() {
    int status = kDone;
    const auto profile = readProfile(status);
    if (!profile) {
        return status;
    }
    Unattended unattended;
    DeviceDatabase database(unattended);
    if (!o_.database.empty() && !openDatabase(database, status)) {
        return status;
    }
    const auto tracker = listAndChooseTracker(status);
    if (!tracker) {
        return status;
    }
    FieldModel model;
    const ProfileWritten done = writeProfile(link_, model, *tracker, *profile,
                                             o_.database.empty() ? nullptr : &database, o_.verify);
    const std::string& said = done.said;
    if (!done.read) {
        return fail(kFailed, done.code, said, "Проверьте подключение трекера и повторите.");
    }
    if (!done.differences.empty()) {
        tellDifferences(done.differences);
        Json differences = Json::array();
        for (const Difference& d : done.differences) {
            differences.push_back(differenceJson(d));
        }
        return fail(kFailed, done.code,
                    "Трекер " + tracker->serialText() + " хранит не то, что записано (отличий: " +
                        std::to_string(done.differences.size()) + ")" +
                        (o_.database.empty() ? "" : "; в базу не внесён"),
                    "Запишите трекер снова; если отличие остаётся, трекер неисправен.",
                    Json{{"serial", tracker->serialText()}, {"differences", differences}});
    }
    if (!done.written) {
        return fail(kFailed, done.code, said, "Исправьте сказанное и повторите запись.");
    }
    if (!done.recorded) {
        return fail(kFileProblem, done.code, said,
                    "Проверьте файл базы и внесите трекер, записав его снова.");
    }
    Json json = jsonResult(true, done.code, said);
    json["serial"] = tracker->serialText();
    json["verified"] = done.verified;
    json["profile"] = o_.profile;
    tellDone(json, tracker->serialText() + "  " + said);
    return kDone;
}

}  // namespace korvan::cli
