#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/file_io.h"
#include "tests/support/every_field.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;
using testing::expectSameFields;
using testing::readBytes;
using testing::setEveryField;
using testing::TempFolder;
using testing::writeBytes;

std::string pointKeys(int n) {
    const std::string p = "p" + std::to_string(n);
    return p + "lad=\r\n" + p + "lam=\r\n" + p + "lamm=\r\n" + p + "NS=N\r\n" + p + "lod=\r\n" + p +
           "lom=\r\n" + p + "lomm=\r\n" + p + "EW=E\r\n" + p + "rad=50\r\n" + p + "inout=0\r\n" +
           p + "outout=0\r\n" + p + "ingprs=0\r\n" + p + "outgprs=0\r\n" + p + "ontime=1\r\n";
}

// The file a first run leaves behind: every key, sections in the order of their first key.
const std::string kFirstRunFile =
    "[APN]\r\nApnDef=\r\nUserDef=\r\nPasswordDef=\r\n\r\n"
    "[SERVER]\r\nServPassDef=\r\nIP=" +
    std::string(kDataServerAddress) +
    "\r\nPort=2224\r\n\r\n"
    "[DEVICE]\r\nPeriodSendDef=120\r\nPeriodDef=5\r\nWriteMethod=1\r\nWideWrite=0\r\n"
    "StaticWrite=0\r\nCOUNT1=0\r\nCOUNT2=0\r\nCOUNT3=0\r\nCOUNT4=0\r\nTEMP1=0\r\nTEMP2=0\r\n"
    "TEMP3=0\r\nTEMP4=0\r\nGPRS1=0\r\nGPRS2=0\r\nGPRS3=0\r\nGPRS4=0\r\nInputBox1=0\r\n"
    "InputBox2=0\r\nInputBox3=0\r\nInputBox4=0\r\nAnalogTime=3600\r\nCounterTime=3600\r\n"
    "CounterTime34=0\r\nAin1=1023\r\nAin2=1023\r\nUsr1=16\r\nUsr2=16\r\nAnalogWrite1=0\r\n"
    "AnalogWrite2=0\r\nAnalogMethod=1\r\n\r\n"
    "[FILE]\r\nLastBegeDB=\r\nLastBegeDBUtf8=\r\n\r\n"
    "[MISC]\r\nUnRead=0\r\nVerifyWrite=0\r\n\r\n"
    "[NET]\r\nAutoIP=1\r\nNoCrypt=1\r\n64bit=1\r\nSert=0\r\nDevIP=192.168.0.2\r\n"
    "Netmask=255.255.255.0\r\nDefGW=192.168.0.1\r\nWiFiKey=\r\nWiFiName=\r\n\r\n"
    "[POINTS]\r\n" +
    pointKeys(1) + pointKeys(2) + pointKeys(3);

class SettingsFile : public ::testing::Test {
  protected:
    TempFolder folder;
    std::filesystem::path path = folder / "korvan.ini";

    // A model as start-up leaves it after reading `contents` (CR LF added per line).
    void load(FieldModel& model, const std::string& contents) {
        writeBytes(path, contents);
        loadSettings(model, path);
    }
};

TEST_F(SettingsFile, FirstRunGivesTheValuesForAMissingFileAndSavesEveryKeyInOrder) {
    FieldModel model;
    loadSettings(model, path);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "5");
    EXPECT_EQ(model.text(Field::SendingPeriod), "120");
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 1);
    EXPECT_EQ(model.text(Field::RecordingPeriodCaption), ansi("Интервал записи точек (м):"));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(model.text(ofPoint(Field::Point1Radius, n)), "50");
        EXPECT_EQ(model.text(ofPoint(Field::Point1OnTime, n)), "1");
        EXPECT_FALSE(model.enabled(ofPoint(Field::Point1OnTime, n)));
    }
    EXPECT_EQ(model.text(Field::ServerAddress), kDataServerAddress);
    EXPECT_TRUE(model.checked(Field::NoEncryption));
    EXPECT_TRUE(model.databasePath.empty());

    const auto saved = saveSettings(model, path);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(readBytes(path), kFirstRunFile);
    // Nothing else is left beside it, and it is the user's alone: it holds passwords.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(SettingsFile, EveryFieldSurvivesARestart) {
    FieldModel before;
    setEveryField(before);
    ASSERT_TRUE(saveSettings(before, path).ok);

    FieldModel after;
    loadSettings(after, path);
    expectSameFields(after, before);
    EXPECT_EQ(after.databasePath, before.databasePath);
    EXPECT_NE(readBytes(path).find(ansi("LastBegeDB=/home/техник/Автопарк/fleet.zcf\r\n")),
              std::string::npos);
    EXPECT_EQ(after.text(Field::RecordingPeriodCaption), ansi("Период записи точек (сек):"));
}

