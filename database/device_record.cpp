#include "database/device_record.h"

namespace korvan {
namespace {

void cut(std::string& text, std::size_t width) {
    if (text.size() > width) {
        text.resize(width);
    }
}

}  // namespace

void DeviceRecord::cutToWidths() {
    cut(password, kPasswordWidth);
    cut(pin, kPinWidth);
    cut(apn, kApnWidth);
    cut(apnUser, kApnUserWidth);
    cut(apnPassword, kApnPasswordWidth);
    cut(serverIp, kServerIpWidth);
    cut(serverPort, kServerPortWidth);
    cut(phone, kPhoneWidth);
    cut(ussd, kUssdWidth);
}

int RecordList::findRecord(std::int32_t serial) const {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].serial == serial) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

RecordStored RecordList::addOrReplaceRecord(DeviceRecord record) {
    record.cutToWidths();
    if (const int index = findRecord(record.serial); index >= 0) {
        records_[static_cast<std::size_t>(index)] = std::move(record);
        return RecordStored::Replaced;
    }
    if (records_.size() >= kCapacity) {
        return RecordStored::ListFull;
    }
    records_.push_back(std::move(record));
    return RecordStored::Added;
}

}  // namespace korvan
