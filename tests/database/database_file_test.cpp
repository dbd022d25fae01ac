#include "database/database_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

const std::string kHead = "Zentracor database 1.3\r\n";

DeviceRecord full() {
    DeviceRecord r;
    r.serial = 90001;
    r.password = "ab;cd;ef";
    r.pin = "1234";
    r.writePeriod = 10;
    r.sendPeriod = 300;
    r.apn = ansi("интернет");
    r.apnUser = "user";
    r.apnPassword = "secret";
    r.serverIp = "192.0.2.10";
    r.serverPort = "2224";
    r.phone = "+79001234567";
    r.ussd = "*100#";
    return r;
}

class DatabaseFile : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string path = (folder / "fleet.zcf").string();
    RecordList records;
    std::string said;  // the last step's message

    DatabaseLoad load(const std::string& contents) {
        writeBytes(folder / "fleet.zcf", contents);
        return read(records);
    }
    DatabaseLoad read(RecordList& into) {
        const DatabaseLoaded loaded = loadDatabase(path, into);
        said = loaded.message;
        return loaded.load;
    }
    bool save(const RecordList& from) {
        const DatabaseReport saved = saveDatabase(path, from);
        said = saved.message;
        EXPECT_EQ(saved.severity, saved.done ? DatabaseReport::Severity::Information
                                             : DatabaseReport::Severity::Error);
        return saved.done;
    }
};

TEST_F(DatabaseFile, BothFilesAreWrittenByteForByteAndReadBackWhole) {
    records.addOrReplaceRecord(full());
    DeviceRecord small;
    small.serial = 7;
    small.password = "Pa55word";
    records.addOrReplaceRecord(small);
    save(records);
    EXPECT_EQ(said, std::string("Файл fleet.zcf успешно сохранён"));

    const std::string database = readBytes(folder / "fleet.zcf");
    EXPECT_EQ(database,
              kHead + "2 records\r\n" +
                  "90001:\tPASSWORD=ab;cd;ef;\tTELNUM=+79001234567;\tPIN=1234;\tPERIODWR=10;"
                  "\tPERIODSEND=300;\tAPNAPN=" +
                  ansi("интернет") +
                  ";\tAPNUSR=user;\tAPNPWD=secret;\tIP=192.0.2.10;\tPORT=2224;\tUSSD=*100#\r\n"
                  "00007:\tPASSWORD=Pa55word;\tTELNUM=;\tPIN=;\tPERIODWR=0;\tPERIODSEND=0;"
                  "\tAPNAPN=;\tAPNUSR=;\tAPNPWD=;\tIP=;\tPORT=;\tUSSD=\r\n");
    EXPECT_EQ(readBytes(folder / "fleet-srv.zcf"),
              kHead + "2 records\r\n90001:\tPASSWORD=ab;cd;ef;\r\n00007:\tPASSWORD=Pa55word;\r\n");

    RecordList reread;
    ASSERT_EQ(read(reread), DatabaseLoad::Read);
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread[0], full());
    EXPECT_EQ(reread[1], small);
    save(reread);
    EXPECT_EQ(readBytes(folder / "fleet.zcf"), database);
}

TEST_F(DatabaseFile, AnEmptyListStillWritesBothHeaders) {
    save(records);
    EXPECT_EQ(readBytes(folder / "fleet.zcf"), kHead + "0 records\r\n");
    EXPECT_EQ(readBytes(folder / "fleet-srv.zcf"), kHead + "0 records\r\n");
    // The server file holds every password: nobody but the user reads a new one.
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(folder / "fleet-srv.zcf").permissions() &
                  (perms::group_all | perms::others_all),
              perms::none);
}

TEST_F(DatabaseFile, ReadsWhatOtherWritersAndVersionsLeave) {
    ASSERT_EQ(load("Zentracor database 2.0\n"
                   "3\n"
                   "7:\tPASSWORD=Pa55word;\tUSSD=\n"
                   "  12:USSD=*1#;PORT=99;IP=10.0.0.1;PASSWORD=abcdefgh;PERIODSEND=60x;\r\n"
                   "00013:\tPASSWORD=qwertyui;\tPERIODWR=abc;\tIP=" +
                   std::string(30, '9') + ";\n"),
              DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].serial, 7);
    EXPECT_EQ(records[0].ussd, "");
    EXPECT_EQ(records[1].serial, 12);
    EXPECT_EQ(records[1].ussd, "*1#");
    EXPECT_EQ(records[1].serverPort, "99");
    EXPECT_EQ(records[1].serverIp, "10.0.0.1");
    EXPECT_EQ(records[1].sendPeriod, 60);
    EXPECT_EQ(records[1].pin, "");
    EXPECT_EQ(records[2].writePeriod, 0);
    EXPECT_EQ(records[2].serverIp, std::string(20, '9'));
    save(records);
    EXPECT_NE(readBytes(folder / "fleet.zcf").find("\r\n00007:\tPASSWORD=Pa55word;"),
              std::string::npos);
}

