#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "database/database_file.h"
#include "database/device_record.h"

namespace korvan {

// What the database operations ask of the desktop. Paths are UTF-8.
class DatabaseDialogs {
  public:
    virtual ~DatabaseDialogs() = default;
    // Why the open dialog is shown: the Open button, or a start with no database named yet,
    // where the dialog must say what it asks for.
    enum class OpenReason { Chosen, FirstStart };
    // The open or save dialog for device databases ("*.zcf"), offering `lastConfirmed`;
    // the file chosen, or nothing when the user cancels.
    virtual std::optional<std::string> chooseDatabaseToOpen(const std::string& lastConfirmed,
                                                            OpenReason reason) = 0;
    virtual std::optional<std::string> chooseDatabaseToSave(const std::string& lastConfirmed) = 0;
    // Shows the file with the program the desktop associates with its type.
    virtual void showFile(const std::string& path) = 0;
};

// The current device database: which file it is, how it is chosen and opened, and how a
// written device gets its record and the files their new contents. Each step returns a
// `DatabaseReport` (what happened, the message, the file and its shown name); whoever holds the
// database shows it.
class DeviceDatabase {
  public:
    explicit DeviceDatabase(DatabaseDialogs& dialogs) : dialogs_(dialogs) {}

    // Start-up, once the settings are read, with the path they stored (UTF-8; empty for none):
    // a stored path whose file name has no extension gets ".zcf" unless a file of that very
    // name exists, and the name is shown only once the file is read; then `openLast`.
    DatabaseReport startUp(const std::string& storedPath);

    // A database file that is there but could not be read whole (header, record count, more
    // records than the list holds, no access) is never written over: until another file is
    // opened or named, a save asks for a new name and refuses the old one.
    DatabaseReport openLast();
    DatabaseReport openDatabase();
    // `done` when both files were written. Other programs may share the file: under its lock,
    // the file as it is now is read again and this program's own records since its last read or
    // save are applied to it, so that nobody's records are lost to a later save.
    DatabaseReport save();
    // How long a save waits for another program to finish with the file.
    std::chrono::milliseconds lockPatience = std::chrono::seconds(5);
    // A save would ask for a file first: none is named, or the one named could not be read.
    bool needsSaveName() const;
    // Why the device written next could not be recorded, asked before the tracker is touched:
    // no file named, a file that could not be read, a folder or file that may not be written,
    // no room on the disk, a name too long for the save's temporary file, no room in the list,
    // a password the file cannot hold whole. UTF-8; nothing when it can be.
    std::optional<std::string> whyNotRecordable(const DeviceRecord& record) const;
    // A device was recorded since the list was last read or saved.
    bool hasUnsavedRecords() const { return unsaved_; }
    void showDatabase();
    // The device just written into the list. A device that a full list has no room for, or a
    // write without an identified device, is reported as not done.
    struct Stored {
        RecordStored stored;
        DatabaseReport report;
    };
    Stored storeDeviceRecord(DeviceRecord record);

    // A dialog that is cancelled gives the name of its last confirmed use again.
    DatabaseReport chooseOpenFile(
        DatabaseDialogs::OpenReason reason = DatabaseDialogs::OpenReason::Chosen);
    DatabaseReport chooseSaveFile();
    // Names the file as it stands, without asking and without reading it: for a caller that
    // already knows the file (the command line's --database).
    DatabaseReport nameFile(const std::string& path);

    // The file named now (UTF-8), empty when none.
    const std::string& path() const { return path_; }
    const RecordList& records() const { return records_; }
    void clearRecords() {
        records_.clearRecords();
        own_.clear();
        unsaved_ = false;
    }

  private:
    // The file as it is now, with this program's own records applied; or why it cannot be read.
    std::optional<RecordList> mergedWithFile(DatabaseReport& failure);
    // The server file made again from the list where it says otherwise (a save cut between its
    // two files), under the database's lock; quietly left where it cannot be written.
    void mendServerFile();
    void askOpenFile(DatabaseDialogs::OpenReason reason);
    void askSaveFile();
    void takeChosenPath(const std::string& chosen);
    DatabaseReport openCurrent();
    bool mayOverwrite() const;
    // `report` with the file named now and the name shown for it.
    DatabaseReport stamped(DatabaseReport report);

    DatabaseDialogs& dialogs_;
    RecordList records_;
    std::string path_;
    // The name is shown: the file was read, chosen or named. A stored path is not shown until
    // its file is read, and a save asks for a name while it is not.
    bool named_ = false;
    std::string lastOpenChoice_;
    std::string lastSaveChoice_;
    std::string unreadPath_;  // the database file last found unreadable; empty when none
    bool unsaved_ = false;
    // The records this program stored since the list was last read or saved: what a save adds
    // to the file as others may have left it.
    std::vector<DeviceRecord> own_;
};

}  // namespace korvan
