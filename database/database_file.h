#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "database/device_record.h"
#include "settings/field_model.h"

// The device database file (".zcf") and its server file ("-srv.zcf"): CR LF text in
// Windows-1251 under the header "Zentracor database 1.3".
namespace korvan {

enum class DatabaseLoad : int {
    Read = 0,
    CountUnreadable = 2,
    HeaderWrong = 3,
    CannotOpen = 4,
    NoFileName = 5,
};

// The value after `key` in a record line, or nothing when the key is not there. It ends at a
// line end, at the first ";" from `minLength` characters on, or after `capacity` - 1 characters.
// Below the minimum length a ";" belongs to the value (a password may hold one anywhere); for a
// key without a minimum, a ";" right after the key gives the empty value.
std::optional<std::string> ParseValue(std::string_view line, std::string_view key,
                                      std::size_t minLength, std::size_t capacity);

// Reads the database at `model.DatabasePath` into `records`, which keeps its contents unless
// both header lines are right. Failures are told on the status line.
DatabaseLoad LoadDatabase(FieldModel& model, RecordList& records);

// Writes both files from `records`, each replaced whole or not at all, and tells the outcome
// on the status line under the name `DbFileName` shows. An empty name or path writes nothing.
// True when both files were written.
bool SaveDatabase(FieldModel& model, const RecordList& records);

// The files' contents, byte for byte.
std::string DatabaseFileText(const RecordList& records);
std::string ServerFileText(const RecordList& records);
// fleet.zcf gives fleet-srv.zcf beside it; a file name without an extension gets "-srv.zcf".
std::string ServerFilePath(std::string_view databasePath);

}  // namespace korvan
