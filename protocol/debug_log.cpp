#include "protocol/debug_log.h"

#include <cstdio>
#include <memory>

#include "base/file_names.h"
#include "protocol/exchange.h"
#include "protocol/session.h"

namespace korvan {
namespace {

constexpr std::size_t kReplyBuffer = 1024;
constexpr const char* kConnectDevice = "Подключите устройство \"Зентракор WiFi\"";
constexpr const char* kReadFailed = "Ошибка при чтении отладочного журнала";

// One exchange as the service operations make it: sent once, a 1024-byte read judged by its
// count. `expected` lets the link end the read once that many bytes are in.
Reply exchangeOnce(Session& session, std::size_t expected, std::string_view what) {
    Link& link = session.link();
    session.beginStep(what);
    Reply reply = askOnce(link, kReplyBuffer, ReplyCompletion::expectedLength(expected));
    session.endStep(link.interrupted()          ? StepStatus::Interrupted
                    : reply.count() == expected ? StepStatus::Done
                                                : StepStatus::Failed,
                    1);
    return reply;
}

void tell(Outcome& outcome, MessageIcon icon, std::string_view utf8) {
    const bool good = icon == MessageIcon::Information;
    outcome.tell(good ? Severity::Success : Severity::Fatal, utf8, Place::MessageBox, icon);
    if (!good) {
        outcome.ending = Ending::Failed;
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> createFile(const std::string& pathUtf8) {
#ifdef _WIN32
    return {_wfopen(pathFromUtf8(pathUtf8).c_str(), L"wb"), {}};
#else
    return {std::fopen(pathFromUtf8(pathUtf8).c_str(), "wb"), {}};
#endif
}

std::uint32_t blocksOf(std::uint32_t size) {
    return (size + kDebugLogBlock - 1) / kDebugLogBlock;
}

std::optional<std::uint32_t> askLogSize(Session& session) {
    session.link().commandText.formatCommand("DEBUG_LOG_SIZE$");
    const Reply reply = exchangeOnce(session, 4, "размер отладочного журнала");
    if (reply.count() != 4) {
        return std::nullopt;
    }
    return reply.number(0, 4);
}

// How a copy of the log into its file went.
enum class Copy : std::uint8_t { Whole, TrackerFailed, FileFailed };

// Fetches the log block by block into the file, up to the first block that fails.
Copy copyBlocks(Session& session, std::FILE* file, std::uint32_t size) {
    Link& link = session.link();
    for (std::uint32_t offset = 0; offset < size; offset += kDebugLogBlock) {
        const std::uint32_t length = std::min(kDebugLogBlock, size - offset);
        link.commandText.formatCommand("DEBUG_READ_LOG,%d,%d$", static_cast<int>(offset),
                                       static_cast<int>(length));
        const Reply reply = exchangeOnce(session, length, "блок отладочного журнала");
        if (reply.count() != length || link.interrupted()) {
            return Copy::TrackerFailed;
        }
        if (std::fwrite(reply.bytes().data(), 1, length, file) != length) {
            return Copy::FileFailed;
        }
    }
    return std::fflush(file) == 0 ? Copy::Whole : Copy::FileFailed;
}

}  // namespace

Outcome clearDebugLog(Link& link, DebugLogQuestions& questions, Progress& progress) {
    Outcome outcome;
    Session session(link, outcome, progress, 1);
    if (!session.openOrTell(kConnectDevice, MessageIcon::Warning)) {
        return outcome;
    }
    if (!questions.confirmErase()) {
        outcome.ending = Ending::NotStarted;
        session.close();
        return outcome;
    }
    if (link.interrupted()) {
        session.endInterrupted();  // cancelled while the question was open: nothing is erased
        return outcome;
    }
    link.commandText.formatCommand("DEBUG_CLEAR_LOG$");
    const Reply reply = exchangeOnce(session, 9, "стирание отладочного журнала");
    if (link.interrupted()) {
        session.endInterrupted();
        return outcome;
    }
    const auto bytes = reply.bytes();
    const bool cleared =
        reply.count() == 9 &&
        std::string_view(reinterpret_cast<const char*>(bytes.data()), 7) == "CLEARED";
    if (cleared) {
        tell(outcome, MessageIcon::Information, "Отладочный журнал стерт");
    } else {
        outcome.steps.back().status = StepStatus::Rejected;
        tell(outcome, MessageIcon::Error, "Ошибка при стирании отладочного журнала");
    }
    session.close();
    return outcome;
}

Outcome readDebugLog(Link& link, DebugLogQuestions& questions, Progress& progress, bool fullRead) {
    Outcome outcome;
    Session session(link, outcome, progress,
                    static_cast<int>(blocksOf(kDebugLogLimit)) + (fullRead ? 0 : 1));
    if (!session.openOrTell(kConnectDevice, MessageIcon::Warning)) {
        return outcome;
    }
    const auto size = fullRead ? std::optional<std::uint32_t>(kDebugLogLimit) : askLogSize(session);
    if (link.interrupted()) {
        session.endInterrupted();
        return outcome;
    }
    if (!size || *size > kDebugLogLimit) {
        tell(outcome, MessageIcon::Error, kReadFailed);
        session.close();
        return outcome;
    }
    if (*size == 0) {
        tell(outcome, MessageIcon::Information, "Отладочный журнал не содержит записей");
        session.close();
        return outcome;
    }
    const auto path = questions.chooseLogFile();
    if (!path) {
        outcome.ending = Ending::NotStarted;
        session.close();
        return outcome;
    }
    if (link.interrupted()) {
        session.endInterrupted();  // the file chosen is left as it was
        return outcome;
    }
    session.setStepCount(static_cast<int>(blocksOf(*size)) + (fullRead ? 0 : 1));
    auto file = createFile(*path);
    if (!file) {
        tell(outcome, MessageIcon::Error, "Не удалось создать файл");
        outcome.failedAt = FailedAt::LocalFile;
        session.close();
        return outcome;
    }
    // What was copied before a failed block stays in the file.
    const Copy copied = copyBlocks(session, file.get(), *size);
    const bool closed = std::fclose(file.release()) == 0;
    if (link.interrupted()) {
        session.endInterrupted();
        return outcome;
    }
    if (copied == Copy::Whole && closed) {
        tell(outcome, MessageIcon::Information, "Отладочный журнал успешно считан.");
    } else {
        tell(outcome, MessageIcon::Error, kReadFailed);
        outcome.failedAt = copied == Copy::TrackerFailed ? FailedAt::Tracker : FailedAt::LocalFile;
    }
    session.close();
    return outcome;
}

}  // namespace korvan