TEST_F(SettingsFile, LaterKeysWinOverTheReactionsOfEarlierOnes) {
    FieldModel model;
    load(model,
         "[DEVICE]\r\nCOUNT1=1\r\nGPRS1=1\r\nCOUNT2=1\r\nTEMP2=1\r\nCOUNT3=1\r\n"
         "AnalogWrite1=1\r\nUsr1=20\r\nAnalogWrite2=1\r\n"
         "[POINTS]\r\np2ingprs=1\r\np2ontime=7\r\np3outgprs=1\r\n"
         "[NET]\r\nAutoIP=0\r\nNoCrypt=0\r\n64bit=0\r\n");
    // The stored send flag, read after the counter type, makes input 1 ordinary again.
    EXPECT_TRUE(model.checked(Field::InputOrdinary1));
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce1));
    EXPECT_TRUE(model.checked(Field::InputPeriodic2));
    EXPECT_TRUE(model.checked(Field::InputAccumulating3));
    EXPECT_TRUE(model.checked(Field::InputOrdinary4));
    // The stored averaging period wins; a missing one gives its first-run value.
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "20");
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "16");
    EXPECT_TRUE(model.enabled(Field::Point2OnTime));
    EXPECT_EQ(model.text(Field::Point2OnTime), "7");
    EXPECT_TRUE(model.enabled(Field::Point3OnTime));
    EXPECT_FALSE(model.enabled(Field::Point1OnTime));
    EXPECT_TRUE(model.checked(Field::FixedAddress));
    for (Field f : {Field::DeviceAddress, Field::Netmask, Field::Gateway, Field::NetworkKey}) {
        EXPECT_TRUE(model.enabled(f)) << fieldInfo(f).name;
    }
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 13);
}

TEST_F(SettingsFile, OddStoredValuesFallBackWhereTheyCannotBeUsed) {
    FieldModel model;
    load(model,
         "[device]\r\nwritemethod=7\r\nInputBox1=-1\r\nInputBox2=abc\r\nInputBox3=\r\n"
         "InputBox4=$1\r\nAnalogMethod=-2\r\nWideWrite=2\r\nStaticWrite=x\r\nPeriodDef=\r\n"
         "[NET]\r\nSert=1\r\nWiFiName=" +
             std::string(3000, 'n') +
             "\r\n"
             "[POINTS]\r\np1NS=S\r\np2EW=Q\r\n");
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 1);  // no such item
    EXPECT_EQ(model.itemIndex(Field::InputTrigger1), -1);   // nothing selected, kept
    EXPECT_EQ(model.itemIndex(Field::InputTrigger2), 0);    // not a number
    EXPECT_EQ(model.itemIndex(Field::InputTrigger3), 0);    // empty
    EXPECT_EQ(model.itemIndex(Field::InputTrigger4), 1);    // hexadecimal
    EXPECT_EQ(model.itemIndex(Field::AnalogRecordingMethod), 1);
    EXPECT_EQ(model.itemIndex(Field::Authentication), 1);
    EXPECT_TRUE(model.checked(Field::WideRecording));
    EXPECT_FALSE(model.checked(Field::StaticProcessing));
    EXPECT_EQ(model.text(Field::RecordingPeriod), "");  // present but empty: empty, not "5"
    EXPECT_EQ(model.text(Field::AccessPoint), std::string(2047, 'n'));
    EXPECT_EQ(model.itemIndex(Field::Point1LatitudeHemisphere), 1);
    EXPECT_EQ(model.text(Field::Point2LongitudeHemisphere), "Q");
}

