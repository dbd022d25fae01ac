#include "protocol/command_table.h"

#include <array>

#include "base/scan.h"
#include "protocol/records.h"
#include "protocol/value_rules.h"

namespace korvan {
namespace {

constexpr ExchangeRule count(std::size_t n) {
    return {Acceptance::Count, n, {}};
}
constexpr ExchangeRule kEcho{Acceptance::Echo, 0, {}};
constexpr ExchangeRule prefix(std::size_t n, std::string_view text, TextEnd end) {
    return {Acceptance::Prefix, n, text, end};
}
constexpr ExchangeRule parse(std::size_t n, std::string_view format, TextEnd end) {
    return {Acceptance::Parse, n, format, end};
}
// Numbers, addresses and ports end at their ";" and are taken at once; the access point's name
// and the key may hold ";" and are taken once the line has gone quiet.
constexpr TextEnd kAtSemicolon = TextEnd::Semicolon;
constexpr TextEnd kWhenQuiet = TextEnd::QuietAfterSemicolon;
constexpr const char* kSendFailed = "Ошибка отправки данных устройству";

// A Wi-Fi value ends with ";"; a reply that fills its count without one was longer than the
// tracker may send, and its value would come back cut.
bool valueEnded(const Reply& reply) {
    const auto bytes = reply.bytes();
    return !bytes.empty() && bytes.back() == ';';
}

// The text of the reply's bytes from `from` up to, not including, its last byte.
std::string textBeforeLastByte(const Reply& reply, std::size_t from) {
    std::string text;
    const auto bytes = reply.bytes();
    for (std::size_t i = from; i + 1 < bytes.size() && bytes[i] != 0; ++i) {
        text += static_cast<char>(bytes[i]);
    }
    return text;
}

// --- Replies to the queries ----------------------------------------------------------------

Decoded recordingPeriod(const Reply& r, TrackerConfiguration& c) {
    const auto period = r.number(0, 2);
    if (period == 0xFFFF) {
        return Decoded::Erased;
    }
    c.recording.period = Number::of(period);
    return Decoded::Taken;
}

Decoded sendingPeriod(const Reply& r, TrackerConfiguration& c) {
    const auto period = r.number(0, 4);
    if (period == 0xFFFFFFFFu) {
        return Decoded::Erased;
    }
    c.recording.sendingPeriod = Number::of(static_cast<std::int32_t>(period));
    return Decoded::Taken;
}

Decoded analogPeriod(const Reply& r, TrackerConfiguration& c) {
    const auto period = r.number(0, 2);
    if (period == 0xFFFF) {
        return Decoded::Erased;
    }
    c.analog.pollPeriod = Number::of(period);
    return Decoded::Taken;
}

Decoded counterPeriods(const Reply& r, TrackerConfiguration& c) {
    const auto periods = r.number(0, 4);
    if (periods == 0xFFFFFFFFu) {
        return Decoded::Erased;
    }
    c.recording.counterPeriod12 = Number::of(periods & 0xFFFF);
    c.recording.counterPeriod34 = Number::of(periods >> 16);
    return Decoded::Taken;
}

Decoded password(const Reply& r, TrackerConfiguration& c) {
    if (r.startsWith("EMPTY")) {
        return Decoded::Erased;
    }
    c.server.password = r.text().substr(0, 8);
    return Decoded::Taken;
}

Decoded recordingMethod(const Reply& r, TrackerConfiguration& c) {
    c.recording.method =
        r.startsWith("NDIST=1") ? RecordingMethod::ByTime : RecordingMethod::ByDistance;
    return Decoded::Taken;
}

Decoded staticProcessing(const Reply& r, TrackerConfiguration& c) {
    const auto numbers = ScanNumbers(r.text(), "MODE=%d");
    if (numbers.size() != 1) {
        return Decoded::Unread;
    }
    c.recording.staticProcessing = (numbers[0] & 1) == 0;
    return Decoded::Taken;
}

Decoded wideRecording(const Reply& r, TrackerConfiguration& c) {
    c.recording.wideRecording = r.startsWith("RWIDE=0");
    return Decoded::Taken;
}

Decoded input(const Reply& r, TrackerConfiguration& c, int n) {
    if (r.startsWith("EMPTY")) {
        return Decoded::Nothing;
    }
    const auto record = InputRecord::fromBytes(r.bytes().first<InputRecord::kReadSize>());
    const auto clear = [&record](std::uint8_t bit) { return (record.flags & bit) == 0; };
    auto& in = c.inputs[static_cast<std::size_t>(n - 1)];
    in.sendOverWifi = clear(InputRecord::kNoWifiSend);
    in.triggerWhenOpen = clear(InputRecord::kTriggerOnClosed);
    in.kind = clear(InputRecord::kNotTypeC)   ? InputKind::PeriodicCounter
              : clear(InputRecord::kNotTypeB) ? InputKind::AccumulatingCounter
                                              : InputKind::Ordinary;
    if (n <= 2) {
        auto& analog = c.analog.inputs[static_cast<std::size_t>(n - 1)];
        analog.changeThreshold = Number::of(record.threshold());
        analog.averagingPeriod = Number::of(record.averaging());
        analog.recordAsDigital = clear(InputRecord::kAnalogNotDigital);
    }
    if (n == 1) {
        c.analog.atMostOncePerPoll = clear(InputRecord::kAnalogNotMoreOften);
    }
    return Decoded::Taken;
}

template <int N>
Decoded inputN(const Reply& r, TrackerConfiguration& c) {
    return input(r, c, N);
}

GeoCoordinate coordinateOf(std::uint32_t word) {
    const Coordinate decoded = DecodeCoordinate(word);
    return {Number::of(decoded.degrees), Number::of(decoded.minutes), Number::of(decoded.fraction),
            decoded.southOrWest};
}

Decoded point(const Reply& r, TrackerConfiguration& c, int n) {
    if (r.startsWith("EMPTY")) {
        return Decoded::Nothing;
    }
    const auto record =
        ControlPointRecord::fromBytes(r.bytes().first<ControlPointRecord::kWireSize>());
    const auto clear = [&record](std::uint32_t bit) { return (record.flags & bit) == 0; };
    auto& p = c.points[static_cast<std::size_t>(n - 1)];
    p.outputOnEntry = clear(ControlPointRecord::kNoOutputOnEntry);
    p.outputOnExit = clear(ControlPointRecord::kNoOutputOnExit);
    p.sendOnEntry = clear(ControlPointRecord::kNoSendOnEntry);
    p.sendOnExit = clear(ControlPointRecord::kNoSendOnExit);
    p.onTimeMinutes = Number::of(record.onTimeSeconds / 60);
    p.latitude = coordinateOf(record.latitude);
    p.longitude = coordinateOf(record.longitude);
    p.radius = Number::of(record.radius);
    return Decoded::Taken;
}

template <int N>
Decoded pointN(const Reply& r, TrackerConfiguration& c) {
    return point(r, c, N);
}

Decoded addressing(const Reply& r, TrackerConfiguration& c) {
    c.network.dhcp = r.numbers[0] == 1;
    return Decoded::Taken;
}

Decoded authentication(const Reply& r, TrackerConfiguration& c) {
    c.network.sharedKeyAuthentication = r.numbers[0] == 1;
    return Decoded::Taken;
}

template <auto Member, auto Part>
Decoded prefixedText(const Reply& r, TrackerConfiguration& c) {
    if (!valueEnded(r)) {
        return Decoded::Unread;
    }
    c.*Member.*Part = r.value;
    return Decoded::Taken;
}

Decoded encryption(const Reply& r, TrackerConfiguration& c) {
    if (!valueEnded(r)) {
        return Decoded::Unread;
    }
    switch (r.numbers[0]) {
        case 1:
        case 2:
            c.network.encryption = r.numbers[0] == 1 ? Encryption::Wep64 : Encryption::Wep128;
            c.network.key = textBeforeLastByte(r, 7);
            break;
        default:
            c.network.encryption = Encryption::None;
            break;
    }
    return Decoded::Taken;
}

// --- Set commands --------------------------------------------------------------------------

const WifiNetwork& network(const SetContext& s) {
    return s.configuration.network;
}

Encoded addressingCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("DHCP=%d;$", network(s).dhcp ? 1 : 0);
    return Encoded::Ready;
}

Encoded authenticationCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("AUTH=%d;$", network(s).sharedKeyAuthentication ? 1 : 0);
    return Encoded::Ready;
}

