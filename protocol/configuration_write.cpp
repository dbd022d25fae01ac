#include "protocol/configuration_write.h"

#include <array>
#include <charconv>
#include <string>

#include "protocol/configuration_read.h"
#include "protocol/exchange.h"
#include "base/cp1251.h"

namespace korvan {
namespace {

constexpr ExchangeRule count(std::size_t n) {
    return {Acceptance::Count, n, {}};
}
constexpr ExchangeRule kEcho{Acceptance::Echo, 0, {}};
constexpr const char* kSendFailed = "Ошибка отправки данных устройству";

// What a technician calls a numeric field, for the message that names one without a number.
std::string describe(Field f) {
    static const std::array<const char*, 4> kPointParts = {"", "первой", "второй", "третьей"};
    auto pointPart = [&](Field ofPoint1, const char* what) -> std::string {
        for (int n = 1; n <= 3; ++n) {
            if (f == ofPoint(ofPoint1, n)) {
                return std::string(what) + " " + kPointParts[static_cast<std::size_t>(n)] +
                       " контрольной точки";
            }
        }
        return {};
    };
    for (const auto& [ofPoint1, what] : {std::pair{Field::Point1Latd, "Градусы широты"},
                                         {Field::Point1Latm, "Минуты широты"},
                                         {Field::Point1Latmm, "Доли минуты широты"},
                                         {Field::Point1Lond, "Градусы долготы"},
                                         {Field::Point1Lonm, "Минуты долготы"},
                                         {Field::Point1Lonmm, "Доли минуты долготы"},
                                         {Field::Point1Rad, "Радиус"},
                                         {Field::edPoint1OnTime, "Время включения"}}) {
        if (auto name = pointPart(ofPoint1, what); !name.empty()) {
            return name;
        }
    }
    switch (f) {
        case Field::AnalogTime:
            return "Период опроса аналоговых входов";
        case Field::Ain1:
        case Field::Ain2:
            return std::string("Записывать изменение более (аналоговый вход ") +
                   (f == Field::Ain1 ? "1)" : "2)");
        case Field::Usr1:
        case Field::Usr2:
            return std::string("Период усреднения (аналоговый вход ") +
                   (f == Field::Usr1 ? "1)" : "2)");
        case Field::Edit1:
            return "Период записи точек";
        case Field::Edit2:
            return "Период отсылки данных по WiFi";
        case Field::CounterTime:
            return "Период записи показаний счётчиков 1,2";
        case Field::CounterTime34:
            return "Период записи показаний счётчиков 3,4";
        default:
            return std::string(fieldInfo(f).name);
    }
}

const char* const kPointFailures[] = {"Ошибка установки первой контрольной точки",
                                      "Ошибка установки второй контрольной точки",
                                      "Ошибка установки третьей контрольной точки"};

struct NetworkSetting {
    const char* mismatch;  // followed by the reply
    const char* failure;
};

class Write {
  public:
    Write(Link& link, FieldModel& model, InputRecord& inputRecord, WriteServices services)
        : link_(link), m_(model), input_(inputRecord), services_(services) {}

    void run() {
        if (!identified()) {
            return;
        }
        if (m_.text(Field::edPassword).size() != 8) {
            m_.setEnabled(Field::Button5, false);
            fail("Пароль должем иметь 8 символов");
            return;
        }
        if (!correctBeforeSending()) {
            return;
        }
        if (const auto opened = link_.OpenPort(); opened != OpenOutcome::Opened) {
            ReportOpenFailure(m_, opened, "Ошибка при открытии USB");
            return;
        }
        const bool written = sendNetwork() && correctAnalogInputs() && sendInputsAndSerial() &&
                             sendOptions() && sendControlPoints() && sendPeriods();
        if (!written) {
            if (link_.isOpen()) {
                link_.ClosePort();
            }
            return;
        }
        checkDebugPointer();
        const RecordStored stored = services_.database.StoreDeviceRecord();
        services_.database.SaveClick();
        sendRecordingMethod();
        if (stored == RecordStored::ListFull) {
            services_.messages.message(
                MessageIcon::Warning,
                cp1251::toUtf8(std::string("В базе уже 1024 записи: устройство ") +
                               m_.text(Field::SerNum) + " в неё не добавлено"));
        }
    }

  private:
    void fail(const char* message) {
        m_.setStatusColour(StatusColour::Red);
        m_.setStatusMessage(message);
    }