TEST_F(SettingsFile, AFileFromAnEarlierInstallationKeepsWhatThisProgramDoesNotKnow) {
    FieldModel model;
    load(model,
         "; written by hand\r\n[server]\r\nport=1234\r\nComment=fleet 7\r\n\r\n"
         "[Extra]\r\nanything=at all\r\n");
    EXPECT_EQ(model.text(Field::ServerPort), "1234");
    model.setText(Field::ServerPort, "4321");
    ASSERT_TRUE(saveSettings(model, path).ok);
    const std::string saved = readBytes(path);
    EXPECT_EQ(saved.rfind("; written by hand\r\n[server]\r\nport=4321\r\nComment=fleet 7\r\n", 0),
              0u);
    EXPECT_NE(saved.find("[Extra]\r\nanything=at all\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("Port="), std::string::npos) << "the existing key is reused";
    FieldModel reread;
    loadSettings(reread, path);
    EXPECT_EQ(reread.text(Field::ServerPort), "4321");
}

TEST_F(SettingsFile, AStrayCrEndsAValueAndTheValueSurvivesSaves) {
    FieldModel model;
    load(model, "[DEVICE]\r\nAin1=100.2\r23\r\n[FILE]\r\nLastBegeDB=f\r:\r\n");
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "100.2");
    EXPECT_EQ(model.databasePath, "f");
    for (int save = 0; save < 2; ++save) {
        ASSERT_TRUE(saveSettings(model, path).ok);
        FieldModel reread;
        loadSettings(reread, path);
        EXPECT_EQ(reread.text(Field::AnalogThreshold1), "100.2");
        EXPECT_EQ(reread.databasePath, "f");
    }
    EXPECT_EQ(readBytes(path).rfind("[DEVICE]\r\nAin1=100.2\r23\r\n", 0), 0u);
}

TEST_F(SettingsFile, ADatabasePathTheCodePageCannotHoldComesBackExactly) {
    FieldModel model;
    model.databasePath = "/home/t/车队/fleet 🚚.zcf";
    ASSERT_TRUE(saveSettings(model, path).ok);
    // Earlier installations read the old key, as near as the code page comes.
    EXPECT_NE(readBytes(path).find("LastBegeDB=/home/t/?"
                                   "?/fleet ?.zcf\r\n"),
              std::string::npos);
    FieldModel reread;
    loadSettings(reread, path);
    EXPECT_EQ(reread.databasePath, model.databasePath);

    // An earlier installation chose another database since and left the exact key behind.
    std::string bytes = readBytes(path);
    const auto old = bytes.find("LastBegeDB=");
    bytes.replace(old, bytes.find("\r\n", old) - old, ansi("LastBegeDB=/home/t/Парк.zcf"));
    writeBytes(path, bytes);
    loadSettings(reread, path);
    EXPECT_EQ(reread.databasePath, "/home/t/Парк.zcf");
}

TEST_F(SettingsFile, AFileSavedAsUtf8WithAMarkIsReadWholeAndStaysUtf8) {
    const std::string mark = "\xEF\xBB\xBF";
    FieldModel model;
    load(model, mark + "[SERVER]\r\nIP=10.9.8.7\r\nServPassDef=Пароль12\r\n");
    EXPECT_EQ(model.text(Field::ServerAddress), "10.9.8.7");
    EXPECT_EQ(model.text(Field::ServerPassword), ansi("Пароль12"));
    ASSERT_TRUE(saveSettings(model, path).ok);
    const std::string saved = readBytes(path);
    EXPECT_EQ(saved.rfind(mark + "[SERVER]\r\nIP=10.9.8.7\r\nServPassDef=Пароль12\r\n", 0), 0u);
    EXPECT_EQ(saved.find("[SERVER]", mark.size() + 1), std::string::npos);
}

TEST_F(SettingsFile, EachControlPointKeepsItsOwnSendTime) {
    FieldModel first;
    loadSettings(first, path);
    first.setText(Field::Point2OnTime, "7");
    ASSERT_TRUE(saveSettings(first, path).ok);
    FieldModel second;
    loadSettings(second, path);
    EXPECT_EQ(second.text(Field::Point2OnTime), "7");
    EXPECT_EQ(second.text(Field::Point1OnTime), "1");
    EXPECT_EQ(second.text(Field::Point3OnTime), "1");
}

TEST_F(SettingsFile, AFileOverAMebibyteIsNeitherReadNorSavedOverButOneAtItIs) {
    // Exactly 1 MiB: a port line, padded with a comment of blanks.
    std::string atLimit = "[SERVER]\r\nPort=7001\r\n;";
    atLimit += std::string((1 << 20) - atLimit.size(), ' ');
    writeBytes(path, atLimit);
    FieldModel model;
    loadSettings(model, path);
    EXPECT_EQ(model.text(Field::ServerPort), "7001");
    EXPECT_TRUE(saveSettings(model, path).ok);

    const std::string over = atLimit + " ";
    writeBytes(path, over);
    FieldModel defaults;
    loadSettings(defaults, path);
    EXPECT_NE(defaults.text(Field::ServerPort), "7001");
    EXPECT_FALSE(saveSettings(defaults, path).ok);
    EXPECT_EQ(readBytes(path), over);
}

TEST_F(SettingsFile, AReadOnlyFileIsRefusedWithItsPathAndLeftWhole) {
    writeBytes(path, kFirstRunFile);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    FieldModel model;
    model.setText(Field::ServerPort, "1");
    const auto saved = saveSettings(model, path);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.error, "Не удалось записать файл настроек " + path.string());
    EXPECT_EQ(readBytes(path), kFirstRunFile);
}

