#include "settings/tracker_profile.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <string>

#include "settings/profile_file.h"
#include "settings/settings_file.h"
#include "tests/support/every_field.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;
using testing::expectSameFields;
using testing::readBytes;
using testing::setEveryField;
using testing::TempFolder;
using testing::writeBytes;

// Every tracker setting away from its first-run value, with a Cyrillic network name and a WEP
// key of the longer size that must be quoted to keep its blanks.
void configure(FieldModel& model) {
    setEveryField(model);
    model.setText(Field::AccessPoint, ansi("Склад №7"));
    model.setText(Field::NetworkKey, " k;\"13 symb\" ");
    model.setChecked(Field::Key64Bit, true);  // a shorter size keeps the longer key
}

// `text` with the line that starts with `start` replaced by `line` (nothing: left out).
std::string replaced(std::string text, std::string_view start, std::string_view line) {
    const auto at = text.find("\r\n" + std::string(start)) + 2;
    const auto end = text.find("\r\n", at) + 2;
    return text.replace(at, end - at, line.empty() ? "" : std::string(line) + "\r\n");
}

// The number, from 1, of the line that starts with `start`.
int lineOf(const std::string& text, std::string_view start) {
    const auto at = text.find("\r\n" + std::string(start)) + 2;
    return static_cast<int>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
}

TEST(TrackerProfile, HoldsTheTrackerSettingsOnlyAndGivesThemBackWhole) {
    FieldModel source;
    configure(source);
    const std::string text = profileText(source);
    EXPECT_EQ(text.rfind("[SERVER]\r\nServPassDef=pa;ss_w0\r\nIP=10.20.30.40\r\nPort=9000\r\n", 0),
              0u);
    EXPECT_NE(text.find(ansi("\r\nWiFiName=Склад №7\r\n")), std::string::npos);
    EXPECT_NE(text.find("\r\nWiFiKey=\" k;\"13 symb\" \"\r\n"), std::string::npos);
    EXPECT_LT(text.find("[DEVICE]"), text.find("[NET]"));
    EXPECT_LT(text.find("[NET]"), text.find("[POINTS]"));
    // The program's own state stays with the program.
    for (const char* notThere : {"APN", "FILE", "LastBegeDB", "MISC", "UnRead"}) {
        EXPECT_EQ(text.find(notThere), std::string::npos) << notThere;
    }
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));

    FieldModel loaded;
    loaded.setText(Field::SerialNumber, "90001");
    ASSERT_EQ(loadProfileText(loaded, text), std::nullopt);
    expectSameFields(loaded, source, {Field::ReadIdentityOnly});
    EXPECT_EQ(loaded.text(Field::SerialNumber), "90001");
    EXPECT_FALSE(loaded.checked(Field::ReadIdentityOnly));
    EXPECT_EQ(loaded.maxLength(Field::NetworkKey), kWepKeyLength64);
    EXPECT_EQ(loaded.text(Field::RecordingPeriodCaption),
              source.text(Field::RecordingPeriodCaption));
}

// The settings reader of this and earlier installations takes a profile as a settings file, and
// the profile gives the fields that the settings file would, also where a later key wins over
// the reaction of an earlier one.
TEST(TrackerProfile, GivesTheFieldsThatTheSettingsReaderGivesForIt) {
    TempFolder folder;
    FieldModel configured;
    configure(configured);
    std::string edited = profileText(FieldModel());
    for (auto [start, line] : {std::pair{"COUNT1=", "COUNT1=1"},
                               {"GPRS1=", "GPRS1=1"},
                               {"AnalogWrite1=", "AnalogWrite1=1"},
                               {"Usr1=", "Usr1=20"},
                               {"p2ingprs=", "p2ingprs=1"},
                               {"64bit=", "64bit=0"}}) {
        edited = replaced(edited, start, line);
    }
    for (const auto& text : {profileText(configured), edited}) {
        writeBytes(folder / "profile.ini", text);
        FieldModel bySettings;
        loadSettings(bySettings, folder / "profile.ini");
        FieldModel byProfile;
        ASSERT_EQ(loadProfileText(byProfile, text), std::nullopt);
        expectSameFields(byProfile, bySettings);
        EXPECT_EQ(byProfile.maxLength(Field::NetworkKey), bySettings.maxLength(Field::NetworkKey));
    }
    FieldModel model;
    ASSERT_EQ(loadProfileText(model, edited), std::nullopt);
    EXPECT_TRUE(model.checked(Field::InputOrdinary1));
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "20");
    EXPECT_TRUE(model.enabled(Field::Point2OnTime));
}