Encoded accessPointCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("WFPOINT=%s;$", network(s).accessPoint.c_str());
    return Encoded::Ready;
}

Encoded encryptionCommand(SetContext& s, CommandBuffer& b) {
    if (network(s).encryption == Encryption::None) {
        b.FormatCommand("WKEY=%d:%s;$", 0, "");
    } else {
        b.FormatCommand("WKEY=%d:%s;$", network(s).encryption == Encryption::Wep64 ? 1 : 2,
                        network(s).key.c_str());
    }
    return Encoded::Ready;
}

Encoded deviceAddressCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("DEVIP=%s;$", network(s).deviceAddress.c_str());
    return Encoded::Ready;
}

Encoded netmaskCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("NETMASK=%s;$", network(s).netmask.c_str());
    return Encoded::Ready;
}

Encoded gatewayCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("DEFGW=%s;$", network(s).gateway.c_str());
    return Encoded::Ready;
}

Encoded macCommand(SetContext& s, CommandBuffer& b) {
    const auto& mac = s.configuration.identity.mac;
    b.FormatCommand("DEVMAC=%02x %02x %02x %02x %02x %02x;$", mac[0], mac[1], mac[2], mac[3],
                    mac[4], mac[5]);
    return Encoded::Ready;
}

Encoded serverPortCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("SERPORT=%s;$", s.configuration.server.port.c_str());
    return Encoded::Ready;
}

