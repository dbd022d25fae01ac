#include "database/device_database.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/cp1251.h"
#include "base/file_lock.h"
#include "base/scan.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// Dialogs that answer from a script: a path, or nothing for cancel.
class ScriptedDialogs final : public DatabaseDialogs {
  public:
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> offeredOnOpen;
    std::vector<std::string> offeredOnSave;
    std::vector<std::string> shown;

    std::vector<OpenReason> openReasons;

    std::optional<std::string> chooseDatabaseToOpen(const std::string& last,
                                                    OpenReason reason) override {
        offeredOnOpen.push_back(last);
        openReasons.push_back(reason);
        return next(openAnswers);
    }
    std::optional<std::string> chooseDatabaseToSave(const std::string& last) override {
        offeredOnSave.push_back(last);
        return next(saveAnswers);
    }
    void showFile(const std::string& path) override { shown.push_back(path); }

  private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
        EXPECT_FALSE(answers.empty()) << "a dialog the test did not expect";
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

constexpr const char* kServerAddress = "192.0.2.10";

const std::string kOneDevice =
    "Zentracor database 1.3\r\n1 records\r\n00001:\tPASSWORD=aaaaaaaa;\r\n";

// What the window shows of the database, taken from its reports as the window takes them.
struct Shown {
    std::string path;
    std::string name = "...";
    std::string status;  // UTF-8

    bool take(const DatabaseReport& report) {
        path = report.path;
        if (report.shownName) {
            name = *report.shownName;
        }
        if (!report.message.empty()) {
            status = report.message;
        }
        return report.done;
    }
};

class Database : public ::testing::Test {
  protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    DeviceDatabase database{dialogs};
    Shown shown;

    RecordStored store(DeviceDatabase& into) {
        const auto [stored, report] = into.storeDeviceRecord(record);
        shown.take(report);
        return stored;
    }
    RecordStored store() { return store(database); }

    std::string at(std::string_view name) const { return (folder / name).string(); }

