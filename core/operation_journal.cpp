#include "core/operation_journal.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <utility>
#include <vector>

#include "base/cp1251.h"
#include "protocol/command_table.h"

namespace korvan {
namespace {

// Every record begins with this, at the start of a line; no other line does.
constexpr std::string_view kRecordStart = "=== ";

std::string_view severityText(Severity severity) {
    switch (severity) {
        case Severity::Progress:
            return "ход";
        case Severity::Success:
            return "успех";
        case Severity::Failure:
            return "ошибка";
        case Severity::Fatal:
            return "ошибка, операция прервана";
    }
    return {};
}

std::string localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// A text of the tracker's or of the status line on one line of the log, in UTF-8.
std::string oneLine(std::string_view windows1251) {
    std::string text = cp1251::toUtf8(windows1251);
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

// The records of the file as it stands, each with its line ends; what precedes the first
// record is no record and goes.
std::vector<std::string> recordsOf(std::string_view text) {
    std::vector<std::string> records;
    std::size_t at = text.starts_with(kRecordStart) ? 0 : text.find("\n=== ");
    if (at != 0 && at != std::string_view::npos) {
        ++at;
    }
    while (at != std::string_view::npos && at < text.size()) {
        auto next = text.find("\n=== ", at);
        if (next != std::string_view::npos) {
            ++next;
        }
        std::string record(text.substr(at, next == std::string_view::npos ? text.npos : next - at));
        if (!record.ends_with('\n')) {
            record += '\n';  // a record cut by another hand ends at its last line
        }
        records.push_back(std::move(record));
        at = next;
    }
    return records;
}

// The record's heading, steps and messages, without the trace.
std::string recordOf(const Outcome& outcome, std::string_view what,
                     std::chrono::system_clock::time_point when) {
    std::string record = std::string(kRecordStart) + localTime(when) + ' ' + std::string(what) +
                         ": " + std::string(endingText(outcome.ending)) + '\n';
    for (const Step& step : outcome.steps) {
        record += "  шаг " + oneLine(maskSecrets(step.command)) + " — " +
                  std::string(statusText(step.status)) +
                  ", попыток: " + std::to_string(step.attempts);
        if (!step.what.empty()) {
            record += " (" + step.what + ')';
        }
        record += '\n';
    }
    // A message may be a command or its echo, as the status line showed it.
    for (const Message& message : outcome.messages) {
        record += "  сообщение (" + std::string(severityText(message.severity)) +
                  "): " + oneLine(maskSecrets(message.text)) + '\n';
    }
    return record;
}

// The trace after the rest of the record, `dropped` of its lines already gone before.
void appendTrace(std::string& record, std::deque<std::string> trace, std::size_t dropped,
                 std::size_t fileBytes) {
    // The record fits the file on its own: its oldest trace lines give way.
    std::size_t traceBytes = 0;
    for (const auto& line : trace) {
        traceBytes += line.size() + 3;
    }
    while (!trace.empty() && record.size() + traceBytes + 80 > fileBytes) {
        traceBytes -= trace.front().size() + 3;
        trace.pop_front();
        ++dropped;
    }
    if (dropped > 0) {
        record += "  … начало трассы опущено, строк: " + std::to_string(dropped) + '\n';
    }
    for (const auto& line : trace) {
        record += "  " + line + '\n';
    }
}

// The newest records within the limits, the last always among them, as the file's text.
std::string newestWithin(const std::vector<std::string>& records,
                         const OperationJournal::Limits& limits) {
    std::size_t total = 0;
    for (const auto& kept : records) {
        total += kept.size();
    }
    std::size_t first = 0;
    while (first + 1 < records.size() &&
           (records.size() - first > limits.operations || total > limits.bytes)) {
        total -= records[first].size();
        ++first;
    }
    std::string text;
    text.reserve(total);
    for (std::size_t i = first; i < records.size(); ++i) {
        text += records[i];
    }
    return text;
}

// The file's folder, made for the user alone when missing.
void makeFolderOf(const std::filesystem::path& file) {
    std::error_code error;
    const auto folder = file.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error)) {
        std::filesystem::create_directories(folder, error);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
    }
}

}  // namespace

OperationJournal::OperationJournal(std::filesystem::path file, Limits limits)
    : file_(std::move(file)), limits_(limits) {}

void OperationJournal::traceLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    trace_.emplace_back(line);
    traceBytes_ += line.size() + 1;
    // A long copy of the debug log traces more than the file keeps: its start goes first.
    while (traceBytes_ > limits_.bytes && !trace_.empty()) {
        traceBytes_ -= trace_.front().size() + 1;
        trace_.pop_front();
        ++traceDropped_;
    }
}

FileWrite OperationJournal::operationEnded(const Outcome& outcome, std::string_view what,
                                           std::chrono::system_clock::time_point when) {
    std::string record = recordOf(outcome, what, when);
    std::deque<std::string> trace;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        trace.swap(trace_);
        dropped = std::exchange(traceDropped_, 0);
        traceBytes_ = 0;
    }
    appendTrace(record, std::move(trace), dropped, limits_.bytes);

    std::vector<std::string> records;
    if (const auto text = readWholeFile(file_)) {
        records = recordsOf(*text);
    }
    records.push_back(std::move(record));
    const std::string text = newestWithin(records, limits_);
    makeFolderOf(file_);
    return writeFileAtomically(file_, text, NewFileAccess::OwnerOnly);
}

std::optional<std::filesystem::path> operationJournalPathFor(
    const std::function<std::optional<std::string>(const char*)>& environment,
    std::string_view program) {
    std::filesystem::path folder;
    if (auto stateHome = environment("XDG_STATE_HOME");
        stateHome && std::filesystem::path(*stateHome).is_absolute()) {
        folder = *stateHome;
    } else if (auto home = environment("HOME"); home && !home->empty()) {
        folder = std::filesystem::path(*home) / ".local" / "state";
    } else {
        return std::nullopt;
    }
    return folder / "korvan" / (std::string(program) + ".log");
}

std::optional<std::filesystem::path> operationJournalPath(std::string_view program) {
    return operationJournalPathFor(
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            if (value == nullptr) {
                return std::nullopt;
            }
            return std::string(value);
        },
        program);
}

std::string_view endingText(Ending ending) {
    switch (ending) {
        case Ending::Done:
            return "выполнено";
        case Ending::Failed:
            return "не выполнено";
        case Ending::Cancelled:
            return "отменено";
        case Ending::DeviceGone:
            return "устройство отключено";
        case Ending::NotStarted:
            return "не начато";
    }
    return {};
}

std::string_view statusText(StepStatus status) {
    switch (status) {
        case StepStatus::Done:
            return "принят";
        case StepStatus::Rejected:
            return "неверный ответ";
        case StepStatus::Failed:
            return "нет ответа";
        case StepStatus::Interrupted:
            return "прерван";
    }
    return {};
}

}  // namespace korvan