struct BadProfile {
    const char* what;
    std::string text;
    std::string key;
    int line;
};

TEST(TrackerProfile, EveryFaultNamesItsKeyAndLineAndLeavesTheFieldsAlone) {
    FieldModel configured;
    configure(configured);
    const std::string good = profileText(configured);
    const auto bad = [&](const char* start, const std::string& line) {
        return replaced(good, start, line);
    };
    const auto at = [&](const char* start) { return lineOf(good, start); };
    const BadProfile cases[] = {
        {"a flag of 2", bad("WideWrite=", "WideWrite=2"), "DEVICE/WideWrite", at("WideWrite=")},
        {"a flag as a word", bad("AutoIP=", "AutoIP=yes"), "NET/AutoIP", at("AutoIP=")},
        {"an input type of 2", bad("TEMP3=", "TEMP3=2"), "DEVICE/TEMP3", at("TEMP3=")},
        {"no such item", bad("InputBox2=", "InputBox2=2"), "DEVICE/InputBox2", at("InputBox2=")},
        {"no item", bad("WriteMethod=", "WriteMethod=-1"), "DEVICE/WriteMethod",
         at("WriteMethod=")},
        {"an item that is no number", bad("Sert=", "Sert=abc"), "NET/Sert", at("Sert=")},
        {"an empty item", bad("AnalogMethod=", "AnalogMethod="), "DEVICE/AnalogMethod",
         at("AnalogMethod=")},
        {"a long password", bad("ServPassDef=", "ServPassDef=123456789"), "SERVER/ServPassDef",
         at("ServPassDef=")},
        {"a long WEP key", bad("WiFiKey=", "WiFiKey=12345678901234"), "NET/WiFiKey",
         at("WiFiKey=")},
        {"a long text without a box limit", bad("p3rad=", "p3rad=" + std::string(2048, '5')),
         "POINTS/p3rad", at("p3rad=")},
        {"no such hemisphere", bad("p2NS=", "p2NS=n"), "POINTS/p2NS", at("p2NS=")},
        {"an unknown key", bad("Ain1=", "Ain1=100\r\nAin3=5"), "DEVICE/Ain3", at("Ain1=") + 1},
        {"a key of the program", good + "\r\n[MISC]\r\nUnRead=1\r\n", "MISC/UnRead",
         at("p3ontime=") + 3},
        {"a key twice", bad("IP=", "IP=1.2.3.4\r\nip=5.6.7.8"), "SERVER/IP", at("IP=") + 1},
        {"a key before any section", "Port=1\r\n" + good, "Port", 1},
        {"a section twice", good + "[SERVER]\r\n", "", at("p3ontime=") + 1},
        {"a line that is neither", bad("DevIP=", "DevIP"), "", at("DevIP")},
    };
    for (const auto& c : cases) {
        FieldModel model;
        const auto before = model.snapshot();
        int told = 0;
        auto listening = model.subscribe([&](Field, Aspect) { ++told; });
        const auto error = loadProfileText(model, c.text);
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_EQ(error->key, c.key) << c.what;
        EXPECT_EQ(error->line, c.line) << c.what;
        EXPECT_NE(error->message.find("Строка " + std::to_string(c.line) + ": "), std::string::npos)
            << c.what << ": " << error->message;
        EXPECT_NE(error->message.find(c.key), std::string::npos) << c.what;
        EXPECT_TRUE(model.snapshot() == before) << c.what;
        EXPECT_EQ(told, 0) << c.what;
    }
}

TEST(TrackerProfile, MissingKeysAreAnErrorUnlessTheyMayKeepTheFieldsValues) {
    FieldModel configured;
    configure(configured);
    const std::string partial =
        replaced(replaced(profileText(configured), "p3rad=", ""), "Port=", "");

    FieldModel model;
    model.setText(Field::ServerPort, "7777");
    model.setText(Field::Point3Radius, "350");
    const auto before = model.snapshot();
    const auto error = loadProfileText(model, partial);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->key, "SERVER/Port");
    EXPECT_EQ(error->line, 0);
    EXPECT_EQ(error->message, "В профиле нет ключа SERVER/Port (не хватает ключей: 2)");
    EXPECT_TRUE(model.snapshot() == before);

    ASSERT_EQ(loadProfileText(model, partial, true), std::nullopt);
    EXPECT_EQ(model.text(Field::ServerPort), "7777");
    EXPECT_EQ(model.text(Field::Point3Radius), "350");
    EXPECT_EQ(model.text(Field::ServerAddress), "10.20.30.40");
    EXPECT_EQ(model.text(Field::Point2Radius), "252");
    // Present keys are still checked.
    EXPECT_TRUE(loadProfileText(model, "[DEVICE]\r\nStaticWrite=3\r\n", true).has_value());
}