    // A write needs the serial number that detection shows; the placeholder is not one.
    bool identified() {
        const std::string& serial = m_.text(Field::SerNum);
        const auto number = StrictNumber(serial);
        if (serial.size() == 5 && number && *number >= 1) {
            return true;
        }
        fail("Устройство не определено: подключите трекер и дождитесь чтения настроек");
        return false;
    }

    // The field's number; a field without one ends the write with a message box naming it.
    std::optional<std::int32_t> number(Field f) {
        if (auto value = StrictNumber(m_.text(f))) {
            return value;
        }
        if (link_.isOpen()) {
            link_.ClosePort();
        }
        services_.messages.message(MessageIcon::Error,
                                   "В поле «" + describe(f) + "» не число: «" +
                                       cp1251::toUtf8(m_.text(f)) +
                                       "». Исправьте его и нажмите «Установить» снова.");
        return std::nullopt;
    }

    // Replaces the field's text with `replacement` when `breaks` holds for its number.
    bool correct(Field f, bool (*breaks)(std::int32_t), const char* replacement) {
        const auto value = number(f);
        if (!value) {
            return false;
        }
        if (breaks(*value)) {
            m_.setText(f, replacement);
        }
        return true;
    }

    bool correctBeforeSending() {
        bool ok = correct(
                      Field::AnalogTime, [](std::int32_t v) { return v < 10; }, "10") &&
                  correct(
                      Field::AnalogTime, [](std::int32_t v) { return v > 3600; }, "3600") &&
                  correct(
                      Field::Ain1, [](std::int32_t v) { return v > 1023; }, "1023") &&
                  correct(
                      Field::Ain2, [](std::int32_t v) { return v > 1023; }, "1023") &&
                  correct(
                      Field::Edit1, [](std::int32_t v) { return v < 1; }, "1") &&
                  correct(
                      Field::Edit1, [](std::int32_t v) { return v > 600; }, "600") &&
                  correct(
                      Field::Edit2, [](std::int32_t v) { return v != 0 && v < 30; }, "30") &&
                  correct(
                      Field::Edit2, [](std::int32_t v) { return v != 0 && v > 600; }, "600");
        // An empty radius or on-time has nothing to correct: a point without a radius is not
        // sent, and an on-time is read only when its point is sent with a sending box ticked.
        for (int n = 1; ok && n <= 3; ++n) {
            const Field radius = ofPoint(Field::Point1Rad, n);
            ok =
                m_.text(radius).empty() || correct(
                                               radius, [](std::int32_t v) { return v < 10; }, "10");
        }
        for (int n = 1; ok && n <= 3; ++n) {
            const Field onTime = ofPoint(Field::edPoint1OnTime, n);
            ok =
                m_.text(onTime).empty() || correct(
                                               onTime, [](std::int32_t v) { return v > 60; }, "60");
        }
        return ok;
    }

    bool correctAnalogInputs() {
        return correct(
                   Field::Ain1, [](std::int32_t v) { return v > 1023; }, "1023") &&
               correct(
                   Field::Ain2, [](std::int32_t v) { return v > 1023; }, "1023") &&
               correct(
                   Field::Ain1, [](std::int32_t v) { return v < 3; }, "3") &&
               correct(
                   Field::Ain2, [](std::int32_t v) { return v < 3; }, "3") &&
               correct(
                   Field::Usr1, [](std::int32_t v) { return v > 60; }, "60") &&
               correct(
                   Field::Usr2, [](std::int32_t v) { return v > 60; }, "60") &&
               correct(
                   Field::Usr1, [](std::int32_t v) { return v < 1; }, "1") &&
               correct(
                   Field::Usr2, [](std::int32_t v) { return v < 1; }, "1");
    }

    // One Wi-Fi module setting, confirmed by its echo; every failure ends the write.
    bool echoed(const NetworkSetting& setting) {
        const auto result = Exchange(link_, kEcho);
        if (!result.accepted) {
            ReportFailure(link_, m_, Severity::Fatal, setting.failure);
            return false;
        }
        if (!EchoMatches(result.reply, link_.CommandText)) {
            m_.setStatusColour(StatusColour::Red);
            m_.setText(Field::CommandInfo,
                       cp1251::fromUtf8(setting.mismatch) + result.reply.text());
            link_.ClosePort();
            return false;
        }
        m_.setText(Field::CommandInfo, result.reply.text());
        return true;
    }