TEST_F(DatabaseFile, EveryLineAfterTheCountIsReadAndALineThatCannotBeKeepsTheFileWhole) {
    // The count says fewer, or more, or less than none: every record is read all the same,
    // blank lines aside, and the count that disagrees is told.
    for (const char* count : {"1", "0", "-7", "9"}) {
        SCOPED_TRACE(count);
        ASSERT_EQ(load(kHead + count +
                       " records\r\n00001:\tPASSWORD=abcdefgh;\r\n\r\n"
                       "00002:\tPASSWORD=abcdefgh;\r\n  \r\n00003:\tPASSWORD=abcdefgh;\r\n"),
                  DatabaseLoad::ReadCountWrong);
        EXPECT_EQ(records.size(), 3u);
        EXPECT_EQ(said, std::string("В заголовке базы записей " + std::string(count) +
                                    ", а в файле 3: при сохранении число будет исправлено"));
    }
    ASSERT_EQ(load(kHead + "1 records\r\n00001:\tPASSWORD=abcdefgh;\r\n\r\n"), DatabaseLoad::Read);

    // A line that names no device, inside the records or past the count, is not dropped by a
    // save: the file is not taken, and the list stays as it was.
    for (const char* junk : {"no serial;\tPASSWORD=abcdefgh;", "00000:\tPASSWORD=abcdefgh;",
                             "00005:\tPIN=1;", "00004:\tPASSWORD=;\tIP=10.0.0.2;"}) {
        SCOPED_TRACE(junk);
        records.clearRecords();
        records.addOrReplaceRecord(full());
        ASSERT_EQ(load(kHead + "1 records\r\n00006:\tPASSWORD=abcdefgh;\r\n" + junk +
                       "\r\n00007:\tPASSWORD=abcdefgh;\r\n"),
                  DatabaseLoad::Unreadable);
        EXPECT_EQ(said,
                  std::string("Строка 4 базы не прочитана: файл не открыт и не будет перезаписан"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0], full());
    }
}

TEST_F(DatabaseFile, ALaterLineOfTheSameDeviceWinsInTheEarlierPlace) {
    ASSERT_EQ(load(kHead + "3 records\r\n"
                           "00001:\tPASSWORD=aaaaaaaa;\tIP=old;\r\n"
                           "00002:\tPASSWORD=bbbbbbbb;\r\n"
                           "00001:\tPASSWORD=cccccccc;\tIP=new;\r\n"),
              DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].serial, 1);
    EXPECT_EQ(records[0].password, "cccccccc");
    EXPECT_EQ(records[0].serverIp, "new");
}

TEST_F(DatabaseFile, AFileWithMoreRecordsThanTheListHoldsIsNotOpened) {
    std::string contents = kHead + "1100 records\r\n";
    for (int serial = 1; serial <= 1024; ++serial) {
        contents += std::to_string(serial) + ":\tPASSWORD=abcdefgh;\r\n";
    }
    // A count beyond the lines there are is no record: the 1024 present are read.
    ASSERT_EQ(load(contents + "\r\n"), DatabaseLoad::ReadCountWrong);
    EXPECT_EQ(records.size(), 1024u);
    EXPECT_EQ(records[1023].serial, 1024);

    records.clearRecords();
    records.addOrReplaceRecord(full());
    EXPECT_EQ(load(contents + "1025:\tPASSWORD=abcdefgh;\r\n"), DatabaseLoad::TooManyRecords);
    EXPECT_EQ(said, std::string("В файле больше 1024 записей: файл не открыт"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], full());
}

