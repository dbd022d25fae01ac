#include "database/database_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/file_io.h"
#include "base/file_names.h"
#include "base/scan.h"

namespace korvan {
namespace {

constexpr std::string_view kHeader = "Zentracor database";
constexpr std::string_view kHeaderLine = "Zentracor database 1.3\r\n";
// Record lines are read into a buffer of this many characters with its terminating zero; the
// rest of a longer line is passed over.
constexpr std::size_t kLineBuffer = 1024;

// A password has a fixed length and may hold a ";" anywhere, so its item closes at the first ";"
// from that length on, or earlier only where a shorter one plainly ends (see closesEarly).
constexpr std::string_view kPasswordKey = "PASSWORD=";
constexpr std::size_t kPasswordLength = DeviceRecord::kPasswordWidth;
constexpr std::string_view kItemBlanks = " \t";
constexpr std::string_view kRecordKeys[] = {
    kPasswordKey, "TELNUM=", "PIN=", "PERIODWR=", "PERIODSEND=", "APNAPN=",
    "APNUSR=",    "APNPWD=", "IP=",  "PORT=",     "USSD=",
};

bool endsLine(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// Whether the ";" at `at`, inside a value's minimum length, still closes it: a value shorter than
// that is written with its ";" before the blank and the key of the next item, or before the line
// end. A password's own characters hold no blank, so "ab;PIN=1" stays one password.
bool closesEarly(std::string_view line, std::size_t at) {
    const auto next = std::min(line.find_first_not_of(kItemBlanks, at + 1), line.size());
    if (next == line.size() || endsLine(line[next])) {
        return true;
    }
    const auto rest = line.substr(next);
    return next > at + 1 &&
           std::any_of(std::begin(kRecordKeys), std::end(kRecordKeys),
                       [rest](std::string_view key) { return rest.starts_with(key); });
}

// Where a value that starts at `from` ends: at the line's end, or at the first ";" from
// `minLength` characters on or one that closes it early.
std::size_t valueEnd(std::string_view line, std::size_t from, std::size_t minLength) {
    std::size_t at = from;
    while (at < line.size() && !endsLine(line[at]) &&
           !(line[at] == ';' && (at - from >= minLength || closesEarly(line, at)))) {
        ++at;
    }
    return at;
}

// Where a record line's first item starts: after the serial number and its ":".
std::size_t firstItem(std::string_view line) {
    std::size_t at = std::min(line.find_first_not_of(kItemBlanks), line.size());
    if (at < line.size() && (line[at] == '-' || line[at] == '+')) {
        ++at;
    }
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
        ++at;
    }
    at = std::min(line.find_first_not_of(kItemBlanks, at), line.size());
    return at < line.size() && line[at] == ':' ? at + 1 : at;
}

// Where the item at `at` ends: the ";" that closes its value, or the line's end.
std::size_t itemEnd(std::string_view line, std::size_t at) {
    const auto item = line.substr(at);
    const auto equals = item.find('=');
    if (equals == std::string_view::npos ||
        item.substr(0, equals).find(';') != std::string_view::npos) {
        return valueEnd(line, at, 0);  // not a key=value item: it runs to its ";"
    }
    const bool password = item.substr(0, equals + 1) == kPasswordKey;
    return valueEnd(line, at + equals + 1, password ? kPasswordLength : 0);
}

std::string text(std::string_view line, std::string_view key, std::size_t minLength,
                 std::size_t width) {
    return parseValue(line, key, minLength, width + 1).value_or(std::string());
}

std::int32_t period(std::string_view line, std::string_view key) {
    return leadingInteger(text(line, key, 0, 6)).value_or(0);
}

std::optional<DeviceRecord> recordOf(std::string_view line) {
    const auto serial = leadingInteger(line);
    if (!serial) {
        return std::nullopt;
    }
    DeviceRecord r;
    r.serial = *serial;
    r.password = text(line, kPasswordKey, kPasswordLength, DeviceRecord::kPasswordWidth);
    r.pin = text(line, "PIN=", 0, DeviceRecord::kPinWidth);
    r.apn = text(line, "APNAPN=", 0, DeviceRecord::kApnWidth);
    r.apnPassword = text(line, "APNPWD=", 0, DeviceRecord::kApnPasswordWidth);
    r.apnUser = text(line, "APNUSR=", 0, DeviceRecord::kApnUserWidth);
    r.serverIp = text(line, "IP=", 0, DeviceRecord::kServerIpWidth);
    r.serverPort = text(line, "PORT=", 0, DeviceRecord::kServerPortWidth);
    r.phone = text(line, "TELNUM=", 0, DeviceRecord::kPhoneWidth);
    r.ussd = text(line, "USSD=", 0, DeviceRecord::kUssdWidth);
    r.writePeriod = period(line, "PERIODWR=");
    r.sendPeriod = period(line, "PERIODSEND=");
    if (r.serial == 0 || r.password.empty()) {
        return std::nullopt;
    }
    return r;
}

// A value goes into its line as it stands, but a line break in it would start a new line.
std::string inLine(const std::string& value) {
    std::string clean;
    std::copy_if(value.begin(), value.end(), std::back_inserter(clean),
                 [](char c) { return c != '\r' && c != '\n'; });
    return clean;
}

std::string formatted(const char* format, auto... arguments) {
    const int length = std::snprintf(nullptr, 0, format, arguments...);
    std::string out(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, arguments...);
    out.pop_back();
    return out;
}

std::string countLine(const RecordList& records) {
    return formatted("%d records\r\n", static_cast<int>(records.size()));
}

}  // namespace

std::optional<std::string> parseValue(std::string_view line, std::string_view key,
                                      std::size_t minLength, std::size_t capacity) {
    // Items are walked as the writer lays them out, so that a value that happens to hold
    // "IP=" or "\tPORT=" is never taken for an item of its own.
    std::size_t found = std::string_view::npos;
    for (std::size_t at = firstItem(line); at < line.size();) {
        at = line.find_first_not_of(kItemBlanks, at);
        if (at == std::string_view::npos || endsLine(line[at])) {
            break;
        }
        if (line.substr(at).starts_with(key)) {
            found = at;
            break;
        }
        at = itemEnd(line, at) + 1;  // past the ";"; past the end when the line ends there
    }
    if (found == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t from = found + key.size();
    const std::size_t length = valueEnd(line, from, minLength) - from;
    return std::string(line.substr(from, std::min(length, capacity == 0 ? 0 : capacity - 1)));
}

DatabaseLoaded loadDatabase(const std::string& databasePath, RecordList& records) {
    if (databasePath.empty()) {
        return {DatabaseLoad::NoFileName, "Файл не открыт"};
    }
    const auto path = pathFromUtf8(databasePath);
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        // Only a file that is not there at all is a new database.
        std::error_code error;
        const bool missing = !std::filesystem::exists(path, error) && !error;
        return {missing ? DatabaseLoad::CannotOpen : DatabaseLoad::Unreadable,
                "Ошибка открытия файла"};
    }
    const auto lines = splitLines(*bytes);
    if (lines.empty() || lines[0].substr(0, kHeader.size()) != kHeader) {
        return {DatabaseLoad::HeaderWrong, "Ошибка чтения заголовка"};
    }
    const auto count = lines.size() > 1 ? leadingInteger(lines[1]) : std::nullopt;
    if (!count) {
        return {DatabaseLoad::CountUnreadable, "Ошибка считывания числа записей"};
    }
    // Every line after the count is a record: a count that says fewer would lose the rest
    // at the next save, and a line that cannot be read would be dropped by it.
    RecordList read;
    std::size_t recordLines = 0;  // a device's later line replaces its earlier one, yet counts
    for (std::size_t at = 2; at < lines.size(); ++at) {
        const std::string_view line = lines[at].substr(0, kLineBuffer - 1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        auto record = recordOf(line);
        if (!record) {
            return {DatabaseLoad::Unreadable,
                    "Строка " + std::to_string(at + 1) +
                        " базы не прочитана: файл не открыт и не будет перезаписан"};
        }
        ++recordLines;
        if (read.addOrReplaceRecord(std::move(*record)) == RecordStored::ListFull) {
            static_assert(RecordList::kCapacity == 1024, "the message names the capacity");
            return {DatabaseLoad::TooManyRecords, "В файле больше 1024 записей: файл не открыт"};
        }
    }
    records = std::move(read);
    if (*count < 0 || static_cast<std::size_t>(*count) != recordLines) {
        return {DatabaseLoad::ReadCountWrong, "В заголовке базы записей " + std::to_string(*count) +
                                                  ", а в файле " + std::to_string(recordLines) +
                                                  ": при сохранении число будет исправлено"};
    }
    return {DatabaseLoad::Read, {}};
}

bool databaseHoldsRecord(const DeviceRecord& record) {
    DeviceRecord cut = record;
    cut.cutToWidths();
    RecordList one;
    one.addOrReplaceRecord(cut);
    const std::string text = databaseFileText(one);
    const auto lines = splitLines(text);
    const auto back = lines.size() > 2 ? recordOf(lines[2]) : std::nullopt;
    return back && *back == cut && cut.password == record.password;
}

std::string databaseFileText(const RecordList& records) {
    std::string out(kHeaderLine);
    out += countLine(records);
    for (const auto& r : records) {
        out += formatted(
            "%05d:\tPASSWORD=%s;\tTELNUM=%s;\tPIN=%s;\tPERIODWR=%d;\tPERIODSEND=%d;\t"
            "APNAPN=%s;\tAPNUSR=%s;\tAPNPWD=%s;\tIP=%s;\tPORT=%s;\tUSSD=%s\r\n",
            r.serial, inLine(r.password).c_str(), inLine(r.phone).c_str(), inLine(r.pin).c_str(),
            r.writePeriod, r.sendPeriod, inLine(r.apn).c_str(), inLine(r.apnUser).c_str(),
            inLine(r.apnPassword).c_str(), inLine(r.serverIp).c_str(), inLine(r.serverPort).c_str(),
            inLine(r.ussd).c_str());
    }
    return out;
}

std::string serverFileText(const RecordList& records) {
    std::string out(kHeaderLine);
    out += countLine(records);
    for (const auto& r : records) {
        out += formatted("%05d:\tPASSWORD=%s;\r\n", r.serial, inLine(r.password).c_str());
    }
    return out;
}

std::string serverFilePath(std::string_view databasePath) {
    return withoutExtension(databasePath) + "-srv.zcf";
}

std::filesystem::path serverFileOnDisk(const std::string& databasePath) {
    const SaveTarget target = saveTargetOf(pathFromUtf8(databasePath));
    if (target.kind != SaveTarget::Kind::File) {
        return pathFromUtf8(serverFilePath(databasePath));  // the save refuses it anyway
    }
    return pathFromUtf8(serverFilePath(utf8FromPath(target.path)));
}

DatabaseReport saveDatabase(const std::string& databasePath, const RecordList& records) {
    // Both files hold the devices' passwords: created for the user alone.
    const auto path = pathFromUtf8(databasePath);
    const FileWrite written =
        writeFileAtomically(path, databaseFileText(records), NewFileAccess::OwnerOnly);
    if (written == FileWrite::LinkRefused) {
        return DatabaseReport::failed("Ошибка сохранения файла: " +
                                      refusedLinkText(saveTargetOf(path).path));
    }
    if (written != FileWrite::Written) {
        return DatabaseReport::failed("Ошибка сохранения файла");
    }
    if (writeFileAtomically(serverFileOnDisk(databasePath), serverFileText(records),
                            NewFileAccess::OwnerOnly) != FileWrite::Written) {
        return DatabaseReport::failed("Ошибка сохранения файла srv");
    }
    return DatabaseReport::told("Файл " + std::string(fileNamePart(databasePath)) +
                                " успешно сохранён");
}

}  // namespace korvan