    bool sendNetwork() {
        auto& c = link_.CommandText;
        c.FormatCommand("DHCP=%d;$", m_.checked(Field::AutoIP) ? 1 : 0);
        if (!echoed({"Ошибка задания DHCP: ", "Ошибка задания DHCP"})) {
            return false;
        }
        c.FormatCommand("AUTH=%d;$", m_.itemIndex(Field::Sert) == 1 ? 1 : 0);
        if (!echoed(
                {"Ошибка задания проверки подлинности: ", "Ошибка задания проверки подлинности"})) {
            return false;
        }
        c.FormatCommand("WFPOINT=%s;$", m_.text(Field::WiFiName).c_str());
        if (!echoed({"Ошибка настройки точки доступа", "Ошибка настройки точки доступа"})) {
            return false;
        }
        if (m_.checked(Field::NoEncr)) {
            c.FormatCommand("WKEY=%d:%s;$", 0, "");
        } else {
            c.FormatCommand("WKEY=%d:%s;$", m_.checked(Field::bit64) ? 1 : 2,
                            m_.text(Field::WiFiKey).c_str());
        }
        if (!echoed({"Ошибка настройки шифрования", "Ошибка настройки шифрования"})) {
            return false;
        }
        if (m_.checked(Field::RadioButton6)) {
            c.FormatCommand("DEVIP=%s;$", m_.text(Field::DevIP).c_str());
            if (!echoed({"Ошибка настройки IP устройства", "Ошибка настройки IP устройства"})) {
                return false;
            }
            c.FormatCommand("NETMASK=%s;$", m_.text(Field::Netmask).c_str());
            if (!echoed({"Ошибка настройки маски сети", "Ошибка настройки маски сети"})) {
                return false;
            }
            c.FormatCommand("DEFGW=%s;$", m_.text(Field::DefGW).c_str());
            if (!echoed({"Ошибка настройки шлюза", "Ошибка настройки шлюза"})) {
                return false;
            }
        }
        const auto& mac = m_.DeviceMac;
        c.FormatCommand("DEVMAC=%02x %02x %02x %02x %02x %02x;$", mac[0], mac[1], mac[2], mac[3],
                        mac[4], mac[5]);
        if (!echoed({"Ошибка MAC адреса устройства:", "Ошибка MAC адреса устройства"})) {
            return false;
        }
        c.FormatCommand("SERPORT=%s;$", m_.text(Field::port).c_str());
        if (!echoed({"Ошибка настройки порта:", "Ошибка настройки порта"})) {
            return false;
        }
        c.FormatCommand("SERIP=%s;$", m_.text(Field::ip).c_str());
        return echoed({"Ошибка настройки IP сервера:", "Ошибка настройки IP сервера"});
    }

    // One tracker setting; false when a fatal failure has ended the write.
    template <typename OnReply>
    bool setting(std::size_t replyLength, Severity severity, const char* failure, OnReply onReply) {
        const auto result = Exchange(link_, count(replyLength));
        if (!result.accepted) {
            ReportFailure(link_, m_, severity, failure);
            return severity != Severity::Fatal;
        }
        onReply(result.reply);
        return true;
    }

    void showSetOk(const Reply& reply) {
        if (reply.startsWith("SET_OK")) {
            m_.setText(Field::CommandInfo, "SET_OK");
        }
    }

    bool sendInput(int n) {
        InputRecord& record = input_;
        record.flags = 0xFF;
        if (n <= 2) {
            const auto threshold = number(numbered(Field::Ain1, n));
            const auto averaging = threshold ? number(numbered(Field::Usr1, n)) : std::nullopt;
            if (!averaging) {
                return false;
            }
            record.value = InputRecord::analogValue(static_cast<std::uint32_t>(*threshold),
                                                    static_cast<std::uint32_t>(*averaging));
        }
        auto clear = [&record](std::uint8_t bit) {
            record.flags &= static_cast<std::uint8_t>(~bit);
        };
        if (m_.checked(numbered(Field::GPRS1, n))) {
            clear(InputRecord::kNoWifiSend);
        }
        if (m_.itemIndex(numbered(Field::InputBox1, n)) == 1) {
            clear(InputRecord::kTriggerOnClosed);
        }
        if (n <= 2) {
            if (m_.checked(numbered(Field::AnalogWrite1, n))) {
                clear(InputRecord::kAnalogNotDigital);
            }
            if (m_.itemIndex(Field::AnalogMethod) == 0) {
                clear(InputRecord::kAnalogNotMoreOften);
            }
        }
        clear(InputRecord::kAlwaysClear);
        if (m_.checked(numbered(Field::CheckBox1, n))) {
            clear(InputRecord::kNotTypeB);
        }
        if (m_.checked(numbered(Field::TempBox1, n))) {
            clear(InputRecord::kNotTypeC);
        }
        link_.CommandText.FormatCommand("GSM_SET_SMS,%d,", n);
        link_.CommandText.AppendCommandBytes(record.toBytes());
        link_.CommandText.AppendCommandBytes("$");
        return setting(6, Severity::GoOn, kSendFailed, [this](const Reply& r) { showSetOk(r); });
    }