TEST_F(SettingsFile, AReadOnlyFolderIsReportedAndTheOldFileStaysWhole) {
    writeBytes(path, kFirstRunFile);
    testing::handToOrdinaryUser(folder.path());
    std::filesystem::permissions(
        folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(testing::asOrdinaryUser([&]() -> std::string {
                  FieldModel model;
                  model.setText(Field::ServerPort, "1");
                  const auto saved = saveSettings(model, path);
                  if (saved.ok) {
                      return "saved into a read-only folder";
                  }
                  if (saved.error != "Не удалось записать файл настроек " + path.string()) {
                      return saved.error;
                  }
                  return readBytes(path) == kFirstRunFile ? "" : "the old file changed";
              }),
              "");
}

TEST_F(SettingsFile, SomethingThatIsNotAFileIsNeitherReadNorReplaced) {
    std::filesystem::create_directory(path);
    FieldModel model;
    loadSettings(model, path);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "5");
    EXPECT_FALSE(saveSettings(model, path).ok);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(SettingsFile, SavingIntoAFolderThatDoesNotExistYetCreatesIt) {
    const auto perUser = folder / "config" / "korvan" / "korvan.ini";
    FieldModel model;
    loadSettings(model, perUser);
    ASSERT_TRUE(saveSettings(model, perUser).ok);
    EXPECT_EQ(readBytes(perUser), kFirstRunFile);
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// The window's place comes back as it was saved, negative (a screen left of the first) too;
// a place not whole, or not a number, is no place; a file without one gains none on a save.
TEST_F(SettingsFile, TheWindowsPlaceComesBackAndAnOddOneIsNone) {
    FieldModel model;
    loadSettings(model, path);
    EXPECT_FALSE(model.windowPlace.has_value());
    ASSERT_TRUE(saveSettings(model, path).ok);
    EXPECT_EQ(readBytes(path).find("[WINDOW]"), std::string::npos);

    model.windowPlace = WindowPlace{-1280, 37};
    ASSERT_TRUE(saveSettings(model, path).ok);
    EXPECT_NE(readBytes(path).find("[WINDOW]\r\nLeft=-1280\r\nTop=37\r\n"), std::string::npos);
    FieldModel after;
    loadSettings(after, path);
    EXPECT_EQ(after.windowPlace, (WindowPlace{-1280, 37}));

    for (const char* odd :
         {"[WINDOW]\r\nLeft=10\r\n", "[WINDOW]\r\nLeft=10\r\nTop=1e3\r\n",
          "[WINDOW]\r\nLeft=\r\nTop=5\r\n", "[WINDOW]\r\nLeft=99999999999\r\nTop=5\r\n"}) {
        FieldModel oddModel;
        load(oddModel, odd);
        EXPECT_FALSE(oddModel.windowPlace.has_value()) << odd;
    }
}

}  // namespace
}  // namespace korvan