Encoded serverAddressCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("SERIP=%s;$", s.configuration.server.address.c_str());
    return Encoded::Ready;
}

// Inputs 3 and 4 carry no analogue value of their own: the tracker is sent the value built
// for input 2, as the record was left after it.
Encoded inputCommand(SetContext& s, CommandBuffer& b, int n) {
    const auto& c = s.configuration;
    InputRecord record;
    record.flags = 0xFF;
    const int analogue = n <= 2 ? n : 2;
    const auto threshold = s.number(ofAnalog(NumberField::Threshold1, analogue));
    const auto averaging =
        threshold ? s.number(ofAnalog(NumberField::Averaging1, analogue)) : std::nullopt;
    if (!averaging) {
        return Encoded::NotANumber;
    }
    record.value = InputRecord::analogValue(static_cast<std::uint32_t>(*threshold),
                                            static_cast<std::uint32_t>(*averaging));
    const auto clear = [&record](std::uint8_t bit) {
        record.flags &= static_cast<std::uint8_t>(~bit);
    };
    const auto& in = c.inputs[static_cast<std::size_t>(n - 1)];
    if (in.sendOverWifi) {
        clear(InputRecord::kNoWifiSend);
    }
    if (in.triggerWhenOpen) {
        clear(InputRecord::kTriggerOnClosed);
    }
    if (n <= 2) {
        if (c.analog.inputs[static_cast<std::size_t>(n - 1)].recordAsDigital) {
            clear(InputRecord::kAnalogNotDigital);
        }
        if (c.analog.atMostOncePerPoll) {
            clear(InputRecord::kAnalogNotMoreOften);
        }
    }
    clear(InputRecord::kAlwaysClear);
    if (in.kind == InputKind::AccumulatingCounter) {
        clear(InputRecord::kNotTypeB);
    }
    if (in.kind == InputKind::PeriodicCounter) {
        clear(InputRecord::kNotTypeC);
    }
    b.FormatCommand("GSM_SET_SMS,%d,", n);
    b.AppendCommandBytes(record.toBytes());
    b.AppendCommandBytes("$");
    return Encoded::Ready;
}

template <int N>
Encoded inputNCommand(SetContext& s, CommandBuffer& b) {
    return inputCommand(s, b, N);
}

Encoded serialCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("GSM_SET_SERNUM,%s$", s.configuration.identity.serialNumber.c_str());
    return Encoded::Ready;
}

Encoded wideCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("FL_CHANGE_WIDE,%d$", s.configuration.recording.wideRecording ? 0 : 1);
    return Encoded::Ready;
}

Encoded modeCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("FL_SET_MODE,%d$", s.configuration.recording.staticProcessing ? 0 : 1);
    return Encoded::Ready;
}