    bool sendSerial() {
        link_.CommandText.FormatCommand("GSM_SET_SERNUM,%s$", m_.text(Field::SerNum).c_str());
        return setting(6, Severity::Fatal, kSendFailed,
                       [this](const Reply& r) { m_.setText(Field::CommandInfo, r.text()); });
    }

    bool sendInputsAndSerial() {
        return sendInput(1) && sendInput(2) && sendSerial() && sendInput(3) && sendInput(4) &&
               sendSerial();
    }

    bool sendOptions() {
        auto showOk = [this](const Reply&) { m_.setText(Field::CommandInfo, "OK"); };
        link_.CommandText.FormatCommand("FL_CHANGE_WIDE,%d$", m_.checked(Field::WideWrite) ? 0 : 1);
        if (!setting(7, Severity::GoOn, kSendFailed, showOk)) {
            return false;
        }
        link_.CommandText.FormatCommand("FL_SET_MODE,%d$", m_.checked(Field::StaticBox) ? 0 : 1);
        return setting(6, Severity::GoOn, "Ошибка установки режима работы", showOk);
    }

    // Empty minutes become "0"; a fraction is padded on the right to five digits.
    std::optional<std::uint32_t> coordinate(Field degrees, Field minutes, Field fraction,
                                            Field hemisphere, const char* southOrWest) {
        std::string digits = m_.text(fraction);
        while (digits.size() < 5) {
            digits += '0';
        }
        m_.setText(fraction, digits);
        const auto d = number(degrees);
        const auto mins = d ? number(minutes) : std::nullopt;
        const auto frac = mins ? number(fraction) : std::nullopt;
        if (!frac) {
            return std::nullopt;
        }
        return EncodeCoordinate({static_cast<std::uint32_t>(*d), static_cast<std::uint32_t>(*mins),
                                 static_cast<std::uint32_t>(*frac),
                                 m_.text(hemisphere) == southOrWest});
    }

    bool sendControlPoint(int n) {
        auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
        if (m_.text(p(Field::Point1Latd)).empty() || m_.text(p(Field::Point1Lond)).empty() ||
            m_.text(p(Field::Point1Rad)).empty()) {
            return true;  // a point without a place is not sent
        }
        for (Field f : {p(Field::Point1Latm), p(Field::Point1Lonm), p(Field::Point1Latmm),
                        p(Field::Point1Lonmm)}) {
            if (m_.text(f).empty()) {
                m_.setText(f, "0");
            }
        }
        ControlPointRecord record;
        auto clearIfChecked = [&](Field box, std::uint32_t bit) {
            if (m_.checked(box)) {
                record.flags &= ~bit;
            }
        };
        clearIfChecked(p(Field::Point1InOut), ControlPointRecord::kNoOutputOnEntry);
        clearIfChecked(p(Field::Point1OutOut), ControlPointRecord::kNoOutputOnExit);
        clearIfChecked(p(Field::Point1InGPRS), ControlPointRecord::kNoSendOnEntry);
        clearIfChecked(p(Field::Point1OutGPRS), ControlPointRecord::kNoSendOnExit);
        if (m_.checked(p(Field::Point1InGPRS)) || m_.checked(p(Field::Point1OutGPRS))) {
            const auto minutes = number(p(Field::edPoint1OnTime));
            if (!minutes) {
                return false;
            }
            record.onTimeSeconds = static_cast<std::uint32_t>(*minutes) * 60;
        } else {
            record.onTimeSeconds = 60;
        }
        const auto latitude = coordinate(p(Field::Point1Latd), p(Field::Point1Latm),
                                         p(Field::Point1Latmm), p(Field::Point1NS), "S");
        const auto longitude = latitude ? coordinate(p(Field::Point1Lond), p(Field::Point1Lonm),
                                                     p(Field::Point1Lonmm), p(Field::Point1EW), "W")
                                        : std::nullopt;
        const auto radius = longitude ? number(p(Field::Point1Rad)) : std::nullopt;
        if (!radius) {
            return false;
        }
        record.latitude = *latitude;
        record.longitude = *longitude;
        record.radius = *radius;
        link_.CommandText.FormatCommand("GSM_SET_CPOINT%d,", n);
        link_.CommandText.AppendCommandBytes(record.toBytes());
        link_.CommandText.AppendCommandBytes("$");
        return setting(6, Severity::GoOn, kSendFailed, [this, n](const Reply& r) {
            if (r.startsWith("SET_OK")) {
                m_.setText(Field::CommandInfo, "SET_OK");
            } else {
                fail(kPointFailures[n - 1]);
            }
        });
    }