    // The record of a write to device `serial`, as shown.
    void written(const char* serial, const char* password = "Pa55word") {
        record = {};
        record.serial = leadingInteger(serial).value_or(0);
        record.password = password;
        record.writePeriod = 10;
        record.sendPeriod = 300;
        record.serverIp = kServerAddress;
        record.serverPort = "2224";
    }
    DeviceRecord record;
};

TEST_F(Database, FirstStartAsksForADatabaseAndTakesANewOne) {
    dialogs.openAnswers = {at("fleet")};
    shown.take(database.startUp({}));
    // The dialog is told it asks for the first database, so that it can say so.
    EXPECT_EQ(dialogs.openReasons, std::vector{DatabaseDialogs::OpenReason::FirstStart});
    EXPECT_EQ(database.path(), at("fleet.zcf"));
    EXPECT_EQ(shown.name, "fleet.zcf");
    EXPECT_EQ(shown.status, std::string("Новая база: файл будет создан при первой записи трекера"));
    EXPECT_FALSE(std::filesystem::exists(folder / "fleet.zcf"));  // created by the first save

    written("00007");
    EXPECT_EQ(store(), RecordStored::Added);
    EXPECT_TRUE(shown.take(database.save()));
    EXPECT_TRUE(dialogs.offeredOnSave.empty());
    EXPECT_EQ(shown.status, std::string("Файл fleet.zcf успешно сохранён"));
    EXPECT_NE(readBytes(folder / "fleet.zcf").find("00007:\tPASSWORD=Pa55word;"),
              std::string::npos);
}

TEST_F(Database, AChosenNameWithoutExtensionGetsZcfWhateverItsFoldersHold) {
    std::filesystem::create_directory(folder / "v1.2");
    dialogs.openAnswers = {at("v1.2/cars")};
    shown.take(database.openDatabase());
    EXPECT_EQ(database.path(), at("v1.2/cars.zcf"));
    EXPECT_EQ(shown.name, "cars.zcf");
}

TEST_F(Database, AStoredDatabaseIsOpenedAndNamedOnceRead) {
    writeBytes(folder / "car7.zcf", kOneDevice);
    shown.take(database.startUp(at("car7")));
    EXPECT_EQ(database.path(), at("car7.zcf"));
    EXPECT_EQ(shown.name, "car7.zcf");
    EXPECT_EQ(shown.status, std::string("Файл car7.zcf открыт"));
    EXPECT_EQ(database.records().size(), 1u);

    // Open, then cancel in a dialog never confirmed: the same database is read again.
    dialogs.openAnswers = {std::nullopt};
    shown.status.clear();
    shown.take(database.openDatabase());
    EXPECT_EQ(shown.status, std::string("Файл car7.zcf открыт"));
}

TEST_F(Database, AStoredNameWithoutExtensionIsTheFileWhenThatFileExists) {
    std::filesystem::create_directory(folder / "v1.2");
    writeBytes(folder / "v1.2" / "cars", kOneDevice);
    shown.take(database.startUp(at("v1.2/cars")));
    EXPECT_EQ(database.path(), at("v1.2/cars"));
    EXPECT_EQ(shown.status, std::string("Файл cars открыт"));

    // A folder of that name is no database: the name gets its extension.
    std::filesystem::create_directory(folder / "fleet");
    writeBytes(folder / "fleet.zcf", kOneDevice);
    shown.take(database.startUp(at("fleet")));
    EXPECT_EQ(database.path(), at("fleet.zcf"));
    EXPECT_EQ(shown.status, std::string("Файл fleet.zcf открыт"));
}

TEST_F(Database, AStoredDatabaseThatCannotBeReadAsksForANameAtTheFirstSave) {
    shown.take(database.startUp(at("gone.zcf")));
    EXPECT_EQ(shown.status, std::string("Новая база: файл будет создан при первой записи трекера"));
    EXPECT_EQ(shown.name, "");
    written("00003");
    store();
    dialogs.saveAnswers = {at("new-fleet.zcf")};
    shown.take(database.save());
    EXPECT_EQ(database.path(), at("new-fleet.zcf"));
    EXPECT_TRUE(std::filesystem::exists(folder / "new-fleet.zcf"));
    EXPECT_TRUE(std::filesystem::exists(folder / "new-fleet-srv.zcf"));
}

TEST_F(Database, AStoredNameNeverShownIsNotSavedToWhenTheDialogIsCancelled) {
    shown.take(database.startUp(at("gone.zcf")));
    written("00004");
    store();
    dialogs.saveAnswers = {std::nullopt};
    const DatabaseReport saved = database.save();
    EXPECT_FALSE(saved.done);
    EXPECT_EQ(saved.message, "Файл srv не сохранён");
    EXPECT_EQ(saved.path, at("gone.zcf"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone.zcf"));  // never confirmed by anyone
    EXPECT_TRUE(database.hasUnsavedRecords());
}

TEST_F(Database, AFileThatCouldNotBeReadIsNeverSavedOverButAnotherNameIsAskedFor) {
    std::string tooMany = "Zentracor database 1.3\r\n1025 records\r\n";
    for (int serial = 1; serial <= 1025; ++serial) {
        tooMany += std::to_string(serial) + ":\tPASSWORD=abcdefgh;\r\n";
    }
    writeBytes(folder / "fleet.zcf", kOneDevice);
    writeBytes(folder / "header.zcf", "something else\r\n");
    writeBytes(folder / "count.zcf",
               "Zentracor database 1.3\r\nmany\r\n1:\tPASSWORD=abcdefgh;\r\n");
    writeBytes(folder / "big.zcf", tooMany);
    std::filesystem::create_directory(folder / "folder.zcf");
    const std::pair<const char*, const char*> unread[] = {
        {"header.zcf", "Ошибка чтения заголовка"},
        {"count.zcf", "Ошибка считывания числа записей"},
        {"big.zcf", "В файле больше 1024 записей: файл не открыт"},
        {"folder.zcf", "Ошибка открытия файла"},
    };
    for (const auto& [name, message] : unread) {
        SCOPED_TRACE(name);
        const bool isFile = std::filesystem::is_regular_file(folder / name);
        const std::string before = isFile ? readBytes(folder / name) : std::string();
        DeviceDatabase fresh(dialogs);
        shown.take(fresh.startUp(at("fleet.zcf")));
        dialogs.openAnswers = {at(name)};
        shown.take(fresh.openDatabase());
        EXPECT_EQ(shown.status, std::string(message));
        EXPECT_EQ(fresh.records().size(), 1u);

        // Asked for another name; cancel, or the same file again, is refused and says why.
        dialogs.saveAnswers = {std::nullopt, at(name)};
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(shown.take(fresh.save()));
            EXPECT_EQ(shown.status, std::string("База не сохранена: файл ") + name +
                                        " не был прочитан и не будет перезаписан");
        }
        if (isFile) {
            EXPECT_EQ(readBytes(folder / name), before);
        }
        EXPECT_FALSE(std::filesystem::exists(folder / serverFilePath(name)));

        dialogs.saveAnswers = {at("copy.zcf")};
        EXPECT_TRUE(shown.take(fresh.save()));
        EXPECT_EQ(readBytes(folder / "copy-srv.zcf"), kOneDevice);  // the list that was open
        EXPECT_TRUE(shown.take(fresh.save()));  // the new name needs no asking again
        EXPECT_TRUE(dialogs.saveAnswers.empty());
    }
}

TEST_F(Database, NoDatabaseNamedAtStartIsAskedForAtTheSaveAndTheRecordIsKept) {
    dialogs.openAnswers = {std::nullopt};
    shown.take(database.startUp({}));
    EXPECT_EQ(shown.status, std::string("Файл не открыт"));
    EXPECT_EQ(shown.name, "...");

    written("00009");
    store();
    dialogs.saveAnswers = {std::nullopt};
    EXPECT_FALSE(shown.take(database.save()));
    EXPECT_EQ(shown.status, std::string("Файл srv не сохранён"));
    EXPECT_EQ(database.records().size(), 1u);  // kept for the next save

    written("00010");
    store();
    dialogs.saveAnswers = {at("later")};
    shown.take(database.save());
    EXPECT_EQ(shown.status, std::string("Файл later.zcf успешно сохранён"));
    const std::string saved = readBytes(folder / "later.zcf");
    EXPECT_NE(saved.find("2 records"), std::string::npos);
    EXPECT_NE(saved.find("00009:"), std::string::npos);
}

TEST_F(Database, ACancelledDialogGivesItsLastConfirmedNameAgain) {
    dialogs.openAnswers = {at("a.zcf"), std::nullopt};
    shown.take(database.openDatabase());
    database.nameFile(at("elsewhere.zcf"));
    shown.take(database.openDatabase());
    EXPECT_EQ(database.path(), at("a.zcf"));
    EXPECT_EQ(dialogs.offeredOnOpen, (std::vector<std::string>{"", at("a.zcf")}));
    EXPECT_EQ(dialogs.openReasons, std::vector(2, DatabaseDialogs::OpenReason::Chosen));
}

TEST_F(Database, WritingADeviceAgainReplacesItsRecordInItsPlace) {
    dialogs.openAnswers = {at("fleet.zcf")};
    shown.take(database.startUp({}));
    written("00001");
    store();
    written("00002");
    store();
    written("00001", "NewPass1");
    EXPECT_EQ(store(), RecordStored::Replaced);
    ASSERT_EQ(database.records().size(), 2u);
    EXPECT_EQ(database.records()[0].serial, 1);
    EXPECT_EQ(database.records()[0].password, "NewPass1");
    EXPECT_EQ(database.records()[0].writePeriod, 10);
    EXPECT_EQ(database.records()[0].serverIp, kServerAddress);
}

TEST_F(Database, AFullListStillReplacesButReportsANewDevice) {
    std::string contents = "Zentracor database 1.3\r\n1024 records\r\n";
    for (int serial = 1; serial <= 1024; ++serial) {
        contents += std::to_string(serial) + ":\tPASSWORD=abcdefgh;\r\n";
    }
    writeBytes(folder / "full.zcf", contents);
    shown.take(database.startUp(at("full.zcf")));
    ASSERT_EQ(database.records().size(), 1024u);

    written("00500", "Replaced");
    EXPECT_EQ(store(), RecordStored::Replaced);
    EXPECT_EQ(database.records()[499].password, "Replaced");

    written("02000");
    EXPECT_EQ(store(), RecordStored::ListFull);
    EXPECT_EQ(shown.status,
              std::string("В базе уже 1024 записи: устройство 02000 в неё не добавлено"));
    EXPECT_EQ(database.records().size(), 1024u);
}

TEST_F(Database, AWriteWithoutAnIdentifiedDeviceRecordsNothing) {
    EXPECT_EQ(store(), RecordStored::NoDevice);  // no serial number
    EXPECT_EQ(database.records().size(), 0u);
}

TEST_F(Database, ViewingTheDatabaseHandsItsPathToTheDesktop) {
    database.showDatabase();
    EXPECT_TRUE(dialogs.shown.empty());
    database.nameFile(at("fleet.zcf"));
    database.showDatabase();
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{at("fleet.zcf")});
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// Two programs on one database: each sees the file as the other left it.
class SharedDatabase : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    ScriptedDialogs dialogs;
    DeviceDatabase first{dialogs};
    DeviceDatabase second{dialogs};

    void open(DeviceDatabase& database) {
        database.nameFile((folder / "fleet.zcf").string());
        ASSERT_TRUE(database.openLast().done);
    }
    static void store(DeviceDatabase& database, int serial, const char* password = "Pa55word") {
        DeviceRecord record;
        record.serial = serial;
        record.password = password;
        database.storeDeviceRecord(record);
    }
    std::string file() const { return testing::readBytes(folder / "fleet.zcf"); }
};

TEST_F(SharedDatabase, EachSaveKeepsTheRecordsAnotherProgramSavedMeanwhile) {
    testing::writeBytes(folder / "fleet.zcf", kOneDevice);
    open(first);
    open(second);
    store(first, 11);
    store(second, 21);
    store(second, 22);
    ASSERT_TRUE(first.save().done);
    ASSERT_TRUE(second.save().done);
    // The second program's save holds the first's device as well as its own, and the one the
    // file had; so does its server file.
    for (const char* serial : {"00001:", "00011:", "00021:", "00022:"}) {
        EXPECT_NE(file().find(serial), std::string::npos) << serial;
        EXPECT_NE(testing::readBytes(folder / "fleet-srv.zcf").find(serial), std::string::npos)
            << serial;
    }
    EXPECT_NE(file().find("4 records"), std::string::npos);
    EXPECT_EQ(second.records().size(), 4u);

    // A device written again by the first program takes its newer record; nothing else changes.
    store(first, 21, "NewPass1");
    ASSERT_TRUE(first.save().done);
    EXPECT_NE(file().find("00021:\tPASSWORD=NewPass1;"), std::string::npos);
    EXPECT_NE(file().find("00022:"), std::string::npos);
    EXPECT_NE(file().find("4 records"), std::string::npos);
}

TEST_F(SharedDatabase, ASaveWaitsForTheLockAndGivesUpNamingIt) {
    open(first);
    store(first, 11);
    std::string why;
    {
        const FileLock other = FileLock::take(folder / "fleet.zcf", std::chrono::seconds(1), why);
        ASSERT_TRUE(other.held()) << why;
        first.lockPatience = std::chrono::milliseconds(200);
        const DatabaseReport saved = first.save();
        EXPECT_FALSE(saved.done);
        EXPECT_NE(saved.message.find("занята"), std::string::npos) << saved.message;
        EXPECT_FALSE(std::filesystem::exists(folder / "fleet.zcf"));
        EXPECT_TRUE(first.hasUnsavedRecords());
    }
    EXPECT_TRUE(first.save().done);  // the other has let go
    EXPECT_NE(file().find("00011:"), std::string::npos);
}

TEST_F(SharedDatabase, AFileAnotherProgramLeftUnreadableIsNotSavedOver) {
    open(first);
    store(first, 11);
    testing::writeBytes(folder / "fleet.zcf", "Zentracor database 1.3\r\nmany records\r\n");
    EXPECT_FALSE(first.save().done);
    EXPECT_EQ(file(), "Zentracor database 1.3\r\nmany records\r\n");
    EXPECT_TRUE(first.hasUnsavedRecords());
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST_F(Database, AFileWhoseCountSaysFewerIsReadWholeAndItsCountMendedByTheSave) {
    std::string contents = "Zentracor database 1.3\r\n1 records\r\n";
    for (int serial = 1; serial <= 5; ++serial) {
        contents += "0000" + std::to_string(serial) + ":\tPASSWORD=aaaaaaaa;\r\n";
    }
    writeBytes(folder / "fleet.zcf", contents);
    database.nameFile(at("fleet.zcf"));
    const DatabaseReport opened = database.openLast();
    shown.take(opened);
    EXPECT_TRUE(opened.done);
    EXPECT_EQ(opened.severity, DatabaseReport::Severity::Warning);  // the command line says it
    EXPECT_EQ(shown.status,
              "Файл fleet.zcf открыт; В заголовке базы записей 1, а в файле 5: при сохранении "
              "число будет исправлено");
    EXPECT_EQ(database.records().size(), 5u);
    written("00009");
    store();
    ASSERT_TRUE(shown.take(database.save()));
    const std::string saved = readBytes(folder / "fleet.zcf");
    EXPECT_NE(saved.find("\r\n6 records\r\n"), std::string::npos) << saved;
    for (const char* serial : {"00001:", "00005:", "00009:"}) {
        EXPECT_NE(saved.find(serial), std::string::npos) << serial;
    }
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST_F(Database, ASaveCutBetweenItsTwoFilesIsMendedAndItsTemporaryFilesGo) {
    // The database file was replaced, the server file not: it still holds an old password.
    writeBytes(folder / "fleet.zcf",
               "Zentracor database 1.3\r\n2 records\r\n00001:\tPASSWORD=NewPass1;\r\n"
               "00002:\tPASSWORD=bbbbbbbb;\r\n");
    writeBytes(folder / "fleet-srv.zcf",
               "Zentracor database 1.3\r\n1 records\r\n00001:\tPASSWORD=OldPass1;\r\n");
    writeBytes(folder / ".fleet-srv.zcf.0badc0de.tmp", "a password or two");
    writeBytes(folder / ".fleet.zcf.notmine.tmp", "the user's own");
    database.nameFile(at("fleet.zcf"));
    shown.take(database.openLast());
    EXPECT_EQ(readBytes(folder / "fleet-srv.zcf"),
              "Zentracor database 1.3\r\n2 records\r\n00001:\tPASSWORD=NewPass1;\r\n"
              "00002:\tPASSWORD=bbbbbbbb;\r\n");

    written("00003");
    store();
    ASSERT_TRUE(shown.take(database.save()));
    EXPECT_FALSE(std::filesystem::exists(folder / ".fleet-srv.zcf.0badc0de.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder / ".fleet.zcf.notmine.tmp"));
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST_F(Database, ALinkedDatabaseKeepsItsServerFileAndTemporariesBesideTheRealFile) {
    std::filesystem::create_directory(folder / "data");
    writeBytes(folder / "data" / "fleet.zcf", kOneDevice);
    writeBytes(folder / "data" / "fleet-srv.zcf", kOneDevice);
    writeBytes(folder / "data" / ".fleet.zcf.0badc0de.tmp", "a crash's passwords");
    std::filesystem::create_symlink(folder / "data" / "fleet.zcf", folder / "fleet.zcf");
    database.nameFile(at("fleet.zcf"));
    shown.take(database.openLast());
    written("00002");
    EXPECT_EQ(database.whyNotRecordable(record), std::nullopt);
    store();
    ASSERT_TRUE(shown.take(database.save()));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "fleet.zcf"));
    EXPECT_NE(readBytes(folder / "data" / "fleet-srv.zcf").find("00002:\tPASSWORD=Pa55word;"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "fleet-srv.zcf"));
    EXPECT_FALSE(std::filesystem::exists(folder / "data" / ".fleet.zcf.0badc0de.tmp"));
}

#ifndef _WIN32
TEST_F(Database, AnotherUsersLinkInASharedFolderIsRefusedBeforeTheTrackerIsTouched) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can plant a link of another user to begin with";
    }
    const auto shared = folder / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    writeBytes(folder / "victim", kOneDevice);
    const auto link = shared / "fleet.zcf";
    std::filesystem::create_symlink(folder / "victim", link);
    ASSERT_EQ(::lchown(link.c_str(), 4242, 4242), 0);
    database.nameFile(link.string());
    shown.take(database.openLast());  // reading through it is the system's business

    written("00002");
    const auto why = database.whyNotRecordable(record);
    ASSERT_TRUE(why.has_value());
    EXPECT_NE(why->find(link.string()), std::string::npos) << *why;
    store();
    EXPECT_FALSE(shown.take(database.save()));
    EXPECT_NE(shown.status.find(link.string()), std::string::npos);
    EXPECT_EQ(readBytes(folder / "victim"), kOneDevice);
    EXPECT_FALSE(std::filesystem::exists(folder / "victim-srv.zcf"));
}
#endif

}  // namespace
}  // namespace korvan
