#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <string>

namespace korvan {
namespace {

TEST(ProfileFile, SectionsAndKeysMatchWithoutRegardToCaseAndTheFirstMatchCounts) {
    const auto file =
        ProfileFile::parse("[device]\r\nperioddef=7\r\nPeriodDef=8\r\n[DEVICE]\r\nWideWrite=1\r\n");
    EXPECT_EQ(file.read("DEVICE", "PeriodDef"), "7");
    EXPECT_EQ(file.read("Device", "PERIODDEF"), "7");
    // Only the first section of a name is looked at, as the platform's reader does.
    EXPECT_EQ(file.read("DEVICE", "WideWrite"), std::nullopt);
    EXPECT_EQ(file.read("NET", "PeriodDef"), std::nullopt);
}

TEST(ProfileFile, ValuesAreTrimmedAndLoseEnclosingQuotes) {
    const auto file = ProfileFile::parse(
        "[S]\n  a =  spaced value \t\nb=\"quoted \"\nc='x'\nd=\"half\ne=\nf=a=b\n"
        "  [ T ]  \ng=1\n");
    EXPECT_EQ(file.read("S", "a"), "spaced value");
    EXPECT_EQ(file.read("S", "b"), "quoted ");
    EXPECT_EQ(file.read("S", "c"), "x");
    EXPECT_EQ(file.read("S", "d"), "\"half");
    EXPECT_EQ(file.read("S", "e"), "");
    EXPECT_EQ(file.read("S", "f"), "a=b");
    EXPECT_EQ(file.read("T", "g"), "1");
}

TEST(ProfileFile, LongValuesAreCutTo2047Characters) {
    const std::string value(3000, 'v');
    const auto file =
        ProfileFile::parse("[S]\nlong=" + value + "\nexact=" + std::string(2047, 'e') + "\n");
    EXPECT_EQ(file.read("S", "long"), std::string(2047, 'v'));
    EXPECT_EQ(file.read("S", "exact"), std::string(2047, 'e'));
}

TEST(ProfileFile, WritingKeepsEveryLineItDoesNotOwn) {
    const std::string original =
        "; kept comment\r\n"
        "[SERVER]\r\n"
        "Port=1\r\n"
        "Custom=keep me\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=y\r\n";
    auto file = ProfileFile::parse(original);
    file.write("server", "PORT", "2224");
    file.write("SERVER", "IP", "10.1.1.1");
    file.write("NET", "AutoIP", "1");
    EXPECT_EQ(file.serialize(),
              "; kept comment\r\n"
              "[SERVER]\r\n"
              "Port=2224\r\n"
              "Custom=keep me\r\n"
              "IP=10.1.1.1\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=y\r\n"
              "\r\n"
              "[NET]\r\n"
              "AutoIP=1\r\n");
}

TEST(ProfileFile, AFileWithBareLineFeedsKeepsThem) {
    auto file = ProfileFile::parse("[A]\nk=1");
    file.write("A", "k", "2");
    file.write("A", "n", "3");
    EXPECT_EQ(file.serialize(), "[A]\nk=2\nn=3\n");
}

TEST(ProfileFile, EveryLineKeepsItsOwnEndThroughAnySaves) {
    // A stray CR in a file of bare line feeds, a bare line feed in a CR LF file, and a CR that
    // only trims from a value: none is lost or added, however often the file is saved.
    const std::string lf = "[A]\nk=1\nnote=x\r\r\nz=2\r\n";
    const std::string crlf = "[A]\r\nk=1\r\nnote=x\nz=2\r\n";
    for (const auto& original : {lf, crlf}) {
        std::string bytes = original;
        for (int save = 0; save < 3; ++save) {
            auto file = ProfileFile::parse(bytes);
            EXPECT_EQ(file.read("A", "note"), "x");
            file.write("A", "k", "1");
            bytes = file.serialize();
        }
        EXPECT_EQ(bytes, original);
    }
}

TEST(ProfileFile, ALoneCrEndsALineAndStaysWhereItWas) {
    const std::string mixed = "[A]\r\nk=100.2\r23\r\nq=\"x\ry\"\r\n";
    auto file = ProfileFile::parse(mixed);
    EXPECT_EQ(file.read("A", "k"), "100.2");
    EXPECT_EQ(file.read("A", "23"), std::nullopt);
    EXPECT_EQ(file.read("A", "q"), "\"x");
    file.write("A", "k", "100.2");
    EXPECT_EQ(file.serialize(), mixed);

    // A file of nothing but CRs is lines too, and new lines end like its own.
    file = ProfileFile::parse("[A]\rk=1\r[B]\rm=2");
    EXPECT_EQ(file.read("A", "k"), "1");
    EXPECT_EQ(file.read("B", "m"), "2");
    file.write("A", "n", "3");
    EXPECT_EQ(file.serialize(), "[A]\rk=1\rn=3\r[B]\rm=2");
}

TEST(ProfileFile, AFileWithAByteOrderMarkIsReadWholeAndWrittenBackInItsEncoding) {
    const std::string text = "[SERVER]\r\nIP=10.0.0.1\r\nName=Автопарк 🚚\r\n";
    auto utf16 = [](std::u16string_view units, bool bigEndian) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : units) {
            const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
            bytes += bigEndian ? high : low;
            bytes += bigEndian ? low : high;
        }
        return bytes;
    };
    const std::u16string units = u"[SERVER]\r\nIP=10.0.0.1\r\nName=Автопарк 🚚\r\n";
    const std::string files[] = {"\xEF\xBB\xBF" + text, utf16(units, false), utf16(units, true)};
    for (const auto& bytes : files) {
        auto file = ProfileFile::parse(bytes);
        EXPECT_EQ(file.serialize(), bytes);
        // The first section is found, values come in the code page, the exact text on request.
        EXPECT_EQ(file.read("SERVER", "IP"), "10.0.0.1");
        EXPECT_EQ(file.read("SERVER", "Name"), "\xC0\xE2\xF2\xEE\xEF\xE0\xF0\xEA ?");
        EXPECT_EQ(file.readUtf8("SERVER", "Name"), "Автопарк 🚚");
        file.write("SERVER", "IP", "\xC4\xE5\xEF\xEE");  // "Депо" in the code page
        file.writeUtf8("SERVER", "Path", "/home/t/车队.zcf");
        const auto reread = ProfileFile::parse(file.serialize());
        EXPECT_EQ(reread.encoding(), file.encoding());
        EXPECT_EQ(reread.readUtf8("SERVER", "IP"), "Депо");
        EXPECT_EQ(reread.readUtf8("SERVER", "Path"), "/home/t/车队.zcf");
        EXPECT_EQ(reread.serialize().find("[SERVER]", 10), std::string::npos) << "one section";
    }
    // A unit outside a surrogate pair and an odd last byte survive too.
    const std::string odd = utf16(u"[A]\r\nk=", false) + "\x00\xD8" + "z";
    EXPECT_EQ(ProfileFile::parse(odd).serialize(), odd);
}

