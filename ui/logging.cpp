#include "ui/logging.h"

#include <QString>

#include "base/cp1251.h"
#include "base/file_names.h"
#include "core/configurator.h"
#include "protocol/command_table.h"

// Warnings and errors only, unless -v: a technician's terminal is not the journal.
Q_LOGGING_CATEGORY(lcLink, "korvan.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcOperations, "korvan.operations", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "korvan.ui", QtWarningMsg)

namespace korvan::ui {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString fromWindows1251(std::string_view text) {
    return fromUtf8(cp1251::toUtf8(text));
}

}  // namespace

void enableVerboseLogging(bool verbose) {
    if (verbose) {
        QLoggingCategory::setFilterRules(QStringLiteral("korvan.*.info=true\nkorvan.*.debug=true"));
    }
}

OperationLogging::OperationLogging(Configurator& core, TraceFile* traceFile,
                                   std::optional<std::filesystem::path> journalFile)
    : core_(core),
      traceFile_(traceFile),
      trace_([this](std::string_view line) { traceLine(line); }, trafficSecrets()) {
    if (journalFile) {
        journal_ = std::make_unique<OperationJournal>(std::move(*journalFile));
        qCInfo(lcUi).noquote() << "журнал операций:" << fromUtf8(utf8FromPath(journal_->file()));
    } else {
        qCWarning(lcUi) << "журнал операций не ведётся: не найдена домашняя папка";
    }
    core_.link().setObserver(&trace_);
    core_.operationEnded = [this](const Outcome& outcome, std::string_view what) {
        operationEnded(outcome, what);
    };
}

OperationLogging::~OperationLogging() {
    core_.operationEnded = nullptr;
    core_.link().setObserver(nullptr);
}

// On the link's thread: each sink keeps its own order and lock.
void OperationLogging::traceLine(std::string_view line) {
    qCDebug(lcLink).noquote() << fromUtf8(line);
    if (traceFile_ != nullptr) {
        traceFile_->writeLine(line);
    }
    if (journal_) {
        journal_->traceLine(line);
    }
}

void OperationLogging::operationEnded(const Outcome& outcome, std::string_view what) {
    qCInfo(lcOperations).noquote() << fromUtf8(what) + ":" << fromUtf8(endingText(outcome.ending));
    for (const Step& step : outcome.steps) {
        qCInfo(lcOperations).noquote() << QStringLiteral("  шаг %1 — %2, попыток: %3")
                                              .arg(fromWindows1251(maskSecrets(step.command)),
                                                   fromUtf8(statusText(step.status)))
                                              .arg(step.attempts);
    }
    for (const Message& message : outcome.messages) {
        qCInfo(lcOperations).noquote()
            << "  сообщение:" << fromWindows1251(maskSecrets(message.text));
    }
    if (journal_ && journal_->operationEnded(outcome, what) != FileWrite::Written) {
        qCWarning(lcUi).noquote() << "журнал операций не записан:"
                                  << fromUtf8(utf8FromPath(journal_->file()));
    }
}

}  // namespace korvan::ui
