#include "protocol/configuration_read.h"

#include "protocol/session.h"

namespace korvan {
namespace {

constexpr ExchangeRule kVersionRule{Acceptance::Count, 9, {}};

bool readVersion(Session& session, ReadOutcome& outcome) {
    Link& link = session.link();
    link.commandText.formatCommand("FL_READ_VERSION$");
    const auto result = session.exchange(kVersionRule, "версия прошивки");
    if (session.judge(result, true, "Ошибка чтения версии устройства") !=
        Session::Verdict::Accepted) {
        return false;
    }
    outcome.firmware = parseFirmwareVersion(result.reply.text());
    if (!outcome.firmware) {
        outcome.steps.back().status = StepStatus::Rejected;
        session.fail("Неизвестная версия");
        return false;
    }
    outcome.values.identity.firmware = outcome.firmware->combined();
    outcome.show(Severity::Progress, std::string(link.commandText.text()));
    return true;
}

// What the tracker's reply to a setting's query made of the outcome.
void takeDecoded(Decoded decoded, Setting setting, ReadOutcome& outcome) {
    switch (decoded) {
        case Decoded::Taken:
            outcome.read.push_back(setting);
            break;
        case Decoded::Erased:
            outcome.notConfigured = true;
            break;
        case Decoded::Nothing:
            break;
        case Decoded::Unread:
            outcome.steps.back().status = StepStatus::Rejected;
            outcome.missed.push_back(setting);
            break;
    }
}

// One setting asked for, unless the addressing makes it moot. False when the read has ended.
bool readSetting(Session& session, Setting setting, ReadOutcome& outcome) {
    const SettingCommands& row = commandsFor(setting);
    const QueryCommand& query = row.query;
    if (setting == Setting::Addressing) {
        outcome.reachedNetwork = true;
    }
    if (row.fixedAddressOnly && outcome.values.network.dhcp) {
        session.skipStep(row.title);
        return true;
    }
    session.link().commandText.formatCommand("%s", query.command);
    const auto result = session.exchange(query.rule, row.title);
    const auto verdict = session.judge(result, query.fatal, query.failure);
    if (verdict == Session::Verdict::Ended) {
        return false;
    }
    if (verdict == Session::Verdict::FailedGoOn) {
        outcome.missed.push_back(setting);
        return true;
    }
    takeDecoded(query.decode(result.reply, outcome.values), setting, outcome);
    if (query.showsCommand) {
        outcome.show(Severity::Progress, query.command);
    }
    return true;
}

// The read's last word: done, an erased tracker, or the settings it did not give.
void tellHowReadWent(ReadOutcome& outcome) {
    if (outcome.notConfigured) {
        outcome.tell(Severity::Success,
                     "Устройство не настроено. Заполните пустые поля и нажмите кнопку "
                     "\"Установить\"",
                     Place::Notice);
    } else if (outcome.missed.empty()) {
        outcome.tell(Severity::Success, "Данные успешно считаны из устройства");
    }
    if (!outcome.missed.empty()) {
        std::string titles;
        for (Setting setting : outcome.missed) {
            titles += (titles.empty() ? "" : ", ") + std::string(commandsFor(setting).title);
        }
        // Said in the smaller font of a notice, which has room for a list; the fields named
        // hold the values of a first run.
        outcome.tell(Severity::Failure, "Не считано: " + titles, Place::Notice);
    }
}

}  // namespace

int readStepCount(const ReadRequest& request) {
    return 1 + (request.settings ? static_cast<int>(kReadOrder.size()) : 0);
}

ReadOutcome readConfiguration(Link& link, const ReadRequest& request, Progress& progress) {
    ReadOutcome outcome;
    Session session(link, outcome, progress, readStepCount(request));
    if (!session.open("Ошибка при открытии порта USB") || !readVersion(session, outcome)) {
        return outcome;
    }
    if (!request.settings) {
        outcome.tell(Severity::Success, "Параметры не были считаны");
        session.close();
        return outcome;
    }
    for (Setting setting : kReadOrder) {
        if (!readSetting(session, setting, outcome)) {
            return outcome;
        }
    }
    session.close();
    tellHowReadWent(outcome);
    return outcome;
}

}  // namespace korvan
