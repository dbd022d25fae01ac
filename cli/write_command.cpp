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
        return fail(kFailed, said, "Проверьте подключение трекера и повторите.");
    }
    if (!done.differences.empty()) {
        tellDifferences(done.differences);
        return fail(kFailed,
                    "Трекер " + tracker->serialText() + " хранит не то, что записано (отличий: " +
                        std::to_string(done.differences.size()) + ")" +
                        (o_.database.empty() ? "" : "; в базу не внесён"),
                    "Запишите трекер снова; если отличие остаётся, трекер неисправен.");
    }
    if (!done.written) {
        return fail(kFailed, said, "Исправьте сказанное и повторите запись.");
    }
    if (!done.recorded) {
        return fail(kFileProblem, said, "Проверьте файл базы и внесите трекер, записав его снова.");
    }
    if (o_.json) {
        out() << JsonObject()
                     .flag("ok", true)
                     .text("serial", tracker->serialText())
                     .flag("verified", done.verified)
                     .text("result", said)
                     .str()
              << "\n";
    } else {
        out() << tracker->serialText() << "  " << said << "\n";
    }
    return kDone;
}

}  // namespace korvan::cli