    bool sendControlPoints() {
        return sendControlPoint(1) && sendControlPoint(2) && sendControlPoint(3);
    }

    bool sendPeriods() {
        auto& c = link_.CommandText;
        auto show = [this](std::int64_t value) {
            m_.setText(Field::CommandInfo, std::to_string(value));
        };
        c.FormatCommand("FL_SET_RATE,%s,0$", m_.text(Field::Edit1).c_str());
        if (!setting(4, Severity::Fatal, kSendFailed,
                     [&](const Reply& r) { show(r.bytes()[0]); })) {
            return false;
        }
        c.FormatCommand("GSM_SET_PERIODSEND,%s$", m_.text(Field::Edit2).c_str());
        if (!setting(4, Severity::Fatal, kSendFailed,
                     [&](const Reply& r) { show(static_cast<std::int32_t>(r.number(0, 4))); })) {
            return false;
        }
        c.FormatCommand("FL_SET_ADD_R,%s$", m_.text(Field::AnalogTime).c_str());
        if (!setting(2, Severity::Fatal, "Ошибка установки периода записи аналоговых данных",
                     [&](const Reply& r) { show(r.number(0, 2)); })) {
            return false;
        }
        const auto low = number(Field::CounterTime);
        const auto high = low ? number(Field::CounterTime34) : std::nullopt;
        if (!high) {
            return false;
        }
        // The low field is not masked: both are OR-ed into one 32-bit word, sent signed.
        const auto counters = static_cast<std::int32_t>(static_cast<std::uint32_t>(*low) |
                                                        (static_cast<std::uint32_t>(*high) << 16));
        c.FormatCommand("FL_SET_COUNT_R,%d$", counters);
        if (!setting(4, Severity::Fatal, "Ошибка установки периода записи счётчиков",
                     [&](const Reply& r) { show(static_cast<std::int32_t>(r.number(0, 4))); })) {
            return false;
        }
        c.FormatCommand("GSM_SET_PASSWORD,%s$", m_.text(Field::edPassword).c_str());
        return setting(6, Severity::Fatal, kSendFailed,
                       [this](const Reply& r) { m_.setText(Field::CommandInfo, r.text()); });
    }

    // From firmware 1.0 on, a debug log pointer outside the log's area is mended by erasing
    // the log. The check never ends the write.
    void checkDebugPointer() {
        if (m_.FirmwareVersion < 100) {
            return;
        }
        for (int attempt = 1; attempt <= kExchangeAttempts; ++attempt) {
            link_.CommandText.FormatCommand("DEBUG_GET_PTR$");
            link_.PurgePort();
            link_.SendCommand();
            Reply pointer(4);
            pointer.setCount(link_.ReadPort(pointer.readInto()));
            if (pointer.count() == 4) {
                if ((pointer.number(0, 4) >> 12) == 0x40000) {
                    return;
                }
                link_.CommandText.FormatCommand("DEBUG_CLEAR_LOG$");
                link_.PurgePort();
                link_.SendCommand();
                Reply cleared(9);
                cleared.setCount(link_.ReadPort(cleared.readInto()));
                const auto bytes = cleared.bytes();
                if (cleared.count() != 9 ||
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), 7) == "CLEARED") {
                    return;
                }
            }
            link_.clock().sleepFor(kPauseAfterFailedAttempt);
        }
        fail("Ошибка при очистке debug лога");
    }

    void sendRecordingMethod() {
        link_.CommandText.FormatCommand("FL_CHANGE_NDIST,%d$",
                                        m_.itemIndex(Field::WriteMethod) == 0 ? 1 : 0);
        if (!setting(7, Severity::Fatal, kSendFailed, [](const Reply&) {})) {
            return;  // told and closed
        }
        m_.setText(Field::CommandInfo, std::string(link_.CommandText.text()));
        m_.setStatusColour(StatusColour::Black);
        m_.setStatusMessage("Данные успешно записаны в устройство");
        link_.ClosePort();
    }

    Link& link_;
    FieldModel& m_;
    InputRecord& input_;
    WriteServices services_;
};

}  // namespace

std::optional<std::int32_t> StrictNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

void WriteConfiguration(Link& link, FieldModel& model, InputRecord& inputRecord,
                        WriteServices services) {
    Write(link, model, inputRecord, services).run();
}

}  // namespace korvan
