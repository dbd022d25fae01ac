#include "database/device_database.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/file_names.h"
#include "base/scan.h"

namespace korvan {
namespace {

constexpr std::string_view kDatabaseExtension = ".zcf";

// An earlier installation took a stored name as it stood when any folder in it held a dot, so a
// name without an extension may be the very file.
bool namesAFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(pathFromUtf8(path), error);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

DatabaseReport DeviceDatabase::stamped(DatabaseReport report) {
    report.path = path_;
    if (named_) {
        report.shownName = std::string(fileNamePart(path_));
    } else if (!path_.empty()) {
        report.shownName = std::string();  // a stored path, not shown until its file is read
    }
    return report;
}

DatabaseReport DeviceDatabase::startUp(const std::string& storedPath) {
    path_ = storedPath;
    named_ = false;
    if (!path_.empty() && !namesAFile(path_)) {
        path_ = withDefaultExtension(path_, kDatabaseExtension);
    }
    return openLast();
}

DatabaseReport DeviceDatabase::openLast() {
    if (path_.empty()) {
        askOpenFile(DatabaseDialogs::OpenReason::FirstStart);
    }
    return openCurrent();
}

DatabaseReport DeviceDatabase::openDatabase() {
    askOpenFile(DatabaseDialogs::OpenReason::Chosen);
    return openCurrent();
}

DatabaseReport DeviceDatabase::openCurrent() {
    const DatabaseLoaded loaded = loadDatabase(path_, records_);
    unreadPath_.clear();
    switch (loaded.load) {
        case DatabaseLoad::Read:
        case DatabaseLoad::ReadCountWrong: {
            unsaved_ = false;  // the list is the file's now
            own_.clear();
            named_ = true;
            mendServerFile();
            // The count that disagrees is told once, beside the file's name.
            const bool countWrong = loaded.load == DatabaseLoad::ReadCountWrong;
            return stamped(
                DatabaseReport::told("Файл " + std::string(fileNamePart(path_)) + " открыт" +
                                         (countWrong ? "; " + loaded.message : std::string()),
                                     countWrong ? DatabaseReport::Severity::Warning
                                                : DatabaseReport::Severity::Information));
        }
        case DatabaseLoad::CannotOpen:
            // Taken as a new database; the file is created by the first save.
            // Said as it is: nothing is on the disk until the first device is recorded.
            clearRecords();
            return stamped(
                DatabaseReport::told("Новая база: файл будет создан при первой записи трекера"));
        case DatabaseLoad::NoFileName:
            break;  // the records stay
        case DatabaseLoad::CountUnreadable:
        case DatabaseLoad::HeaderWrong:
        case DatabaseLoad::Unreadable:
        case DatabaseLoad::TooManyRecords:
            // Likewise; and the file holds what the list does not, so it is not saved over.
            unreadPath_ = path_;
            break;
    }
    return stamped(DatabaseReport::failed(loaded.message));
}

bool DeviceDatabase::mayOverwrite() const {
    if (unreadPath_.empty()) {
        return true;
    }
    if (path_ == unreadPath_) {
        return false;
    }
    std::error_code error;
    return !std::filesystem::equivalent(pathFromUtf8(path_), pathFromUtf8(unreadPath_), error);
}

DatabaseReport DeviceDatabase::chooseOpenFile(DatabaseDialogs::OpenReason reason) {
    askOpenFile(reason);
    return stamped({});
}

DatabaseReport DeviceDatabase::chooseSaveFile() {
    askSaveFile();
    return stamped({});
}

DatabaseReport DeviceDatabase::nameFile(const std::string& path) {
    path_ = path;
    named_ = !path_.empty();
    return stamped({});
}

void DeviceDatabase::askOpenFile(DatabaseDialogs::OpenReason reason) {
    if (auto chosen = dialogs_.chooseDatabaseToOpen(lastOpenChoice_, reason)) {
        lastOpenChoice_ = *chosen;
    }
    takeChosenPath(lastOpenChoice_);
}

void DeviceDatabase::askSaveFile() {
    if (auto chosen = dialogs_.chooseDatabaseToSave(lastSaveChoice_)) {
        lastSaveChoice_ = *chosen;
    }
    takeChosenPath(lastSaveChoice_);
}

void DeviceDatabase::takeChosenPath(const std::string& chosen) {
    if (chosen.empty()) {
        return;
    }
    path_ = withDefaultExtension(chosen, kDatabaseExtension);
    named_ = true;
}

DeviceDatabase::Stored DeviceDatabase::storeDeviceRecord(DeviceRecord record) {
    if (record.serial <= 0) {
        return {RecordStored::NoDevice,
                stamped(DatabaseReport::failed(
                    "Устройство не определено: запись в базу не добавлена"))};
    }
    const int serial = record.serial;
    const RecordStored stored = records_.addOrReplaceRecord(record);
    if (stored == RecordStored::ListFull) {
        static_assert(RecordList::kCapacity == 1024, "the message names the capacity");
        char message[160];
        std::snprintf(message, sizeof message,
                      "В базе уже 1024 записи: устройство %05d в неё не добавлено", serial);
        return {stored, stamped(DatabaseReport::failed(message))};
    }
    unsaved_ = true;
    std::erase_if(own_, [serial](const DeviceRecord& r) { return r.serial == serial; });
    own_.push_back(std::move(record));
    return {stored, stamped({})};
}

DatabaseReport DeviceDatabase::save() {
    // A database never named (the open dialog cancelled at the first start) is asked for too,
    // so that the device's record is not lost to a save that cannot succeed; so is one whose
    // file could not be read.
    if (needsSaveName()) {
        askSaveFile();
    }
    if (!mayOverwrite()) {
        return stamped(DatabaseReport::failed("База не сохранена: файл " +
                                              std::string(fileNamePart(unreadPath_)) +
                                              " не был прочитан и не будет перезаписан"));
    }
    if (path_.empty() || !named_) {
        return stamped(DatabaseReport::failed("Файл srv не сохранён"));  // no file to share
    }
    std::string why;
    const FileLock lock = FileLock::take(pathFromUtf8(path_), lockPatience, why);
    if (!lock.held()) {
        return stamped(DatabaseReport::failed("База не сохранена: " + why));
    }
    DatabaseReport failure;
    auto merged = mergedWithFile(failure);
    if (!merged) {
        return stamped(std::move(failure));
    }
    DatabaseReport saved = saveDatabase(path_, *merged);
    if (saved.done) {
        records_ = std::move(*merged);
        own_.clear();
        unsaved_ = false;
    }
    return stamped(std::move(saved));
}

namespace {

// A save's temporary file of `file` (".fleet.zcf.<8 hex digits>.tmp"), left by a program that
// ended in the middle of its save.
bool isTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& file) {
    const std::string name = candidate.filename().string();
    const std::string prefix = "." + file.filename().string() + ".";
    if (!name.starts_with(prefix) || !name.ends_with(".tmp") ||
        name.size() != prefix.size() + 8 + 4) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end() - 4,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Under the lock no save of another program is under way: what temporary files are left beside
// the two files are a crash's, and they hold passwords.
void removeLeftTemporaries(const std::filesystem::path& database,
                           const std::filesystem::path& server) {
    std::error_code error;
    const auto folder =
        database.parent_path().empty() ? std::filesystem::path(".") : database.parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (isTemporaryOf(entry.path(), database) || isTemporaryOf(entry.path(), server)) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

}  // namespace

void DeviceDatabase::mendServerFile() {
    const auto server = serverFileOnDisk(path_);
    const std::string wanted = serverFileText(records_);
    if (readWholeFile(server) == wanted) {
        return;
    }
    std::string why;
    const FileLock lock = FileLock::take(pathFromUtf8(path_), std::chrono::seconds(1), why);
    if (lock.held()) {
        writeFileAtomically(server, wanted, NewFileAccess::OwnerOnly);
    }
}

std::optional<RecordList> DeviceDatabase::mergedWithFile(DatabaseReport& failure) {
    // The temporary files lie beside the files a save replaces: where a link leads.
    removeLeftTemporaries(saveTargetOf(pathFromUtf8(path_)).path, serverFileOnDisk(path_));
    RecordList onDisk;
    const DatabaseLoaded loaded = loadDatabase(path_, onDisk);
    switch (loaded.load) {
        case DatabaseLoad::Read:
        case DatabaseLoad::ReadCountWrong:
            break;
        case DatabaseLoad::CannotOpen:
            onDisk = records_;  // no file yet, or it went: the list is all there is
            break;
        default:
            // Another program left a file this one cannot read whole: it is not saved over.
            unreadPath_ = path_;
            failure = DatabaseReport::failed("База не сохранена: файл " +
                                             std::string(fileNamePart(path_)) +
                                             " не прочитан: " + loaded.message);
            return std::nullopt;
    }
    for (const DeviceRecord& record : own_) {
        if (onDisk.addOrReplaceRecord(record) == RecordStored::ListFull) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "База не сохранена: в файле уже 1024 записи, устройство %05d в неё "
                          "не помещается",
                          record.serial);
            failure = DatabaseReport::failed(message);
            return std::nullopt;
        }
    }
    return onDisk;
}

namespace {

// The save writes ".<name>.<8 hex digits>.tmp" beside each file first.
constexpr std::size_t kTemporaryNameExtra = 14;
constexpr std::size_t kLongestFileName = 255;
// What a save needs on the disk beyond the files it replaces: both new files are written
// before the old ones go.
constexpr std::uintmax_t kSaveRoom = 64 * 1024;

std::optional<std::string> whyNotWritable(const std::filesystem::path& named) {
    const SaveTarget target = saveTargetOf(named);
    if (target.kind == SaveTarget::Kind::Refused) {
        return refusedLinkText(target.path);
    }
    const std::filesystem::path& file = target.path;
    std::error_code error;
    const std::string name = utf8FromPath(file);
    if (file.filename().string().size() + kTemporaryNameExtra > kLongestFileName) {
        return "имя файла " + name + " слишком длинное для сохранения";
    }
    const auto folder =
        file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    if (!std::filesystem::is_directory(folder, error)) {
        return "нет папки " + utf8FromPath(folder);
    }
#ifndef _WIN32
    if (::access(folder.c_str(), W_OK) != 0) {
        return "в папку " + utf8FromPath(folder) + " нельзя записывать";
    }
    if (std::filesystem::exists(file, error) && ::access(file.c_str(), W_OK) != 0) {
        return "файл " + name + " только для чтения";
    }
#endif
    const auto space = std::filesystem::space(folder, error);
    const auto size = std::filesystem::file_size(file, error);
    const std::uintmax_t needed = (error ? 0 : size) * 2 + kSaveRoom;
    if (!error && space.available < needed) {
        return "на диске нет места для сохранения " + name;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> DeviceDatabase::whyNotRecordable(const DeviceRecord& record) const {
    if (path_.empty() || !named_) {
        return std::string("не выбран файл базы устройств");
    }
    if (!mayOverwrite()) {
        return "файл " + std::string(fileNamePart(unreadPath_)) +
               " не был прочитан и не будет перезаписан";
    }
    for (const auto& file : {pathFromUtf8(path_), serverFileOnDisk(path_)}) {
        if (auto why = whyNotWritable(file)) {
            return why;
        }
    }
    if (records_.findRecord(record.serial) < 0 && records_.size() >= RecordList::kCapacity) {
        static_assert(RecordList::kCapacity == 1024, "the message names the capacity");
        return std::string("в базе уже 1024 записи");
    }
    if (!databaseHoldsRecord(record)) {
        return std::string(
            "пароль или адрес сервера нельзя сохранить в базе целиком: в нём "
            "«;» перед пробелом или табуляцией, или перевод строки");
    }
    return std::nullopt;
}

bool DeviceDatabase::needsSaveName() const {
    return !named_ || path_.empty() || !mayOverwrite();
}

void DeviceDatabase::showDatabase() {
    if (!path_.empty()) {
        dialogs_.showFile(path_);
    }
}

}  // namespace korvan
