#include "protocol/configuration_write.h"

#include <functional>
#include <string>

#include "base/cp1251.h"
#include "link/wire_trace.h"
#include "protocol/session.h"
#include "protocol/value_rules.h"

namespace korvan {
namespace {

constexpr int kFirmwareWithDebugPointer = 100;

// Whether the write sends the setting: a control point only once it is placed, the device's
// own addresses only without DHCP.
bool sends(const TrackerConfiguration& configuration, Setting setting) {
    const auto index = static_cast<int>(setting) - static_cast<int>(Setting::Point1);
    if (index >= 0 && index < 3) {
        return configuration.points[static_cast<std::size_t>(index)].placed();
    }
    return !commandsFor(setting).fixedAddressOnly || !configuration.network.dhcp;
}

// The limits of `phase` applied to the configuration of `context`; false at a number that
// does not convert, which `context` notes.
bool applyLimits(SetContext& context, LimitPhase phase) {
    for (const FieldLimit& limit : fieldLimits()) {
        if (limit.phase != phase ||
            (limit.emptyAllowed && numberOf(context.configuration, limit.field).text.empty())) {
            continue;
        }
        const auto value = context.number(limit.field);
        if (!value) {
            return false;
        }
        const bool kept = limit.zeroAllowed && *value == 0;
        if (limit.lowest && *value < *limit.lowest && !kept) {
            context.correct(limit.field, std::to_string(*limit.lowest));
        } else if (limit.highest && *value > *limit.highest && !kept) {
            context.correct(limit.field, std::to_string(*limit.highest));
        }
    }
    return true;
}

// Every step formatted on `context`'s configuration in the write's order, with the limits in
// between as the write applies them: what a write would send ends up in it. False at a number
// that does not convert.
bool formatEveryStep(SetContext& context) {
    CommandBuffer buffer;
    const auto format = [&](const std::vector<Setting>& order) {
        for (Setting setting : order) {
            if (sends(context.configuration, setting) &&
                commandsFor(setting).set.encode(context, buffer) == Encoded::NotANumber) {
                return false;
            }
        }
        return true;
    };
    return format(kNetworkWriteOrder) && applyLimits(context, LimitPhase::AfterNetwork) &&
           format(kTrackerWriteOrder);
}

class Write {
  public:
    Write(Link& link, const TrackerConfiguration& configuration, Progress& progress,
          const BeforeOpening& beforeOpening)
        : outcome_(started(configuration)),
          context_(outcome_.written),
          session_(link, outcome_, progress, stepCount()),
          link_(link),
          beforeOpening_(beforeOpening) {}

    WriteOutcome run() {
        // The rules are judged on the values as given: a number they refuse (a "-5") is not
        // first corrected into one the tracker takes.
        if (identified() && passwordFits() && fieldsFit() &&
            corrected(context_, LimitPhase::BeforeOpening) && everyNumberConverts() &&
            askedBeforeOpening() && session_.open("Ошибка при открытии USB")) {
            const bool written = walk(kNetworkWriteOrder) &&
                                 corrected(context_, LimitPhase::AfterNetwork) &&
                                 walk(kTrackerWriteOrder) && checkDebugPointer();
            if (written && link_.interrupted()) {
                session_.endInterrupted();
            } else if (written) {
                sendRecordingMethod();
            }
            session_.close();
        }
        outcome_.corrections = std::move(context_.corrections);
        return std::move(outcome_);
    }

  private:
    static WriteOutcome started(const TrackerConfiguration& configuration) {
        WriteOutcome outcome;
        outcome.written = configuration;
        return outcome;
    }

    const TrackerConfiguration& configuration() const { return outcome_.written; }

    bool sent(Setting setting) const { return sends(configuration(), setting); }

    int stepCount() const {
        int steps = 1;  // the recording method
        for (const auto* order : {&kNetworkWriteOrder, &kTrackerWriteOrder}) {
            for (Setting setting : *order) {
                steps += sent(setting) ? 1 : 0;
            }
        }
        return steps + (configuration().identity.firmware >= kFirmwareWithDebugPointer ? 1 : 0);
    }

    void stop(std::string_view utf8) {
        outcome_.ending = Ending::NotStarted;
        outcome_.tell(Severity::Fatal, utf8);
    }

    // A write needs the serial number that detection shows; the placeholder is not one.
    bool identified() {
        const std::string& serial = configuration().identity.serialNumber;
        const auto number = Number{serial}.value();
        if (serial.size() == 5 && number && *number >= 1) {
            return true;
        }
        stop("Устройство не определено: подключите трекер и дождитесь чтения настроек");
        return false;
    }