TEST(TrackerProfile, FilesAreSavedForTheUserAloneAndRefusedWithTheirPath) {
    TempFolder folder;
    const auto path = folder / "Автопарк.ini";
    FieldModel configured;
    configure(configured);
    ASSERT_EQ(saveProfile(configured, path), std::nullopt);
    EXPECT_EQ(readBytes(path), profileText(configured));
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    FieldModel loaded;
    ASSERT_EQ(loadProfile(loaded, path), std::nullopt);
    EXPECT_EQ(loaded.text(Field::AccessPoint), configured.text(Field::AccessPoint));

    const auto missing = loadProfile(loaded, folder / "нет.ini");
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->line, 0);
    EXPECT_NE(missing->message.find("нет.ini"), std::string::npos);

    const auto noFolder = saveProfile(configured, folder / "нет" / "p.ini");
    ASSERT_TRUE(noFolder.has_value());
    EXPECT_NE(noFolder->find("нет"), std::string::npos);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    FieldModel other;
    EXPECT_TRUE(saveProfile(other, path).has_value());
    EXPECT_EQ(readBytes(path), profileText(configured));
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST(ProfileFileRead, APageOfTextIsReadAndAnythingLargerOrEndlessIsRefusedUnread) {
    testing::TempFolder folder;
    std::string why;
    const std::string page(std::size_t{1} << 20, '\n');
    testing::writeBytes(folder / "page.ini", page);
    const auto bytes = readProfileFile(folder / "page.ini", why);
    ASSERT_TRUE(bytes) << why;
    EXPECT_EQ(bytes->size(), page.size());
    testing::writeBytes(folder / "more.ini", page + "\n");
    EXPECT_FALSE(readProfileFile(folder / "more.ini", why));
    EXPECT_NE(why.find("слишком велик"), std::string::npos) << why;
    EXPECT_FALSE(readProfileFile(folder / "none.ini", why));
#ifndef _WIN32
    EXPECT_FALSE(readProfileFile("/dev/zero", why));
    EXPECT_NE(why.find("не обычный файл"), std::string::npos) << why;
    ASSERT_EQ(::mkfifo((folder / "pipe.ini").c_str(), 0600), 0);
    EXPECT_FALSE(readProfileFile(folder / "pipe.ini", why));  // refused, not waited on
#endif
}

TEST(ProfileFileRead, TheOutlineKeepsOnlyWhatTheLinesSayWithTheirNumbers) {
    const auto outline =
        ProfileFile::outlineOf("\r\n; note\r\n[SERVER]\r\n\n\rPort = \"2224\"\r\n");
    ASSERT_EQ(outline.size(), 2u);
    EXPECT_EQ(outline[0].kind, ProfileLine::Kind::Section);
    EXPECT_EQ(outline[0].number, 3);
    EXPECT_EQ(outline[1].kind, ProfileLine::Kind::Key);
    EXPECT_EQ(outline[1].number, 6);
    EXPECT_EQ(outline[1].name, "Port");
    EXPECT_EQ(outline[1].value, "2224");
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST(ProfileFileRead, AMessageCarriesNoControlCharacterAndNoRawByteOfTheFile) {
    FieldModel model;
    // An unknown key with a Cyrillic letter (a Windows-1251 byte) and a terminal's escape.
    const std::string bytes = "[SERVER]\r\n" + ansi("Ключ") + "\x1B[2J=1\r\n";
    const auto error = loadProfileText(model, bytes);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message,
              "Строка 2: ключ SERVER/Ключ\\x1B[2J не относится к настройкам трекера");
    const auto value = loadProfileText(model, "[DEVICE]\r\nPeriodDef=5\x07\r\n", true);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->message.find('\x07'), std::string::npos) << value->message;
    EXPECT_NE(value->message.find("\\x07"), std::string::npos) << value->message;
}

}  // namespace
}  // namespace korvan