TEST(ProfileFile, EveryValueReadsBackAsItWasWritten) {
    const std::string values[] = {"",       " lead",    "trail\t",
                                  "'both'", "\"both\"", "a\"b",
                                  "x'",     "=;[]",     std::string("\xCA\xEB\xFE\xF7", 4)};
    ProfileFile file;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        file.write("S", "k" + std::to_string(i), values[i]);
    }
    const auto reread = ProfileFile::parse(file.serialize());
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(reread.read("S", "k" + std::to_string(i)), values[i]) << i;
    }
}

TEST(ProfileFile, ALineBreakInAValueCannotForgeAnotherKey) {
    ProfileFile file;
    file.write("S", "name", "evil\r\n[FILE]\r\nLastBegeDB=/etc/passwd");
    const auto reread = ProfileFile::parse(file.serialize());
    EXPECT_EQ(reread.read("FILE", "LastBegeDB"), std::nullopt);
    EXPECT_EQ(reread.read("S", "name"), "evil[FILE]LastBegeDB=/etc/passwd");
}

TEST(ProfileFile, IntegersAreDecimalOrHexadecimal) {
    EXPECT_EQ(parseProfileInteger("0"), 0);
    EXPECT_EQ(parseProfileInteger("-1"), -1);
    EXPECT_EQ(parseProfileInteger("+12"), 12);
    EXPECT_EQ(parseProfileInteger("$1F"), 31);
    EXPECT_EQ(parseProfileInteger("0x10"), 16);
    EXPECT_EQ(parseProfileInteger("2147483647"), 2147483647);
    for (const char* bad : {"", "-", "abc", "1x", "1 2", "--1", "+-1", "0x", "$", "2147483648"}) {
        EXPECT_EQ(parseProfileInteger(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace korvan