    bool passwordFits() {
        // The password's rule, told as the write has always told it, and with the write button
        // off until it is mended.
        if (configuration().server.password.size() == kPasswordLength) {
            return true;
        }
        outcome_.passwordRejected = true;
        stop("Пароль должем иметь 8 символов");
        return false;
    }

    bool askedBeforeOpening() {
        if (beforeOpening_) {
            if (auto refusal = beforeOpening_()) {
                outcome_.ending = Ending::NotStarted;
                outcome_.messages.push_back({Severity::Fatal, cp1251::fromUtf8(*refusal),
                                             Place::MessageBox, MessageIcon::Error});
                return false;
            }
        }
        if (link_.cancelRequested()) {
            outcome_.ending = Ending::Cancelled;
            outcome_.tell(Severity::Fatal, kCancelledMessage);
            return false;
        }
        return true;
    }

    bool fieldsFit() {
        if (auto refusal = writeRefusal(configuration())) {
            outcome_.ending = Ending::NotStarted;
            outcome_.messages.push_back(
                {Severity::Fatal, std::move(*refusal), Place::MessageBox, MessageIcon::Error});
            return false;
        }
        return true;
    }

    // Every step formatted once on a copy, before anything is sent: the value rules admit only
    // numbers the write can convert, so this is the net under them, should a rule and a
    // conversion ever part ways; a number that only a later step converts must never stop the
    // write with the tracker half written.
    bool everyNumberConverts() {
        TrackerConfiguration copy = configuration();
        SetContext scratch(copy);
        if (formatEveryStep(scratch)) {
            return true;
        }
        context_.notANumber = scratch.notANumber;
        tellNotANumber();
        return false;
    }

    // A number that the write cannot convert ends it with a message box naming the field.
    void tellNotANumber() {
        const NumberField field = *context_.notANumber;
        outcome_.messages.push_back(
            {Severity::Fatal,
             cp1251::fromUtf8("В поле «" + describe(field) + "» не число: «") +
                 numberOf(configuration(), field).text +
                 cp1251::fromUtf8("». Исправьте его и нажмите «Установить» снова."),
             Place::MessageBox, MessageIcon::Error});
        outcome_.ending = link_.isOpen() ? Ending::Failed : Ending::NotStarted;
        session_.close();
    }

    // The limits of `phase` applied to the write's own configuration; false, and told, at a
    // number that does not convert.
    bool corrected(SetContext& context, LimitPhase phase) {
        if (applyLimits(context, phase)) {
            return true;
        }
        tellNotANumber();
        return false;
    }

    bool walk(const std::vector<Setting>& order) {
        for (Setting setting : order) {
            if (!sent(setting)) {
                continue;
            }
            if (!send(commandsFor(setting))) {
                return false;
            }
        }
        return true;
    }

    // One setting; false when the write has ended.
    bool send(const SettingCommands& row) {
        const SetCommand& set = row.set;
        switch (set.encode(context_, link_.commandText)) {
            case Encoded::Skipped:
                return true;
            case Encoded::NotANumber:
                tellNotANumber();
                return false;
            case Encoded::Ready:
                break;
        }
        const auto result = session_.exchange(set.rule, row.title);
        const auto verdict = session_.judge(result, set.fatal, set.failure);
        if (verdict != Session::Verdict::Accepted) {
            return verdict == Session::Verdict::FailedGoOn;
        }
        if (set.rule.acceptance == Acceptance::Echo &&
            !echoMatches(result.reply, link_.commandText)) {
            outcome_.steps.back().status = StepStatus::Rejected;
            // The echo of the Wi-Fi key carries the key: it is told masked, as in any log.
            session_.failShown(cp1251::fromUtf8(set.mismatch) + maskSecrets(result.reply.text()));
            return false;
        }
        showReply(set, result.reply);
        return true;
    }

    void showReply(const SetCommand& set, const Reply& reply) {
        const auto show = [this](std::string text) {
            outcome_.show(Severity::Progress, std::move(text));
        };
        switch (set.shown) {
            case ReplyShown::ReplyText:
                show(reply.text());
                break;
            case ReplyShown::Ok:
                show("OK");
                break;
            case ReplyShown::SetOk:
                if (reply.startsWith("SET_OK")) {
                    show("SET_OK");
                } else if (set.rejected != nullptr) {
                    outcome_.steps.back().status = StepStatus::Rejected;
                    outcome_.tell(Severity::Failure, set.rejected);
                }
                break;
            case ReplyShown::FirstByte:
                show(std::to_string(reply.bytes()[0]));
                break;
            case ReplyShown::Unsigned16:
                show(std::to_string(reply.number(0, 2)));
                break;
            case ReplyShown::Signed32:
                show(std::to_string(static_cast<std::int32_t>(reply.number(0, 4))));
                break;
            case ReplyShown::Nothing:
                break;
        }
    }