// A fraction is padded on the right to five digits before anything is converted.
std::optional<std::uint32_t> coordinateWord(SetContext& s, NumberField degrees, bool southOrWest) {
    const auto minutes = static_cast<NumberField>(static_cast<int>(degrees) + 1);
    const auto fraction = static_cast<NumberField>(static_cast<int>(degrees) + 2);
    std::string digits = numberOf(s.configuration, fraction).text;
    while (digits.size() < 5) {
        digits += '0';
    }
    if (digits != numberOf(s.configuration, fraction).text) {
        s.correct(fraction, digits);
    }
    const auto d = s.number(degrees);
    const auto m = d ? s.number(minutes) : std::nullopt;
    const auto f = m ? s.number(fraction) : std::nullopt;
    if (!f) {
        return std::nullopt;
    }
    return EncodeCoordinate({static_cast<std::uint32_t>(*d), static_cast<std::uint32_t>(*m),
                             static_cast<std::uint32_t>(*f), southOrWest});
}

Encoded pointCommand(SetContext& s, CommandBuffer& b, int n) {
    const auto& p = s.configuration.points[static_cast<std::size_t>(n - 1)];
    if (!p.placed()) {
        return Encoded::Skipped;
    }
    const auto field = [n](NumberField ofPoint1) { return ofPoint(ofPoint1, n); };
    for (NumberField f :
         {field(NumberField::LatitudeMinutes1), field(NumberField::LongitudeMinutes1),
          field(NumberField::LatitudeFraction1), field(NumberField::LongitudeFraction1)}) {
        if (numberOf(s.configuration, f).text.empty()) {
            s.correct(f, "0");
        }
    }
    ControlPointRecord record;
    const auto clearIf = [&record](bool on, std::uint32_t bit) {
        if (on) {
            record.flags &= ~bit;
        }
    };
    clearIf(p.outputOnEntry, ControlPointRecord::kNoOutputOnEntry);
    clearIf(p.outputOnExit, ControlPointRecord::kNoOutputOnExit);
    clearIf(p.sendOnEntry, ControlPointRecord::kNoSendOnEntry);
    clearIf(p.sendOnExit, ControlPointRecord::kNoSendOnExit);
    record.onTimeSeconds = 60;  // without sending, the output is on for a minute
    if (p.sends()) {
        const auto minutes = s.number(field(NumberField::OnTime1));
        if (!minutes) {
            return Encoded::NotANumber;
        }
        record.onTimeSeconds = static_cast<std::uint32_t>(*minutes) * 60;
    }
    const auto latitude =
        coordinateWord(s, field(NumberField::LatitudeDegrees1), p.latitude.southOrWest);
    const auto longitude =
        latitude ? coordinateWord(s, field(NumberField::LongitudeDegrees1), p.longitude.southOrWest)
                 : std::nullopt;
    const auto radius = longitude ? s.number(field(NumberField::Radius1)) : std::nullopt;
    if (!radius) {
        return Encoded::NotANumber;
    }
    record.latitude = *latitude;
    record.longitude = *longitude;
    record.radius = *radius;
    b.FormatCommand("GSM_SET_CPOINT%d,", n);
    b.AppendCommandBytes(record.toBytes());
    b.AppendCommandBytes("$");
    return Encoded::Ready;
}

template <int N>
Encoded pointNCommand(SetContext& s, CommandBuffer& b) {
    return pointCommand(s, b, N);
}

Encoded rateCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("FL_SET_RATE,%s,0$", s.configuration.recording.period.text.c_str());
    return Encoded::Ready;
}

Encoded sendingCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("GSM_SET_PERIODSEND,%s$", s.configuration.recording.sendingPeriod.text.c_str());
    return Encoded::Ready;
}

Encoded analogPeriodCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("FL_SET_ADD_R,%s$", s.configuration.analog.pollPeriod.text.c_str());
    return Encoded::Ready;
}

Encoded counterCommand(SetContext& s, CommandBuffer& b) {
    const auto low = s.number(NumberField::CounterPeriod12);
    const auto high = low ? s.number(NumberField::CounterPeriod34) : std::nullopt;
    if (!high) {
        return Encoded::NotANumber;
    }
    // The low period is not masked: both are OR-ed into one 32-bit word, sent signed.
    const auto counters = static_cast<std::int32_t>(static_cast<std::uint32_t>(*low) |
                                                    (static_cast<std::uint32_t>(*high) << 16));
    b.FormatCommand("FL_SET_COUNT_R,%d$", counters);
    return Encoded::Ready;
}

Encoded passwordCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("GSM_SET_PASSWORD,%s$", s.configuration.server.password.c_str());
    return Encoded::Ready;
}

