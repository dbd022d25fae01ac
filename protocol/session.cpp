#include "protocol/session.h"

#include <algorithm>

#include "base/cp1251.h"

namespace korvan {

void Outcome::tell(Severity severity, std::string_view utf8, Place place, MessageIcon icon) {
    messages.push_back({severity, cp1251::fromUtf8(utf8), place, icon});
}

void Outcome::show(Severity severity, std::string shown) {
    messages.push_back({severity, std::move(shown), Place::StatusLine, MessageIcon::Information});
}

bool Session::open(std::string_view failureUtf8) {
    const OpenOutcome opened = link_.openPort();
    if (opened == OpenOutcome::Opened) {
        return true;
    }
    // Short enough for the status line's two lines.
    fail(opened == OpenOutcome::NoPermission ? kNoAccessMessage : failureUtf8);
    return false;
}

bool Session::openOrTell(std::string_view failureUtf8, MessageIcon icon) {
    const OpenOutcome opened = link_.openPort();
    if (opened == OpenOutcome::Opened) {
        return true;
    }
    if (opened == OpenOutcome::NoPermission) {
        fail(kNoAccessMessage, Place::MessageBox, MessageIcon::Error);
    } else {
        fail(failureUtf8, Place::MessageBox, icon);
    }
    return false;
}

void Session::beginStep(std::string_view what) {
    ++stepIndex_;
    progress_.step(stepIndex_, std::max(stepCount_, stepIndex_), what);
    outcome_.steps.push_back(
        {std::string(link_.commandText.formatted()), StepStatus::Done, 0, std::string(what)});
}

void Session::skipStep(std::string_view what) {
    ++stepIndex_;
    progress_.step(stepIndex_, std::max(stepCount_, stepIndex_), what);
}

void Session::endStep(StepStatus status, int attempts) {
    if (!outcome_.steps.empty()) {
        outcome_.steps.back().status = status;
        outcome_.steps.back().attempts = attempts;
    }
}

ExchangeResult Session::exchange(const ExchangeRule& rule, std::string_view what) {
    beginStep(what);
    auto result = korvan::exchange(
        link_, rule, [this](int attempt) { progress_.retry(attempt, kExchangeAttempts); });
    endStep(result.accepted      ? StepStatus::Done
            : result.interrupted ? StepStatus::Interrupted
                                 : StepStatus::Failed,
            result.attempts);
    return result;
}

Session::Verdict Session::judge(const ExchangeResult& result, bool fatal,
                                std::string_view failureUtf8) {
    if (result.interrupted) {
        endInterrupted();
        return Verdict::Ended;
    }
    if (result.accepted) {
        return Verdict::Accepted;
    }
    if (fatal) {
        fail(failureUtf8);
        return Verdict::Ended;
    }
    outcome_.tell(Severity::Failure, failureUtf8);
    return Verdict::FailedGoOn;
}

void Session::close() {
    if (link_.isOpen()) {
        link_.closePort();
    }
}

void Session::fail(std::string_view utf8, Place place, MessageIcon icon) {
    outcome_.tell(Severity::Fatal, utf8, place, icon);
    outcome_.ending = Ending::Failed;
    close();
}

void Session::failShown(std::string shown) {
    outcome_.show(Severity::Fatal, std::move(shown));
    outcome_.ending = Ending::Failed;
    close();
}

void Session::endInterrupted() {
    const bool gone = link_.deviceGone();
    outcome_.ending = gone ? Ending::DeviceGone : Ending::Cancelled;
    outcome_.tell(Severity::Fatal, gone ? kDeviceGoneMessage : kCancelledMessage);
    close();
}

}  // namespace korvan