TEST_F(DatabaseFile, AnOverlongLineIsReadAsFarAsTheBufferHoldsAndTheNextLineStillCounts) {
    const std::string longLine =
        "00001:\tPASSWORD=abcdefgh;\tIP=1.2.3.4;\tUSSD=" + std::string(3000, 'x') + "\r\n";
    ASSERT_EQ(load(kHead + "2 records\r\n" + longLine + "00002:\tPASSWORD=ijklmnop;\r\n"),
              DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].serverIp, "1.2.3.4");
    EXPECT_EQ(records[0].ussd, std::string(10, 'x'));
    EXPECT_EQ(records[1].serial, 2);
}

TEST_F(DatabaseFile, EveryReadFailureKeepsTheListAndSaysWhy) {
    records.addOrReplaceRecord(full());
    struct Case {
        std::string contents;
        DatabaseLoad result;
        const char* message;
    };
    const Case cases[] = {
        {"Zentracor datab", DatabaseLoad::HeaderWrong, "Ошибка чтения заголовка"},
        {"", DatabaseLoad::HeaderWrong, "Ошибка чтения заголовка"},
        {"zentracor database 1.3\r\n1 records\r\n", DatabaseLoad::HeaderWrong,
         "Ошибка чтения заголовка"},
        {kHead + "records\r\n", DatabaseLoad::CountUnreadable, "Ошибка считывания числа записей"},
        {kHead, DatabaseLoad::CountUnreadable, "Ошибка считывания числа записей"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(load(c.contents), c.result) << c.contents;
        EXPECT_EQ(said, std::string(c.message));
        EXPECT_EQ(records.size(), 1u);
    }
    // Something there that cannot be read is not a new database.
    std::filesystem::remove(folder / "fleet.zcf");
    std::filesystem::create_directory(folder / "fleet.zcf");
    EXPECT_EQ(read(records), DatabaseLoad::Unreadable);
    EXPECT_EQ(said, std::string("Ошибка открытия файла"));
    std::filesystem::remove(folder / "fleet.zcf");
    EXPECT_EQ(read(records), DatabaseLoad::CannotOpen);
    EXPECT_EQ(said, std::string("Ошибка открытия файла"));
    path.clear();
    EXPECT_EQ(read(records), DatabaseLoad::NoFileName);
    EXPECT_EQ(said, std::string("Файл не открыт"));
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(DatabaseFile, AFailedSaveLeavesTheOldFilesWholeAndSaysWhich) {
    using std::filesystem::perms;
    ASSERT_TRUE(save(records));
    const std::string before = readBytes(folder / "fleet.zcf");
    records.addOrReplaceRecord(full());

    std::filesystem::permissions(folder / "fleet.zcf", perms::owner_read | perms::group_read);
    EXPECT_FALSE(save(records));
    EXPECT_EQ(said, std::string("Ошибка сохранения файла"));
    EXPECT_EQ(readBytes(folder / "fleet.zcf"), before);
    EXPECT_EQ(readBytes(folder / "fleet-srv.zcf"), before);
    std::filesystem::permissions(folder / "fleet.zcf", perms::owner_write,
                                 std::filesystem::perm_options::add);

    std::filesystem::permissions(folder / "fleet-srv.zcf", perms::owner_read);
    EXPECT_FALSE(save(records));
    EXPECT_EQ(said, std::string("Ошибка сохранения файла srv"));
    EXPECT_NE(readBytes(folder / "fleet.zcf"), before);
    EXPECT_EQ(readBytes(folder / "fleet-srv.zcf"), before);

    // A database whose folder has gone (a removed stick) is not made up anew.
    path = (folder / "gone" / "fleet.zcf").string();
    EXPECT_FALSE(save(records));
    EXPECT_EQ(said, std::string("Ошибка сохранения файла"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
}

TEST(DatabaseFileNames, TheServerFileStandsBesideTheDatabase) {
    EXPECT_EQ(serverFilePath("/data/fleet.zcf"), "/data/fleet-srv.zcf");
    EXPECT_EQ(serverFilePath("/data/fleet"), "/data/fleet-srv.zcf");
    EXPECT_EQ(serverFilePath("/home/t/.fleet.d/cars"), "/home/t/.fleet.d/cars-srv.zcf");
    EXPECT_EQ(serverFilePath(R"(C:\data\fleet.zcf)"), R"(C:\data\fleet-srv.zcf)");
}

TEST(parseValue, KeysValuesAndTheirEnds) {
    const std::string line = "00001:\tPASSWORD=a;b;c;de;\tPIN=;\tIP=1.2.3.4;PORT=22";
    EXPECT_EQ(parseValue(line, "PASSWORD=", 8, 9), "a;b;c;de");
    EXPECT_EQ(parseValue(line, "PIN=", 0, 5), "");
    EXPECT_EQ(parseValue(line, "IP=", 0, 21), "1.2.3.4");
    EXPECT_EQ(parseValue(line, "PORT=", 0, 7), "22");
    EXPECT_EQ(parseValue(line, "USSD=", 0, 11), std::nullopt);
    EXPECT_EQ(parseValue("USSD=123456789012;", "USSD=", 0, 11), "1234567890");
    EXPECT_EQ(parseValue("PASSWORD=abc\r\n", "PASSWORD=", 8, 9), "abc");
    // A password may begin with a ";" too: below its minimum length a ";" is part of it.
    EXPECT_EQ(parseValue("PASSWORD=;abcdefg;", "PASSWORD=", 8, 9), ";abcdefg");
    // A shorter password ends where the next item or the line does, and only there.
    EXPECT_EQ(parseValue("1:\tPASSWORD=a;b;\tIP=5;", "PASSWORD=", 8, 9), "a;b");
    EXPECT_EQ(parseValue("1:\tPASSWORD=a;b;\tIP=5;", "IP=", 0, 21), "5");
    EXPECT_EQ(parseValue("1:\tPASSWORD=abc; \r\n", "PASSWORD=", 8, 9), "abc");
    EXPECT_EQ(parseValue("1:\tPASSWORD=ab;PIN=1;", "PASSWORD=", 8, 9), "ab;PIN=1");
    EXPECT_EQ(parseValue("1:\tPASSWORD=ab;\tPIN;x", "PASSWORD=", 8, 9), "ab;\tPIN;");
    // A key counts only where an item starts, never inside another item's value.
    EXPECT_EQ(parseValue("1:APNAPN=xIP=9;", "IP=", 0, 21), std::nullopt);
    EXPECT_EQ(parseValue("1:\tIP=1.2.3.4\tPORT=22", "PORT=", 0, 7), std::nullopt);
    EXPECT_EQ(parseValue("1:\tPASSWORD=ab;IP=12;\tPORT=1;", "IP=", 0, 21), std::nullopt);
    EXPECT_EQ(parseValue("1:\tPASSWORD=abcdefghIP=5;\tIP=6;", "IP=", 0, 21), "6");
}

TEST_F(DatabaseFile, ShortPasswordsReadBackAsTheyWereAndKeepTheNextItem) {
    ASSERT_EQ(load(kHead + "2 records\r\n"
                           "00002:\tPASSWORD=abc\r\n"
                           "00003:\tPASSWORD=a;b;\tTELNUM=+7900;\tIP=10.0.0.1;\r\n"),
              DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].password, "abc");
    EXPECT_EQ(records[1].password, "a;b");
    EXPECT_EQ(records[1].phone, "+7900");
    ASSERT_TRUE(save(records));
    const RecordList saved = records;
    ASSERT_EQ(read(records), DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], saved[0]);
    EXPECT_EQ(records[1], saved[1]);
    path = (folder / "fleet-srv.zcf").string();
    ASSERT_EQ(read(records), DatabaseLoad::Read);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].password, "abc");
    EXPECT_EQ(records[1].password, "a;b");
}

TEST_F(DatabaseFile, ValuesThatHoldKeysReadBackAsTheyWere) {
    DeviceRecord tricky;
    tricky.serial = 31;
    tricky.password = "abcIP=12";
    tricky.apn = "APNUSR=x";
    tricky.apnUser = "PIN=1234";
    tricky.serverIp = "10.0.0.1";
    tricky.serverPort = "2224";
    records.addOrReplaceRecord(tricky);
    ASSERT_TRUE(save(records));
    RecordList reread;
    ASSERT_EQ(read(reread), DatabaseLoad::Read);
    ASSERT_EQ(reread.size(), 1u);
    EXPECT_EQ(reread[0].password, "abcIP=12");
    EXPECT_EQ(reread[0].serverIp, "10.0.0.1");
    EXPECT_EQ(reread[0].serverPort, "2224");
    EXPECT_EQ(reread[0].pin, "");
    EXPECT_EQ(reread[0].apnUser, "PIN=1234");
    EXPECT_EQ(reread[0].apn, "APNUSR=x");
}

}  // namespace
}  // namespace korvan