Encoded methodCommand(SetContext& s, CommandBuffer& b) {
    b.FormatCommand("FL_CHANGE_NDIST,%d$",
                    s.configuration.recording.method == RecordingMethod::ByTime ? 1 : 0);
    return Encoded::Ready;
}

// An echoed Wi-Fi setting whose failures end the write.
constexpr SetCommand echoed(Encoded (*encode)(SetContext&, CommandBuffer&), const char* failure,
                            const char* mismatch) {
    return {encode, kEcho, true, failure, mismatch, ReplyShown::ReplyText, nullptr};
}

constexpr SetCommand counted(Encoded (*encode)(SetContext&, CommandBuffer&), std::size_t length,
                             bool fatal, const char* failure, ReplyShown shown,
                             const char* rejected = nullptr) {
    return {encode, count(length), fatal, failure, nullptr, shown, rejected};
}

constexpr QueryCommand textQuery(const char* command, ExchangeRule rule, const char* failure,
                                 Decoded (*decode)(const Reply&, TrackerConfiguration&)) {
    return {command, rule, true, failure, false, decode};
}

// In the order of `Setting`.
const std::array<SettingCommands, 26> kTable = {{
    {Setting::Addressing, "DHCP",
     textQuery("GDHCP$", parse(8, "DHCP=%d;", kAtSemicolon), "Ошибка чтения DHCP", addressing),
     echoed(addressingCommand, "Ошибка задания DHCP", "Ошибка задания DHCP: ")},
    {Setting::Authentication, "проверка подлинности",
     textQuery("GAUTH$", parse(8, "AUTH=%d;", kAtSemicolon), "Ошибка чтения типа авторизации",
               authentication),
     echoed(authenticationCommand, "Ошибка задания проверки подлинности",
            "Ошибка задания проверки подлинности: ")},
    {Setting::AccessPoint, "точка доступа",
     textQuery("GWFPOINT$", prefix(44, "WFPOINT=", kWhenQuiet), "Ошибка чтения WFPOINT",
               prefixedText<&TrackerConfiguration::network, &WifiNetwork::accessPoint>),
     echoed(accessPointCommand, "Ошибка настройки точки доступа", "Ошибка настройки точки доступа"),
     false, rules::accessPoint},
    {Setting::Encryption, "шифрование",
     textQuery("GWKEY$", parse(22, "WKEY=%d:", kWhenQuiet), "Ошибка чтения WKEY", encryption),
     echoed(encryptionCommand, "Ошибка настройки шифрования", "Ошибка настройки шифрования"), false,
     rules::encryption},
    {Setting::DeviceAddress, "IP устройства",
     textQuery("GDEVIP$", prefix(23, "DEVIP=", kAtSemicolon), "Ошибка чтения DEVIP",
               prefixedText<&TrackerConfiguration::network, &WifiNetwork::deviceAddress>),
     echoed(deviceAddressCommand, "Ошибка настройки IP устройства",
            "Ошибка настройки IP устройства"),
     true, rules::deviceAddress},
    {Setting::Netmask, "маска сети",
     textQuery("GNETMASK$", prefix(25, "NETMASK=", kAtSemicolon), "Ошибка чтения NETMASK",
               prefixedText<&TrackerConfiguration::network, &WifiNetwork::netmask>),
     echoed(netmaskCommand, "Ошибка настройки маски сети", "Ошибка настройки маски сети"), true,
     rules::netmask},
    {Setting::Gateway, "шлюз",
     textQuery("GDEFGW$", prefix(23, "DEFGW=", kAtSemicolon), "Ошибка чтения DEFGW",
               prefixedText<&TrackerConfiguration::network, &WifiNetwork::gateway>),
     echoed(gatewayCommand, "Ошибка настройки шлюза", "Ошибка настройки шлюза"), true,
     rules::gateway},
    {Setting::Mac,
     "MAC адрес",
     {},
     echoed(macCommand, "Ошибка MAC адреса устройства", "Ошибка MAC адреса устройства:")},
    {Setting::ServerPort, "порт сервера",
     textQuery("GSERPORT$", prefix(15, "SERPORT=", kAtSemicolon), "Ошибка чтения SERPORT",
               prefixedText<&TrackerConfiguration::server, &DataServer::port>),
     echoed(serverPortCommand, "Ошибка настройки порта", "Ошибка настройки порта:"), false,
     rules::serverPort},
    {Setting::ServerAddress, "IP сервера",
     textQuery("GSERIP$", prefix(23, "SERIP=", kAtSemicolon), "Ошибка чтения IP сервера",
               prefixedText<&TrackerConfiguration::server, &DataServer::address>),
     echoed(serverAddressCommand, "Ошибка настройки IP сервера", "Ошибка настройки IP сервера:"),
     false, rules::serverAddress},
    {Setting::Input1,
     "цифровой вход 1",
     {"GSM_GET_SMS,1$", count(5), false, "Ошибка чтения способа записи", false, inputN<1>},
     counted(inputNCommand<1>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки цифрового входа 1"),
     false,
     rules::input1},
    {Setting::Input2,
     "цифровой вход 2",
     {"GSM_GET_SMS,2$", count(5), false, "Ошибка чтения способа записи 2", false, inputN<2>},
     counted(inputNCommand<2>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки цифрового входа 2"),
     false,
     rules::input2},
    {Setting::Input3,
     "цифровой вход 3",
     {"GSM_GET_SMS,3$", count(5), false, "Ошибка чтения способа записи 3", false, inputN<3>},
     counted(inputNCommand<3>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки цифрового входа 3")},
    {Setting::Input4,
     "цифровой вход 4",
     {"GSM_GET_SMS,4$", count(5), false, "Ошибка чтения способа записи 4", false, inputN<4>},
     counted(inputNCommand<4>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки цифрового входа 4")},
    {Setting::SerialNumber,
     "серийный номер",
     {},
     counted(serialCommand, 6, true, kSendFailed, ReplyShown::ReplyText)},
    {Setting::WideRecording,
     "расширенная запись",
     {"FL_GET_WIDE$", count(7), false, "Ошибка чтения способа записи", false, wideRecording},
     counted(wideCommand, 7, false, kSendFailed, ReplyShown::Ok)},
    {Setting::StaticProcessing,
     "режим работы",
     {"FL_GET_MODE$", count(6), false, "Ошибка чтения режима работы", false, staticProcessing},
     counted(modeCommand, 6, false, "Ошибка установки режима работы", ReplyShown::Ok)},
    {Setting::Point1,
     "контрольная точка 1",
     {"GSM_GET_CPOINT1$", count(20), false, "Ошибка чтения первой контрольной точки", false,
      pointN<1>},
     counted(pointNCommand<1>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки первой контрольной точки"),
     false,
     rules::point1},
    {Setting::Point2,
     "контрольная точка 2",
     {"GSM_GET_CPOINT2$", count(20), false, "Ошибка чтения второй контрольной точки", false,
      pointN<2>},
     counted(pointNCommand<2>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки второй контрольной точки"),
     false,
     rules::point2},
    {Setting::Point3,
     "контрольная точка 3",
     {"GSM_GET_CPOINT3$", count(20), false, "Ошибка чтения третьей контрольной точки", false,
      pointN<3>},
     counted(pointNCommand<3>, 6, false, kSendFailed, ReplyShown::SetOk,
             "Ошибка установки третьей контрольной точки"),
     false,
     rules::point3},
    {Setting::RecordingPeriod,
     "период записи",
     {"FL_GET_RATE$", count(4), true, "Ошибка чтения периода записи", true, recordingPeriod},
     counted(rateCommand, 4, true, kSendFailed, ReplyShown::FirstByte),
     false,
     rules::recordingPeriod},
    {Setting::SendingPeriod,
     "период отправки",
     {"GSM_GET_PERIODSEND$", count(4), true, "Ошибка чтения периода отправки", true, sendingPeriod},
     counted(sendingCommand, 4, true, kSendFailed, ReplyShown::Signed32),
     false,
     rules::sendingPeriod},
    {Setting::AnalogPeriod,
     "период опроса аналоговых входов",
     {"FL_GET_ADD_R$", count(2), true, "Ошибка чтения периода записи аналоговых входов", true,
      analogPeriod},
     counted(analogPeriodCommand, 2, true, "Ошибка установки периода записи аналоговых данных",
             ReplyShown::Unsigned16),
     false,
     rules::analogPeriod},
    {Setting::CounterPeriods,
     "периоды счётчиков",
     {"FL_GET_COUNT_R$", count(4), true, "Ошибка чтения периода записи счётчиков", true,
      counterPeriods},
     counted(counterCommand, 4, true, "Ошибка установки периода записи счётчиков",
             ReplyShown::Signed32),
     false,
     rules::counterPeriods},
    {Setting::Password,
     "пароль сервера",
     {"GSM_GET_PASSWORD$", count(8), true, "Ошибка чтения пароля", false, password},
     counted(passwordCommand, 6, true, kSendFailed, ReplyShown::ReplyText),
     false,
     rules::password},
    {Setting::RecordingMethod,
     "способ записи",
     {"FL_GET_NDIST$", count(7), false, "Ошибка чтения способа записи", true, recordingMethod},
     counted(methodCommand, 7, true, kSendFailed, ReplyShown::Nothing)},
}};

constexpr FieldLimit limit(LimitPhase phase, NumberField field, std::optional<std::int32_t> lowest,
                           std::optional<std::int32_t> highest) {
    return {phase, field, lowest, highest};
}

const std::vector<FieldLimit> kLimits = [] {
    using enum NumberField;
    constexpr auto before = LimitPhase::BeforeOpening;
    constexpr auto after = LimitPhase::AfterNetwork;
    std::vector<FieldLimit> limits = {
        limit(before, AnalogPollPeriod, 10, 3600),
        limit(before, Threshold1, std::nullopt, 1023),
        limit(before, Threshold2, std::nullopt, 1023),
        limit(before, RecordingPeriod, 1, 600),
        {before, SendingPeriod, 30, 600, true},
    };
    // An empty radius or on-time has nothing to correct: a point without a radius is not
    // sent, and an on-time is read only when its point is sent with a sending box ticked.
    for (int n = 1; n <= 3; ++n) {
        limits.push_back({before, ofPoint(Radius1, n), 10, std::nullopt, false, true});
    }
    for (int n = 1; n <= 3; ++n) {
        limits.push_back({before, ofPoint(OnTime1, n), std::nullopt, 60, false, true});
    }
    for (NumberField f : {Threshold1, Threshold2}) {
        limits.push_back(limit(after, f, 3, 1023));
    }
    for (NumberField f : {Averaging1, Averaging2}) {
        limits.push_back(limit(after, f, 1, 60));
    }
    return limits;
}();

}  // namespace

std::optional<std::int32_t> SetContext::number(NumberField field) {
    auto value = numberOf(configuration, field).value();
    if (!value) {
        notANumber = field;
    }
    return value;
}

void SetContext::correct(NumberField field, std::string text) {
    numberOf(configuration, field).text = text;
    corrections.push_back({field, std::move(text)});
}

const SettingCommands& commandsFor(Setting setting) {
    return kTable[static_cast<std::size_t>(setting)];
}

const std::vector<Setting> kReadOrder = {
    Setting::RecordingPeriod,  Setting::SendingPeriod,  Setting::AnalogPeriod,
    Setting::CounterPeriods,   Setting::Password,       Setting::RecordingMethod,
    Setting::StaticProcessing, Setting::WideRecording,  Setting::Input1,
    Setting::Input2,           Setting::Input3,         Setting::Input4,
    Setting::Point1,           Setting::Point2,         Setting::Point3,
    Setting::Addressing,       Setting::Authentication, Setting::ServerAddress,
    Setting::ServerPort,       Setting::DeviceAddress,  Setting::Netmask,
    Setting::Gateway,          Setting::Encryption,     Setting::AccessPoint,
};

const std::vector<Setting> kNetworkWriteOrder = {
    Setting::Addressing,    Setting::Authentication, Setting::AccessPoint, Setting::Encryption,
    Setting::DeviceAddress, Setting::Netmask,        Setting::Gateway,     Setting::Mac,
    Setting::ServerPort,    Setting::ServerAddress,
};

// The serial number is sent twice, once after each pair of inputs.
const std::vector<Setting> kTrackerWriteOrder = {
    Setting::Input1,        Setting::Input2,           Setting::SerialNumber,
    Setting::Input3,        Setting::Input4,           Setting::SerialNumber,
    Setting::WideRecording, Setting::StaticProcessing, Setting::Point1,
    Setting::Point2,        Setting::Point3,           Setting::RecordingPeriod,
    Setting::SendingPeriod, Setting::AnalogPeriod,     Setting::CounterPeriods,
    Setting::Password,
};

std::span<const FieldLimit> FieldLimits() {
    return kLimits;
}

}  // namespace korvan
