#include "protocol/command_table.h"

#include <array>

#include "base/scan.h"
#include "protocol/records.h"
#include "protocol/tracker_facts.h"
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
    c.server.password = r.text().substr(0, kPasswordLength);
    return Decoded::Taken;
}

Decoded recordingMethod(const Reply& r, TrackerConfiguration& c) {
    c.recording.method =
        r.startsWith("NDIST=1") ? RecordingMethod::ByTime : RecordingMethod::ByDistance;
    return Decoded::Taken;
}

Decoded staticProcessing(const Reply& r, TrackerConfiguration& c) {
    const auto numbers = scanNumbers(r.text(), "MODE=%d");
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
    const Coordinate decoded = decodeCoordinate(word);
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
    b.formatCommand("DHCP=%d;$", network(s).dhcp ? 1 : 0);
    return Encoded::Ready;
}

Encoded authenticationCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("AUTH=%d;$", network(s).sharedKeyAuthentication ? 1 : 0);
    return Encoded::Ready;
}

Encoded accessPointCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("WFPOINT=%s;$", network(s).accessPoint.c_str());
    return Encoded::Ready;
}

Encoded encryptionCommand(SetContext& s, CommandBuffer& b) {
    if (network(s).encryption == Encryption::None) {
        b.formatCommand("WKEY=%d:%s;$", 0, "");
    } else {
        b.formatCommand("WKEY=%d:%s;$", network(s).encryption == Encryption::Wep64 ? 1 : 2,
                        network(s).key.c_str());
    }
    return Encoded::Ready;
}

Encoded deviceAddressCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("DEVIP=%s;$", network(s).deviceAddress.c_str());
    return Encoded::Ready;
}

Encoded netmaskCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("NETMASK=%s;$", network(s).netmask.c_str());
    return Encoded::Ready;
}

Encoded gatewayCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("DEFGW=%s;$", network(s).gateway.c_str());
    return Encoded::Ready;
}

Encoded macCommand(SetContext& s, CommandBuffer& b) {
    const auto& mac = s.configuration.identity.mac;
    b.formatCommand("DEVMAC=%02x %02x %02x %02x %02x %02x;$", mac[0], mac[1], mac[2], mac[3],
                    mac[4], mac[5]);
    return Encoded::Ready;
}

Encoded serverPortCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("SERPORT=%s;$", s.configuration.server.port.c_str());
    return Encoded::Ready;
}

Encoded serverAddressCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("SERIP=%s;$", s.configuration.server.address.c_str());
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
    b.formatCommand("GSM_SET_SMS,%d,", n);
    b.appendCommandBytes(record.toBytes());
    b.appendCommandBytes("$");
    return Encoded::Ready;
}

template <int N>
Encoded inputNCommand(SetContext& s, CommandBuffer& b) {
    return inputCommand(s, b, N);
}

Encoded serialCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("GSM_SET_SERNUM,%s$", s.configuration.identity.serialNumber.c_str());
    return Encoded::Ready;
}

Encoded wideCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("FL_CHANGE_WIDE,%d$", s.configuration.recording.wideRecording ? 0 : 1);
    return Encoded::Ready;
}

Encoded modeCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("FL_SET_MODE,%d$", s.configuration.recording.staticProcessing ? 0 : 1);
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
    return encodeCoordinate({static_cast<std::uint32_t>(*d), static_cast<std::uint32_t>(*m),
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
    b.formatCommand("GSM_SET_CPOINT%d,", n);
    b.appendCommandBytes(record.toBytes());
    b.appendCommandBytes("$");
    return Encoded::Ready;
}

template <int N>
Encoded pointNCommand(SetContext& s, CommandBuffer& b) {
    return pointCommand(s, b, N);
}

Encoded rateCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("FL_SET_RATE,%s,0$", s.configuration.recording.period.text.c_str());
    return Encoded::Ready;
}

Encoded sendingCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("GSM_SET_PERIODSEND,%s$", s.configuration.recording.sendingPeriod.text.c_str());
    return Encoded::Ready;
}

Encoded analogPeriodCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("FL_SET_ADD_R,%s$", s.configuration.analog.pollPeriod.text.c_str());
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
    b.formatCommand("FL_SET_COUNT_R,%d$", counters);
    return Encoded::Ready;
}

Encoded passwordCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("GSM_SET_PASSWORD,%s$", s.configuration.server.password.c_str());
    return Encoded::Ready;
}

Encoded methodCommand(SetContext& s, CommandBuffer& b) {
    b.formatCommand("FL_CHANGE_NDIST,%d$",
                    s.configuration.recording.method == RecordingMethod::ByTime ? 1 : 0);
    return Encoded::Ready;
}

