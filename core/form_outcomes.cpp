#include "core/form_outcomes.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/scan.h"
#include "core/form_mapping.h"
#include "protocol/session.h"

namespace korvan {
namespace {

void show(FieldModel& model, MessageBoxes& boxes, const Message& message) {
    if (message.place == Place::MessageBox) {
        boxes.message(message.icon, cp1251::toUtf8(message.text));
        return;
    }
    if (message.severity == Severity::Success) {
        model.setStatusColour(StatusColour::Black);
    } else if (message.severity != Severity::Progress) {
        model.setStatusColour(StatusColour::Red);
    }
    if (message.place == Place::Notice) {
        model.setStatusFont(StatusFont::Points12);
    }
    model.setText(Field::StatusLine, message.text);
}

}  // namespace

void showOutcome(FieldModel& model, MessageBoxes& boxes, const Outcome& outcome) {
    for (const Message& message : outcome.messages) {
        if (message.text == cp1251::fromUtf8(kNoAccessMessage)) {
            tellNoAccessOnStderr();
        }
        show(model, boxes, message);
    }
}

std::string toldText(const Outcome& outcome) {
    std::string status;
    std::vector<std::string> boxes;
    for (const Message& message : outcome.messages) {
        if (message.place == Place::MessageBox) {
            boxes.push_back(cp1251::toUtf8(message.text));
        } else {
            status = cp1251::toUtf8(message.text);
        }
    }
    std::string told = status;
    for (const std::string& box : boxes) {
        if (box != status) {
            told += (told.empty() ? "" : "; ") + box;
        }
    }
    return told;
}

void tellNoAccessOnStderr() {
    // Where the window cannot be seen, or the technician starts it from a terminal.
    std::fprintf(stderr, "korvan: %s\n", std::string(kNoAccessMessage).c_str());
}

void applyRead(FieldModel& model, MessageBoxes& boxes, const ReadOutcome& read) {
    applyReadValues(model, read);
    showOutcome(model, boxes, read);
}

void showVerification(FieldModel& model, MessageBoxes& boxes, const Verification& verification) {
    if (!verification.read.succeeded()) {
        showOutcome(model, boxes, verification.read);
        return;
    }
    if (verification.verified()) {
        model.setStatusColour(StatusColour::Black);
        model.setStatusMessage("Совпадает с трекером");
        return;
    }
    std::string listed;
    for (const Difference& d : verification.differences) {
        listed += (listed.empty() ? "" : ", ") + d.title;
    }
    for (Setting setting : verification.unread) {
        listed += (listed.empty() ? "" : ", ") + std::string(commandsFor(setting).title) +
                  " (не перечитано)";
    }
    model.setStatusColour(StatusColour::Red);
    model.setStatusFont(StatusFont::Points12);  // a list needs the room
    model.setStatusMessage("Отличается от трекера: " + listed);
}

void showDatabaseReport(FieldModel& model, const DatabaseReport& report) {
    model.databasePath = report.path;
    if (report.shownName) {
        model.setText(Field::DatabaseName, cp1251::fromUtf8(*report.shownName));
    }
    if (!report.message.empty()) {
        model.setStatusMessage(report.message);
    }
}

std::optional<std::string> prepareDatabaseForWrite(FieldModel& model, DeviceDatabase& database,
                                                   const TrackerConfiguration& configuration) {
    if (database.needsSaveName()) {
        showDatabaseReport(model, database.chooseSaveFile());
    }
    if (auto why = database.whyNotRecordable(recordOf(configuration))) {
        return "Трекер не записан: его нельзя будет внести в базу — " + *why + ".";
    }
    return std::nullopt;
}

DeviceRecorded applyWrite(FieldModel& model, MessageBoxes& boxes, DeviceDatabase& database,
                          const WriteOutcome& written, bool programEnding) {
    return applyWrite(model, boxes, &database, written, programEnding);
}

DeviceRecorded applyWrite(FieldModel& model, MessageBoxes& boxes, DeviceDatabase* database,
                          const WriteOutcome& written, bool programEnding) {
    for (const Correction& correction : written.corrections) {
        model.setText(fieldOf(correction.field), correction.text);
    }
    if (written.passwordRejected) {
        model.setEnabled(Field::WriteButton, false);
    }
    // A refusal told in a box replaces what the status line said before, so that an earlier
    // success does not stand beside it.
    for (const Message& message : written.messages) {
        if (written.ending == Ending::NotStarted && message.place == Place::MessageBox) {
            model.setStatusColour(StatusColour::Red);
            model.setStatusFont(StatusFont::Points12);
            model.setText(Field::StatusLine, message.text);
        }
    }
    // Recorded before the outcome shows, so that the status line ends with the write's own
    // words rather than the database's.
    DeviceRecorded recorded;
    if (written.succeeded() && database != nullptr) {
        recorded = recordWrittenDevice(*database, written.written);
        showDatabaseReport(model, recorded.report);
    }
    showOutcome(model, boxes, written);
    if (!written.succeeded() || database == nullptr) {
        return recorded;
    }
    // The program's own words are UTF-8 already; only the serial number as shown is not.
    const std::string serial = cp1251::toUtf8(written.written.identity.serialNumber);
    if (!recorded.stored) {
        boxes.message(MessageIcon::Warning,
                      "В базе уже 1024 записи: устройство " + serial + " в неё не добавлено");
    } else if (!recorded.saved && !programEnding) {
        boxes.message(MessageIcon::Error,
                      "Базу устройств не удалось сохранить в файл. Запись устройства " + serial +
                          " осталась в списке и будет сохранена при следующем сохранении базы.");
    }
    return recorded;
}

DeviceRecord recordOf(const TrackerConfiguration& written) {
    DeviceRecord record;
    record.serial = leadingInteger(written.identity.serialNumber).value_or(0);
    record.password = written.server.password;
    record.writePeriod = leadingInteger(written.recording.period.text).value_or(0);
    record.sendPeriod = leadingInteger(written.recording.sendingPeriod.text).value_or(0);
    record.serverIp = written.server.address;
    record.serverPort = written.server.port;
    return record;
}

DeviceRecorded recordWrittenDevice(DeviceDatabase& database, const TrackerConfiguration& written) {
    auto [stored, storeReport] = database.storeDeviceRecord(recordOf(written));
    DatabaseReport report = database.save();  // the file as the save left it
    const bool kept = stored != RecordStored::ListFull;
    const bool fileWritten = report.done;
    if (!kept) {
        // A device the list had no room for is what the technician must hear, even when the
        // file of the others was saved.
        report.done = false;
        report.severity = storeReport.severity;
        report.message = std::move(storeReport.message);
    }
    return {kept, fileWritten, std::move(report)};
}

ReadOutcome readIntoForm(Link& link, FieldModel& model, MessageBoxes& boxes, Progress* progress) {
    NoProgress none;
    ReadOutcome outcome = readConfiguration(
        link, ReadRequest{!model.checked(Field::ReadIdentityOnly)}, progress ? *progress : none);
    applyRead(model, boxes, outcome);
    return outcome;
}

FormWritten writeFromForm(Link& link, FieldModel& model, DeviceDatabase* database,
                          MessageBoxes& boxes, bool verify,
                          const DatabaseStepRunner& onDatabaseThread, Progress* shown) {
    const auto databaseStep = [&onDatabaseThread](const std::function<void()>& step) {
        if (onDatabaseThread) {
            onDatabaseThread(step);
        } else {
            step();
        }
    };
    NoProgress none;
    Progress& progress = shown != nullptr ? *shown : none;
    FormWritten written;
    const TrackerConfiguration configuration = configurationFromForm(model);
    written.outcome = writeConfiguration(
        link, configuration, progress,
        [&model, database, &configuration, &databaseStep]() -> std::optional<std::string> {
            std::optional<std::string> refused;
            if (database != nullptr) {
                databaseStep([&] {
                    refused = prepareDatabaseForWrite(model, *database, asWritten(configuration));
                });
            }
            return refused;
        });
    if (verify && written.outcome.succeeded()) {
        written.verification = verifyWritten(link, written.outcome.written, progress);
        applyVerification(written.outcome, *written.verification);
    }
    databaseStep([&] { written.recorded = applyWrite(model, boxes, database, written.outcome); });
    return written;
}

}  // namespace korvan
