// The device database as the program opens and saves it: the records of any file, saved and
// opened again, are the same records, and the server file holds their passwords.
#include "database/database_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "core/scripted_desktop.h"
#include "database/device_database.h"
#include "fuzz/fuzz_check.h"

namespace {

using korvan::DeviceRecord;
using korvan::RecordList;
using korvan::fuzz::require;

const korvan::fuzz::ScratchFolder scratch;

std::optional<RecordList> load(const std::filesystem::path& path) {
    RecordList records;
    if (!korvan::readWhole(korvan::loadDatabase(path.string(), records).load)) {
        return std::nullopt;
    }
    return records;
}

bool sameRecords(const RecordList& a, const RecordList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// A value ends at a line end and at the first ";" past its minimum, and fits its buffer.
void checkParseValue(std::string_view line, std::uint8_t choice) {
    static constexpr std::string_view kKeys[] = {"PASSWORD=", "PIN=", "IP=", "PERIODWR=", "USSD="};
    const auto key = kKeys[choice % std::size(kKeys)];
    const std::size_t minLength = (choice & 0x10) != 0 ? 8 : 0;
    const std::size_t capacity = 1 + (choice >> 5) * 5;
    const auto value = korvan::parseValue(line, key, minLength, capacity);
    if (!value) {
        return;
    }
    require(value->size() < capacity, "a value overflows its buffer");
    require(value->find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
            "a value runs over its line end");
    const auto semicolon = value->find(';');
    require(semicolon == std::string::npos || semicolon < minLength,
            "a value runs over its closing semicolon");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size > 0) {
        checkParseValue(bytes.substr(1), data[0]);
    }

    const auto path = scratch.put("fleet.zcf", bytes);
    const auto serverPath = scratch / "fleet-srv.zcf";
    std::filesystem::remove(serverPath);

    // Opened and saved as the window does it.
    korvan::ScriptedDesktop desktop;
    korvan::DeviceDatabase database(desktop);
    database.startUp(path.string());
    if (!load(path)) {
        return 0;  // nothing was read, so nothing is saved
    }
    database.save();
    require(korvan::readWholeFile(path) == korvan::databaseFileText(database.records()),
            "the saved database is not its text");

    const auto reopened = load(path);
    require(reopened.has_value(), "a saved database does not open");
    require(sameRecords(*reopened, database.records()), "records change between save and open");

    RecordList passwords;
    for (const DeviceRecord& record : database.records()) {
        DeviceRecord onlyPassword;
        onlyPassword.serial = record.serial;
        onlyPassword.password = record.password;
        passwords.addOrReplaceRecord(onlyPassword);
    }
    const auto server = load(serverPath);
    require(server.has_value(), "a saved server file does not open");
    require(sameRecords(*server, passwords), "the server file does not hold the passwords");
    return 0;
}
