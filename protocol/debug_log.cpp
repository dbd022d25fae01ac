#include "protocol/debug_log.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "protocol/exchange.h"
#include "base/file_names.h"

namespace korvan {
namespace {

constexpr std::size_t kReplyBuffer = 1024;
constexpr const char* kConnectDevice = "Подключите устройство \"Зентракор WiFi\"";
constexpr const char* kReadFailed = "Ошибка при чтении отладочного журнала";

// One exchange as the service operations make it: sent once, a 1024-byte read judged by its
// count. `expected` lets the link end the read once that many bytes are in.
Reply exchangeOnce(Link& link, std::size_t expected) {
    link.PurgePort();
    link.SendCommand();
    Reply reply(kReplyBuffer);
    reply.setCount(link.ReadPort(reply.readInto(), ReplyCompletion::expectedLength(expected)));
    return reply;
}

bool opened(Link& link, MessageBoxes& messages) {
    if (link.OpenPort() != OpenOutcome::Opened) {
        messages.message(MessageIcon::Warning, kConnectDevice);
        return false;
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> createFile(const std::string& pathUtf8) {
#ifdef _WIN32
    return {_wfopen(PathFromUtf8(pathUtf8).c_str(), L"wb"), {}};
#else
    return {std::fopen(PathFromUtf8(pathUtf8).c_str(), "wb"), {}};
#endif
}

std::optional<std::uint32_t> askLogSize(Link& link) {
    link.CommandText.FormatCommand("DEBUG_LOG_SIZE$");
    const Reply reply = exchangeOnce(link, 4);
    if (reply.count() != 4) {
        return std::nullopt;
    }
    return reply.number(0, 4);
}

// Fetches the log block by block into the file; false at the first block that fails.
bool copyBlocks(Link& link, std::FILE* file, std::uint32_t size) {
    for (std::uint32_t offset = 0; offset < size; offset += kDebugLogBlock) {
        const std::uint32_t length = std::min(kDebugLogBlock, size - offset);
        link.CommandText.FormatCommand("DEBUG_READ_LOG,%d,%d$", static_cast<int>(offset),
                                       static_cast<int>(length));
        const Reply reply = exchangeOnce(link, length);
        if (reply.count() != length) {
            return false;
        }
        if (std::fwrite(reply.bytes().data(), 1, length, file) != length) {
            return false;
        }
    }
    return std::fflush(file) == 0;
}

}  // namespace

void ClearDebugLog(Link& link, MessageBoxes& messages) {
    if (!opened(link, messages)) {
        return;
    }
    if (!messages.confirm("Вы действительно хотите стереть отладочный журнал?")) {
        link.ClosePort();
        return;
    }
    link.CommandText.FormatCommand("DEBUG_CLEAR_LOG$");
    const Reply reply = exchangeOnce(link, 9);
    const auto bytes = reply.bytes();
    const bool cleared =
        reply.count() == 9 &&
        std::string_view(reinterpret_cast<const char*>(bytes.data()), 7) == "CLEARED";
    if (cleared) {
        messages.message(MessageIcon::Information, "Отладочный журнал стерт");
    } else {
        messages.message(MessageIcon::Error, "Ошибка при стирании отладочного журнала");
    }
    link.ClosePort();
}

void ReadDebugLog(Link& link, MessageBoxes& messages, LogFileDialog& logFile, bool fullRead) {
    if (!opened(link, messages)) {
        return;
    }
    const auto size = fullRead ? std::optional<std::uint32_t>(kDebugLogLimit) : askLogSize(link);
    if (!size || *size > kDebugLogLimit) {
        messages.message(MessageIcon::Error, kReadFailed);
        link.ClosePort();
        return;
    }
    if (*size == 0) {
        messages.message(MessageIcon::Information, "Отладочный журнал не содержит записей");
        link.ClosePort();
        return;
    }
    const auto path = logFile.chooseLogFile();
    if (!path) {
        link.ClosePort();
        return;
    }
    auto file = createFile(*path);
    if (!file) {
        messages.message(MessageIcon::Error, "Не удалось создать файл");
        link.ClosePort();
        return;
    }
    // What was copied before a failed block stays in the file.
    const bool copied = copyBlocks(link, file.get(), *size);
    const bool closed = std::fclose(file.release()) == 0;
    if (copied && closed) {
        messages.message(MessageIcon::Information, "Отладочный журнал успешно считан.");
    } else {
        messages.message(MessageIcon::Error, kReadFailed);
    }
    link.ClosePort();
}

}  // namespace korvan