    // From firmware 1.0 on, a debug log pointer outside the log's area is mended by erasing
    // the log. The check never ends the write, unless it is cancelled or the device goes.
    bool checkDebugPointer() {
        if (configuration().identity.firmware < kFirmwareWithDebugPointer) {
            return true;
        }
        link_.commandText.formatCommand("DEBUG_GET_PTR$");
        session_.beginStep("указатель отладочного журнала");
        for (int attempt = 1; attempt <= kExchangeAttempts; ++attempt) {
            if (link_.interrupted()) {
                session_.endStep(StepStatus::Interrupted, attempt - 1);
                session_.endInterrupted();
                return false;
            }
            if (pointerAttempt()) {
                session_.endStep(StepStatus::Done, attempt);
                return true;
            }
            pauseUnlessInterrupted(link_, kPauseAfterFailedAttempt);
        }
        if (link_.interrupted()) {
            session_.endStep(StepStatus::Interrupted, kExchangeAttempts);
            session_.endInterrupted();
            return false;
        }
        session_.endStep(StepStatus::Failed, kExchangeAttempts);
        outcome_.tell(Severity::Failure, "Ошибка при очистке debug лога");
        return true;
    }

    // One look at the pointer, and an erase when it is outside the log; true once it is in
    // place, or once the erase was answered "CLEARED" or with anything but nine bytes, which
    // the tracker's firmware takes as done; an erase left unanswered is not.
    bool pointerAttempt() {
        link_.commandText.formatCommand("DEBUG_GET_PTR$");
        const Reply pointer = askOnce(link_, 4);
        if (link_.interrupted()) {
            return false;  // a log is never erased after a cancel
        }
        if (pointer.count() != 4) {
            return false;
        }
        if ((pointer.number(0, 4) >> 12) == 0x40000) {
            return true;
        }
        link_.commandText.formatCommand("DEBUG_CLEAR_LOG$");
        const Reply cleared = askOnce(link_, 9);
        if (link_.interrupted()) {
            return false;
        }
        // Silence confirms nothing: the pointer is looked at again.
        const auto bytes = cleared.bytes();
        return cleared.count() != 0 &&
               (cleared.count() != 9 ||
                std::string_view(reinterpret_cast<const char*>(bytes.data()), 7) == "CLEARED");
    }

    void sendRecordingMethod() {
        if (!send(commandsFor(Setting::RecordingMethod))) {
            return;  // told and closed
        }
        outcome_.show(Severity::Progress, std::string(link_.commandText.text()));
        session_.close();
        // A step that failed without ending the write leaves the tracker not as the fields
        // say: the write is not done, and every such step is named.
        std::string unconfirmed;
        for (const Step& step : outcome_.steps) {
            if (step.status != StepStatus::Done) {
                unconfirmed += (unconfirmed.empty() ? "" : ", ") + step.what;
            }
        }
        if (unconfirmed.empty()) {
            outcome_.tell(Severity::Success, "Данные успешно записаны в устройство");
            return;
        }
        outcome_.ending = Ending::Failed;
        // A list may be long: the smaller font of a notice gives it room.
        outcome_.tell(Severity::Fatal, "Устройство не подтвердило: " + unconfirmed, Place::Notice);
    }

    WriteOutcome outcome_;
    SetContext context_;
    Session session_;
    Link& link_;
    const BeforeOpening& beforeOpening_;
};

}  // namespace

WriteOutcome writeConfiguration(Link& link, const TrackerConfiguration& configuration,
                                Progress& progress, const BeforeOpening& beforeOpening) {
    return Write(link, configuration, progress, beforeOpening).run();
}

TrackerConfiguration asWritten(const TrackerConfiguration& configuration) {
    TrackerConfiguration written = configuration;
    SetContext context(written);
    // A number that does not convert stays as it is: the write would refuse it.
    if (applyLimits(context, LimitPhase::BeforeOpening)) {
        formatEveryStep(context);
    }
    return written;
}

}  // namespace korvan
