#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/tracker_facts.h"

namespace korvan {

// One configured device, as the database keeps it. Texts are Windows-1251 bytes, cut to the
// widths the database format allows.
struct DeviceRecord {
    static constexpr std::size_t kPasswordWidth = kPasswordLength;
    static constexpr std::size_t kPinWidth = 4;
    static constexpr std::size_t kApnWidth = 40;
    static constexpr std::size_t kApnUserWidth = 30;
    static constexpr std::size_t kApnPasswordWidth = 30;
    static constexpr std::size_t kServerIpWidth = 20;
    static constexpr std::size_t kServerPortWidth = 6;
    static constexpr std::size_t kPhoneWidth = 20;
    static constexpr std::size_t kUssdWidth = 10;

    std::int32_t serial = 0;
    std::string password;
    std::string pin;
    std::int32_t writePeriod = 0;
    std::int32_t sendPeriod = 0;
    std::string apn;
    std::string apnUser;
    std::string apnPassword;
    std::string serverIp;
    std::string serverPort;
    std::string phone;
    std::string ussd;

    // Every text cut to its width.
    void cutToWidths();
    bool operator==(const DeviceRecord&) const = default;
};

enum class RecordStored : std::uint8_t { Added, Replaced, ListFull, NoDevice };

// The devices configured so far, at most one record per serial number, in the order in which
// each serial number first entered the list.
class RecordList {
  public:
    static constexpr std::size_t kCapacity = 1024;

    // The index of the record with this serial number, or -1.
    int findRecord(std::int32_t serial) const;
    // A known serial number keeps its place and takes the new values, even in a full list; a
    // new one is appended while there is room.
    RecordStored addOrReplaceRecord(DeviceRecord record);
    void clearRecords() { records_.clear(); }

    std::size_t size() const { return records_.size(); }
    const DeviceRecord& operator[](std::size_t index) const { return records_[index]; }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

  private:
    std::vector<DeviceRecord> records_;
};

}  // namespace korvan