// The password travels in its set command ("GSM_SET_PASSWORD,password$") and as the whole
// reply to its query.
constexpr SecretPlace kPasswordTravels[] = {
    {.commandBegins = "GSM_SET_PASSWORD,", .inCommand = true},
    {.commandBegins = "GSM_GET_PASSWORD$", .inReply = true, .replyLength = kPasswordLength},
};
// The key travels in its set command ("WKEY=n:key;$"), in that command's echo, and in the reply
// to its query ("WKEY=n:key;"): after "WKEY=n:", seven bytes at most, up to the ";".
constexpr std::size_t kKeyInReply = 7;
constexpr SecretPlace kKeyTravels[] = {
    {.commandBegins = "WKEY=",
     .inCommand = true,
     .startAfter = ':',
     .endAt = ';',
     .inReply = true,
     .replyClear = kKeyInReply,
     .replyEndAt = ';'},
    {.commandBegins = "GWKEY$", .inReply = true, .replyClear = kKeyInReply, .replyEndAt = ';'},
};

// In the order of `Setting`: `commandsFor` finds a row by its place, which the check after the
// table holds to.
constexpr auto kTable = std::to_array<SettingCommands>({
    {.setting = Setting::Addressing,
     .title = "DHCP",
     .query = {.command = "GDHCP$",
               .rule = parse(8, "DHCP=%d;", kAtSemicolon),
               .failure = "Ошибка чтения DHCP",
               .decode = addressing},
     .set = {.encode = addressingCommand,
             .rule = kEcho,
             .failure = "Ошибка задания DHCP",
             .mismatch = "Ошибка задания DHCP: ",
             .shown = ReplyShown::ReplyText}},
    {.setting = Setting::Authentication,
     .title = "проверка подлинности",
     .query = {.command = "GAUTH$",
               .rule = parse(8, "AUTH=%d;", kAtSemicolon),
               .failure = "Ошибка чтения типа авторизации",
               .decode = authentication},
     .set = {.encode = authenticationCommand,
             .rule = kEcho,
             .failure = "Ошибка задания проверки подлинности",
             .mismatch = "Ошибка задания проверки подлинности: ",
             .shown = ReplyShown::ReplyText}},
    {.setting = Setting::AccessPoint,
     .title = "точка доступа",
     .query = {.command = "GWFPOINT$",
               .rule = prefix(44, "WFPOINT=", kWhenQuiet),
               .failure = "Ошибка чтения WFPOINT",
               .decode = prefixedText<&TrackerConfiguration::network, &WifiNetwork::accessPoint>},
     .set = {.encode = accessPointCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки точки доступа",
             .mismatch = "Ошибка настройки точки доступа",
             .shown = ReplyShown::ReplyText},
     .rules = rules::accessPoint},
    {.setting = Setting::Encryption,
     .title = "шифрование",
     .query = {.command = "GWKEY$",
               .rule = parse(22, "WKEY=%d:", kWhenQuiet),
               .failure = "Ошибка чтения WKEY",
               .decode = encryption},
     .set = {.encode = encryptionCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки шифрования",
             .mismatch = "Ошибка настройки шифрования",
             .shown = ReplyShown::ReplyText},
     .rules = rules::encryption,
     .secrets = kKeyTravels},
    {.setting = Setting::DeviceAddress,
     .title = "IP устройства",
     .query = {.command = "GDEVIP$",
               .rule = prefix(23, "DEVIP=", kAtSemicolon),
               .failure = "Ошибка чтения DEVIP",
               .decode = prefixedText<&TrackerConfiguration::network, &WifiNetwork::deviceAddress>},
     .set = {.encode = deviceAddressCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки IP устройства",
             .mismatch = "Ошибка настройки IP устройства",
             .shown = ReplyShown::ReplyText},
     .fixedAddressOnly = true,
     .rules = rules::deviceAddress},
    {.setting = Setting::Netmask,
     .title = "маска сети",
     .query = {.command = "GNETMASK$",
               .rule = prefix(25, "NETMASK=", kAtSemicolon),
               .failure = "Ошибка чтения NETMASK",
               .decode = prefixedText<&TrackerConfiguration::network, &WifiNetwork::netmask>},
     .set = {.encode = netmaskCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки маски сети",
             .mismatch = "Ошибка настройки маски сети",
             .shown = ReplyShown::ReplyText},
     .fixedAddressOnly = true,
     .rules = rules::netmask},
    {.setting = Setting::Gateway,
     .title = "шлюз",
     .query = {.command = "GDEFGW$",
               .rule = prefix(23, "DEFGW=", kAtSemicolon),
               .failure = "Ошибка чтения DEFGW",
               .decode = prefixedText<&TrackerConfiguration::network, &WifiNetwork::gateway>},
     .set = {.encode = gatewayCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки шлюза",
             .mismatch = "Ошибка настройки шлюза",
             .shown = ReplyShown::ReplyText},
     .fixedAddressOnly = true,
     .rules = rules::gateway},
    {.setting = Setting::Mac,
     .title = "MAC адрес",
     .query = {},
     .set = {.encode = macCommand,
             .rule = kEcho,
             .failure = "Ошибка MAC адреса устройства",
             .mismatch = "Ошибка MAC адреса устройства:",
             .shown = ReplyShown::ReplyText}},
    {.setting = Setting::ServerPort,
     .title = "порт сервера",
     .query = {.command = "GSERPORT$",
               .rule = prefix(15, "SERPORT=", kAtSemicolon),
               .failure = "Ошибка чтения SERPORT",
               .decode = prefixedText<&TrackerConfiguration::server, &DataServer::port>},
     .set = {.encode = serverPortCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки порта",
             .mismatch = "Ошибка настройки порта:",
             .shown = ReplyShown::ReplyText},
     .rules = rules::serverPort},
    {.setting = Setting::ServerAddress,
     .title = "IP сервера",
     .query = {.command = "GSERIP$",
               .rule = prefix(23, "SERIP=", kAtSemicolon),
               .failure = "Ошибка чтения IP сервера",
               .decode = prefixedText<&TrackerConfiguration::server, &DataServer::address>},
     .set = {.encode = serverAddressCommand,
             .rule = kEcho,
             .failure = "Ошибка настройки IP сервера",
             .mismatch = "Ошибка настройки IP сервера:",
             .shown = ReplyShown::ReplyText},
     .rules = rules::serverAddress},
    {.setting = Setting::Input1,
     .title = "цифровой вход 1",
     .query = {.command = "GSM_GET_SMS,1$",
               .rule = count(5),
               .fatal = false,
               .failure = "Ошибка чтения способа записи",
               .decode = inputN<1>},
     .set = {.encode = inputNCommand<1>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки цифрового входа 1"},
     .rules = rules::input1},
    {.setting = Setting::Input2,
     .title = "цифровой вход 2",
     .query = {.command = "GSM_GET_SMS,2$",
               .rule = count(5),
               .fatal = false,
               .failure = "Ошибка чтения способа записи 2",
               .decode = inputN<2>},
     .set = {.encode = inputNCommand<2>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки цифрового входа 2"},
     .rules = rules::input2},
    {.setting = Setting::Input3,
     .title = "цифровой вход 3",
     .query = {.command = "GSM_GET_SMS,3$",
               .rule = count(5),
               .fatal = false,
               .failure = "Ошибка чтения способа записи 3",
               .decode = inputN<3>},
     .set = {.encode = inputNCommand<3>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки цифрового входа 3"}},
    {.setting = Setting::Input4,
     .title = "цифровой вход 4",
     .query = {.command = "GSM_GET_SMS,4$",
               .rule = count(5),
               .fatal = false,
               .failure = "Ошибка чтения способа записи 4",
               .decode = inputN<4>},
     .set = {.encode = inputNCommand<4>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки цифрового входа 4"}},
    {.setting = Setting::SerialNumber,
     .title = "серийный номер",
     .query = {},
     .set = {.encode = serialCommand,
             .rule = count(6),
             .failure = kSendFailed,
             .shown = ReplyShown::ReplyText}},
    {.setting = Setting::WideRecording,
     .title = "расширенная запись",
     .query = {.command = "FL_GET_WIDE$",
               .rule = count(7),
               .fatal = false,
               .failure = "Ошибка чтения способа записи",
               .decode = wideRecording},
     .set = {.encode = wideCommand,
             .rule = count(7),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::Ok}},
    {.setting = Setting::StaticProcessing,
     .title = "режим работы",
     .query = {.command = "FL_GET_MODE$",
               .rule = count(6),
               .fatal = false,
               .failure = "Ошибка чтения режима работы",
               .decode = staticProcessing},
     .set = {.encode = modeCommand,
             .rule = count(6),
             .fatal = false,
             .failure = "Ошибка установки режима работы",
             .shown = ReplyShown::Ok}},
    {.setting = Setting::Point1,
     .title = "контрольная точка 1",
     .query = {.command = "GSM_GET_CPOINT1$",
               .rule = count(20),
               .fatal = false,
               .failure = "Ошибка чтения первой контрольной точки",
               .decode = pointN<1>},
     .set = {.encode = pointNCommand<1>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки первой контрольной точки"},
     .rules = rules::point1},
    {.setting = Setting::Point2,
     .title = "контрольная точка 2",
     .query = {.command = "GSM_GET_CPOINT2$",
               .rule = count(20),
               .fatal = false,
               .failure = "Ошибка чтения второй контрольной точки",
               .decode = pointN<2>},
     .set = {.encode = pointNCommand<2>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки второй контрольной точки"},
     .rules = rules::point2},
    {.setting = Setting::Point3,
     .title = "контрольная точка 3",
     .query = {.command = "GSM_GET_CPOINT3$",
               .rule = count(20),
               .fatal = false,
               .failure = "Ошибка чтения третьей контрольной точки",
               .decode = pointN<3>},
     .set = {.encode = pointNCommand<3>,
             .rule = count(6),
             .fatal = false,
             .failure = kSendFailed,
             .shown = ReplyShown::SetOk,
             .rejected = "Ошибка установки третьей контрольной точки"},
     .rules = rules::point3},
    {.setting = Setting::RecordingPeriod,
     .title = "период записи",
     .query = {.command = "FL_GET_RATE$",
               .rule = count(4),
               .failure = "Ошибка чтения периода записи",
               .showsCommand = true,
               .decode = recordingPeriod},
     .set = {.encode = rateCommand,
             .rule = count(4),
             .failure = kSendFailed,
             .shown = ReplyShown::FirstByte},
     .rules = rules::recordingPeriod},
    {.setting = Setting::SendingPeriod,
     .title = "период отправки",
     .query = {.command = "GSM_GET_PERIODSEND$",
               .rule = count(4),
               .failure = "Ошибка чтения периода отправки",
               .showsCommand = true,
               .decode = sendingPeriod},
     .set = {.encode = sendingCommand,
             .rule = count(4),
             .failure = kSendFailed,
             .shown = ReplyShown::Signed32},
     .rules = rules::sendingPeriod},
    {.setting = Setting::AnalogPeriod,
     .title = "период опроса аналоговых входов",
     .query = {.command = "FL_GET_ADD_R$",
               .rule = count(2),
               .failure = "Ошибка чтения периода записи аналоговых входов",
               .showsCommand = true,
               .decode = analogPeriod},
     .set = {.encode = analogPeriodCommand,
             .rule = count(2),
             .failure = "Ошибка установки периода записи аналоговых данных",
             .shown = ReplyShown::Unsigned16},
     .rules = rules::analogPeriod},
    {.setting = Setting::CounterPeriods,
     .title = "периоды счётчиков",
     .query = {.command = "FL_GET_COUNT_R$",
               .rule = count(4),
               .failure = "Ошибка чтения периода записи счётчиков",
               .showsCommand = true,
               .decode = counterPeriods},
     .set = {.encode = counterCommand,
             .rule = count(4),
             .failure = "Ошибка установки периода записи счётчиков",
             .shown = ReplyShown::Signed32},
     .rules = rules::counterPeriods},
    {.setting = Setting::Password,
     .title = "пароль сервера",
     .query = {.command = "GSM_GET_PASSWORD$",
               .rule = count(kPasswordLength),
               .failure = "Ошибка чтения пароля",
               .decode = password},
     .set = {.encode = passwordCommand,
             .rule = count(6),
             .failure = kSendFailed,
             .shown = ReplyShown::ReplyText},
     .rules = rules::password,
     .secrets = kPasswordTravels},
    {.setting = Setting::RecordingMethod,
     .title = "способ записи",
     .query = {.command = "FL_GET_NDIST$",
               .rule = count(7),
               .fatal = false,
               .failure = "Ошибка чтения способа записи",
               .showsCommand = true,
               .decode = recordingMethod},
     .set = {.encode = methodCommand,
             .rule = count(7),
             .failure = kSendFailed,
             .shown = ReplyShown::Nothing}},
});

constexpr bool eachRowInItsPlace() {
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i].setting != static_cast<Setting>(i)) {
            return false;
        }
    }
    return kTable.size() == static_cast<std::size_t>(kLastSetting) + 1;
}
static_assert(eachRowInItsPlace(), "a row of the command table stands away from its Setting");

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

const SecretPlaces& trafficSecrets() {
    static const SecretPlaces places = [] {
        SecretPlaces all;
        for (const SettingCommands& row : kTable) {
            all.insert(all.end(), row.secrets.begin(), row.secrets.end());
        }
        return all;
    }();
    return places;
}

std::string maskSecrets(std::string_view command) {
    return maskedCommand(trafficSecrets(), command);
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

std::span<const FieldLimit> fieldLimits() {
    return kLimits;
}

}  // namespace korvan
