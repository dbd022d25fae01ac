#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "database/device_record.h"

// The device database file (".zcf") and its server file ("-srv.zcf"): CR LF text in
// Windows-1251 under the header "Zentracor database 1.3".
namespace korvan {

enum class DatabaseLoad : std::uint8_t {
    Read,
    CountUnreadable,
    HeaderWrong,
    CannotOpen,  // no such file: a new database
    NoFileName,
    Unreadable,      // the file is there but could not be read, or a record line could not
    TooManyRecords,  // more records than the list holds
    ReadCountWrong,  // read whole, but the header counts otherwise: the next save mends it
};

// Whether the list now holds every record of the file.
constexpr bool readWhole(DatabaseLoad load) {
    return load == DatabaseLoad::Read || load == DatabaseLoad::ReadCountWrong;
}

// The value after `key` in a record line, or nothing when no item of the line starts with the key.
// Items follow the serial number's ":" and each item's closing ";", blanks before them aside;
// a key inside another item's value is not an item. A value ends at a line end, at the first
// ";" from `minLength` characters on, or after `capacity` - 1 characters. Below the minimum
// length a ";" belongs to the value (a password may hold one anywhere), unless what follows it
// is the line's end, blanks aside, or a blank and the key of another item: so a password shorter
// than its eight characters reads back as it was saved. For a key without a minimum, a ";"
// right after the key gives the empty value.
std::optional<std::string> parseValue(std::string_view line, std::string_view key,
                                      std::size_t minLength, std::size_t capacity);

// What a step of the database did, for whoever shows it: the database reports and the core
// applies, as with the device operations.
struct DatabaseReport {
    enum class Severity : std::uint8_t {
        Information,
        Warning,  // done, with something the technician should know (a count mended)
        Error,    // not done
    };
    bool done = true;  // the step did what it was asked: opened, saved, recorded, named
    Severity severity = Severity::Information;
    std::string message;  // UTF-8, for the status line; empty when the step has nothing to say
    // The database's file after the step (UTF-8), named or stored; empty when there is none.
    std::string path;
    // The file name shown for the database, when the step changed it; an empty name hides it.
    std::optional<std::string> shownName;

    // A step done, with what it has to say.
    static DatabaseReport told(std::string message, Severity severity = Severity::Information) {
        DatabaseReport report;
        report.severity = severity;
        report.message = std::move(message);
        return report;
    }
    static DatabaseReport failed(std::string message) {
        DatabaseReport report = told(std::move(message), Severity::Error);
        report.done = false;
        return report;
    }
};

struct DatabaseLoaded {
    DatabaseLoad load = DatabaseLoad::NoFileName;
    std::string message;  // UTF-8: why the file was not read, or the count that disagrees
};

// Reads the database at `path` into `records`, which keeps its contents unless both header
// lines are right, every record line can be read and the list has room for all of them. Every
// line after the header's count is a record, whatever the count says, blank lines aside: a
// file is taken whole or not at all.
DatabaseLoaded loadDatabase(const std::string& path, RecordList& records);

// Writes both files from `records`, each replaced whole or not at all; `done` when both were
// written. A new server file is readable by the user only.
DatabaseReport saveDatabase(const std::string& path, const RecordList& records);

// Whether the record reads back from the file as it is: a password or another text with "; "
// and a key after it, or with a line break, would come back cut or changed.
bool databaseHoldsRecord(const DeviceRecord& record);

// The files' contents, byte for byte.
std::string databaseFileText(const RecordList& records);
std::string serverFileText(const RecordList& records);
// fleet.zcf gives fleet-srv.zcf beside it; a file name without an extension gets "-srv.zcf".
std::string serverFilePath(std::string_view databasePath);
// The server file a save of the database writes: beside the file a symbolic link leads to, so
// that a database shared through a link keeps one partner, the real file's.
std::filesystem::path serverFileOnDisk(const std::string& databasePath);

}  // namespace korvan
