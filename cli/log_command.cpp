#include <random>

#include "base/file_io.h"
#include "base/file_names.h"
#include "cli/run.h"
#include "protocol/debug_log.h"

namespace korvan::cli {

namespace {

// The debug log's file is written beside the one asked for and put in its place only once it
// is whole: an old file of that name is never lost to a copy that fails.
class LogQuestions final : public DebugLogQuestions {
  public:
    explicit LogQuestions(std::filesystem::path part) : part_(std::move(part)) {}
    bool confirmErase() override { return true; }  // the command itself says so
    std::optional<std::string> chooseLogFile() override { return part_.string(); }

  private:
    std::filesystem::path part_;
};

}  // namespace

int Run::log() {
    const bool erase = o_.logAction == "erase";
    if (!erase && o_.output.empty()) {
        return fail(kUsage, Code::Usage, "Не указан файл для журнала", "Добавьте -o ФАЙЛ.");
    }
    // Erasing cannot be undone: it is asked on a terminal, and a script says so with --yes.
    const bool ask = erase && !o_.yes;
    if (ask && !env_.canAsk()) {
        return fail(kUsage, Code::EraseUnconfirmed, "Журнал не стёрт: стирание не подтверждено",
                    "Добавьте --yes, чтобы стереть без вопроса.");
    }
    int status = kDone;
    const auto tracker = listAndChooseTracker(status);
    if (!tracker) {
        return status;
    }
    if (ask && !env_.ask("Стереть отладочный журнал трекера " + tracker->serialText() +
                         "? Это нельзя отменить. [д/Н] ")) {
        return fail(kFailed, Code::EraseCancelled,
                    "Журнал трекера " + tracker->serialText() + " не стёрт: отменено");
    }
    // The copy goes to a file of its own beside the one asked for, under a name no one else
    // uses; the file asked for is then replaced whole, keeping what it is.
    const std::filesystem::path target = pathFromUtf8(o_.output);
    std::random_device random;
    const std::filesystem::path part =
        target.parent_path() /
        ("." + target.filename().string() + "." + std::to_string(random()) + ".korvan-part");
    LogQuestions questions(part);
    link_.setTarget(LinkTarget::serial(tracker->usbSerial));
    const Outcome outcome =
        erase ? clearDebugLog(link_, questions, progress())
              : readDebugLog(link_, questions, progress(), o_.logAction == "full");
    std::string said;
    for (const Message& message : outcome.messages) {
        said += (said.empty() ? "" : "\n") + utf8(message.text);
    }
    bool fileProblem = !outcome.succeeded() && outcome.failedAt == FailedAt::LocalFile;
    if (!erase && outcome.succeeded()) {
        const auto bytes = readWholeFile(part);
        fileProblem = !bytes || writeFileAtomically(target, *bytes) != FileWrite::Written;
        said = fileProblem ? "Журнал не записан в " + o_.output : said;
    }
    std::error_code error;
    std::filesystem::remove(part, error);
    if (fileProblem) {
        return fail(kFileProblem, Code::FileUnwritable, said, "Проверьте папку и права на запись.");
    }
    if (!outcome.succeeded()) {
        return fail(kFailed, Code::LogFailed, said.empty() ? "Журнал не прочитан" : said,
                    "Проверьте подключение трекера и повторите.");
    }
    Json json = jsonResult(true, erase ? Code::LogErased : Code::LogRead, said);
    json["serial"] = tracker->serialText();
    if (!erase) {
        json["file"] = o_.output;
    }
    tellDone(json, said);
    return kDone;
}

}  // namespace korvan::cli
