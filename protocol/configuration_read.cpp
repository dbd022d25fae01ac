#include "protocol/configuration_read.h"

#include <array>
#include <string>

#include "protocol/exchange.h"
#include "base/scan.h"

namespace korvan {
namespace {

// What one read has found out besides the fields.
struct ReadState {
    FieldModel& model;
    InputRecord& inputRecord;
    bool notConfigured = false;  // an erased period or password: only the final message shows it
};

using Apply = void (*)(ReadState&, const Reply&);

struct Query {
    const char* command;
    ExchangeRule rule;
    Apply apply;
    bool showsCommand;  // the status line shows the command once it is answered
    Severity severity;
    const char* failure;
    bool fixedAddressOnly = false;
};

std::string decimal(long long number) {
    return std::to_string(number);
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

void recordingPeriod(ReadState& s, const Reply& r) {
    const auto period = r.number(0, 2);
    if (period == 0xFFFF) {
        s.notConfigured = true;
    } else {
        s.model.setText(Field::Edit1, decimal(period));
    }
}

void sendingPeriod(ReadState& s, const Reply& r) {
    const auto period = r.number(0, 4);
    if (period == 0xFFFFFFFFu) {
        s.notConfigured = true;
    } else {
        s.model.setText(Field::Edit2, decimal(static_cast<std::int32_t>(period)));
    }
}

void analogPeriod(ReadState& s, const Reply& r) {
    const auto period = r.number(0, 2);
    if (period == 0xFFFF) {
        s.notConfigured = true;
    } else {
        s.model.setText(Field::AnalogTime, decimal(period));
    }
}

void counterPeriods(ReadState& s, const Reply& r) {
    const auto periods = r.number(0, 4);
    if (periods == 0xFFFFFFFFu) {
        s.notConfigured = true;
        return;
    }
    s.model.setText(Field::CounterTime, decimal(periods & 0xFFFF));
    s.model.setText(Field::CounterTime34, decimal(periods >> 16));
}

void password(ReadState& s, const Reply& r) {
    if (r.startsWith("EMPTY")) {
        s.notConfigured = true;
        return;
    }
    s.model.setText(Field::edPassword, r.text().substr(0, 8));
}

void recordingMethod(ReadState& s, const Reply& r) {
    s.model.setItemIndex(Field::WriteMethod, r.startsWith("NDIST=1") ? 0 : 1);
    s.model.WriteMethodChange();
}

void staticProcessing(ReadState& s, const Reply& r) {
    const auto numbers = ScanNumbers(r.text(), "MODE=%d");
    if (numbers.size() == 1) {
        s.model.setChecked(Field::StaticBox, (numbers[0] & 1) == 0);
    }
}

void wideRecording(ReadState& s, const Reply& r) {
    s.model.setChecked(Field::WideWrite, r.startsWith("RWIDE=0"));
}

// Input n's fields from its record, in an order whose reactions the design relies on: a Wi-Fi
// box ticked selects type A, and a counter type selected afterwards clears the box again.
void input(ReadState& s, const Reply& r, int n) {
    if (r.startsWith("EMPTY")) {
        return;
    }
    s.inputRecord = InputRecord::fromBytes(r.bytes().first<InputRecord::kReadSize>());
    const InputRecord& record = s.inputRecord;
    auto& m = s.model;
    if (n <= 2) {
        m.setText(numbered(Field::Ain1, n), decimal(record.threshold()));
        m.setText(numbered(Field::Usr1, n), decimal(record.averaging()));
    }
    m.setChecked(numbered(Field::GPRS1, n), (record.flags & InputRecord::kNoWifiSend) == 0);
    m.setItemIndex(numbered(Field::InputBox1, n),
                   (record.flags & InputRecord::kTriggerOnClosed) != 0 ? 0 : 1);
    if (n <= 2) {
        m.setChecked(numbered(Field::AnalogWrite1, n),
                     (record.flags & InputRecord::kAnalogNotDigital) == 0);
    }
    if (n == 1) {
        m.setItemIndex(Field::AnalogMethod,
                       (record.flags & InputRecord::kAnalogNotMoreOften) != 0 ? 1 : 0);
    }
    m.setChecked((record.flags & InputRecord::kNotTypeB) != 0 ? numbered(Field::RadioButton1, n)
                                                              : numbered(Field::CheckBox1, n),
                 true);
    if ((record.flags & InputRecord::kNotTypeC) == 0) {
        m.setChecked(numbered(Field::TempBox1, n), true);
    }
}

template <int N>
void inputN(ReadState& s, const Reply& r) {
    input(s, r, N);
}

void point(ReadState& s, const Reply& r, int n) {
    if (r.startsWith("EMPTY")) {
        return;
    }
    const auto record =
        ControlPointRecord::fromBytes(r.bytes().first<ControlPointRecord::kWireSize>());
    auto& m = s.model;
    auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    const auto flagClear = [&](std::uint32_t bit) { return (record.flags & bit) == 0; };
    m.setChecked(p(Field::Point1InOut), flagClear(ControlPointRecord::kNoOutputOnEntry));
    m.setChecked(p(Field::Point1OutOut), flagClear(ControlPointRecord::kNoOutputOnExit));
    m.setChecked(p(Field::Point1InGPRS), flagClear(ControlPointRecord::kNoSendOnEntry));
    m.setChecked(p(Field::Point1OutGPRS), flagClear(ControlPointRecord::kNoSendOnExit));
    m.setText(p(Field::edPoint1OnTime), decimal(record.onTimeSeconds / 60));
    const Coordinate latitude = DecodeCoordinate(record.latitude);
    const Coordinate longitude = DecodeCoordinate(record.longitude);
    m.setText(p(Field::Point1EW), longitude.southOrWest ? "W" : "E");
    m.setText(p(Field::Point1NS), latitude.southOrWest ? "S" : "N");
    m.setText(p(Field::Point1Rad), decimal(record.radius));
    m.setText(p(Field::Point1Latd), decimal(latitude.degrees));
    m.setText(p(Field::Point1Lond), decimal(longitude.degrees));
    m.setText(p(Field::Point1Latm), decimal(latitude.minutes));
    m.setText(p(Field::Point1Lonm), decimal(longitude.minutes));
    m.setText(p(Field::Point1Latmm), decimal(latitude.fraction));
    m.setText(p(Field::Point1Lonmm), decimal(longitude.fraction));
}

template <int N>
void pointN(ReadState& s, const Reply& r) {
    point(s, r, N);
}

void addressing(ReadState& s, const Reply& r) {
    s.model.setChecked(r.numbers[0] == 1 ? Field::AutoIP : Field::RadioButton6, true);
}

void authentication(ReadState& s, const Reply& r) {
    s.model.setItemIndex(Field::Sert, r.numbers[0] == 1 ? 1 : 0);
}

template <Field F>
void prefixedText(ReadState& s, const Reply& r) {
    s.model.setText(F, r.value);
}

void encryption(ReadState& s, const Reply& r) {
    auto& m = s.model;
    switch (r.numbers[0]) {
        case 1:
            m.setChecked(Field::WEP, true);
            m.setChecked(Field::bit64, true);
            m.setText(Field::WiFiKey, textBeforeLastByte(r, 7));
            break;
        case 2:
            m.setChecked(Field::RadioButton7, true);
            m.setChecked(Field::WEP, true);
            m.setText(Field::WiFiKey, textBeforeLastByte(r, 7));
            break;
        default:
            m.setChecked(Field::NoEncr, true);
            break;
    }
}

constexpr ExchangeRule count(std::size_t n) {
    return {Acceptance::Count, n, {}};
}

// The queries after the version, in the order the tracker is asked.
const std::array<Query, 24> kQueries = {{
    {"FL_GET_RATE$", count(4), recordingPeriod, true, Severity::Fatal,
     "Ошибка чтения периода записи"},
    {"GSM_GET_PERIODSEND$", count(4), sendingPeriod, true, Severity::Fatal,
     "Ошибка чтения периода отправки"},
    {"FL_GET_ADD_R$", count(2), analogPeriod, true, Severity::Fatal,
     "Ошибка чтения периода записи аналоговых входов"},
    {"FL_GET_COUNT_R$", count(4), counterPeriods, true, Severity::Fatal,
     "Ошибка чтения периода записи счётчиков"},
    {"GSM_GET_PASSWORD$", count(8), password, false, Severity::Fatal, "Ошибка чтения пароля"},
    {"FL_GET_NDIST$", count(7), recordingMethod, true, Severity::GoOn,
     "Ошибка чтения способа записи"},
    {"FL_GET_MODE$", count(6), staticProcessing, false, Severity::GoOn,
     "Ошибка чтения режима работы"},
    {"FL_GET_WIDE$", count(7), wideRecording, false, Severity::GoOn,
     "Ошибка чтения способа записи"},
    {"GSM_GET_SMS,1$", count(5), inputN<1>, false, Severity::GoOn, "Ошибка чтения способа записи"},
    {"GSM_GET_SMS,2$", count(5), inputN<2>, false, Severity::GoOn,
     "Ошибка чтения способа записи 2"},
    {"GSM_GET_SMS,3$", count(5), inputN<3>, false, Severity::GoOn,
     "Ошибка чтения способа записи 3"},
    {"GSM_GET_SMS,4$", count(5), inputN<4>, false, Severity::GoOn,
     "Ошибка чтения способа записи 4"},
    {"GSM_GET_CPOINT1$", count(20), pointN<1>, false, Severity::GoOn,
     "Ошибка чтения первой контрольной точки"},
    {"GSM_GET_CPOINT2$", count(20), pointN<2>, false, Severity::GoOn,
     "Ошибка чтения второй контрольной точки"},
    {"GSM_GET_CPOINT3$", count(20), pointN<3>, false, Severity::GoOn,
     "Ошибка чтения третьей контрольной точки"},
    {"GDHCP$",
     {Acceptance::Parse, 8, "DHCP=%d;"},
     addressing,
     false,
     Severity::Fatal,
     "Ошибка чтения DHCP"},
    {"GAUTH$",
     {Acceptance::Parse, 8, "AUTH=%d;"},
     authentication,
     false,
     Severity::Fatal,
     "Ошибка чтения типа авторизации"},
    {"GSERIP$",
     {Acceptance::Prefix, 23, "SERIP="},
     prefixedText<Field::ip>,
     false,
     Severity::Fatal,
     "Ошибка чтения IP сервера"},
    {"GSERPORT$",
     {Acceptance::Prefix, 15, "SERPORT="},
     prefixedText<Field::port>,
     false,
     Severity::Fatal,
     "Ошибка чтения SERPORT"},
    {"GDEVIP$",
     {Acceptance::Prefix, 23, "DEVIP="},
     prefixedText<Field::DevIP>,
     false,
     Severity::Fatal,
     "Ошибка чтения DEVIP",
     true},
    {"GNETMASK$",
     {Acceptance::Prefix, 25, "NETMASK="},
     prefixedText<Field::Netmask>,
     false,
     Severity::Fatal,
     "Ошибка чтения NETMASK",
     true},
    {"GDEFGW$",
     {Acceptance::Prefix, 23, "DEFGW="},
     prefixedText<Field::DefGW>,
     false,
     Severity::Fatal,
     "Ошибка чтения DEFGW",
     true},
    {"GWKEY$",
     {Acceptance::Parse, 22, "WKEY=%d:"},
     encryption,
     false,
     Severity::Fatal,
     "Ошибка чтения WKEY"},
    {"GWFPOINT$",
     {Acceptance::Prefix, 44, "WFPOINT="},
     prefixedText<Field::WiFiName>,
     false,
     Severity::Fatal,
     "Ошибка чтения WFPOINT"},
}};

constexpr std::size_t kFirstNetworkQuery = 15;  // "GDHCP$": the fractions are padded before it

// The fractions of a minute are shown with five digits, whatever the points held.
void padFractions(FieldModel& m) {
    for (int n = 1; n <= 3; ++n) {
        for (Field f : {ofPoint(Field::Point1Latmm, n), ofPoint(Field::Point1Lonmm, n)}) {
            std::string text = m.text(f);
            while (text.size() < 5) {
                text.insert(text.begin(), '0');
            }
            m.setText(f, text);
        }
    }
}

bool readVersion(Link& link, FieldModel& m) {
    link.CommandText.FormatCommand("FL_READ_VERSION$");
    const auto result = Exchange(link, count(9));
    if (!result.accepted) {
        ReportFailure(link, m, Severity::Fatal, "Ошибка чтения версии устройства");
        return false;
    }
    const auto version = ParseFirmwareVersion(result.reply.text());
    if (!version) {
        ReportFailure(link, m, Severity::Fatal, "Неизвестная версия");
        return false;
    }
    m.setText(Field::Panel16, version->caption());
    m.FirmwareVersion = version->combined();
    for (Field f : {Field::AnalogTime, Field::CounterTime, Field::CheckBox1, Field::CheckBox2,
                    Field::TempBox1, Field::TempBox2}) {
        m.setEnabled(f, true);
    }
    m.setText(Field::CommandInfo, std::string(link.CommandText.text()));
    return true;
}

}  // namespace

void ReportOpenFailure(FieldModel& model, OpenOutcome outcome, std::string_view messageUtf8) {
    model.setStatusColour(StatusColour::Red);
    // Short enough for the status line's two lines.
    model.setStatusMessage(outcome == OpenOutcome::NoPermission
                               ? "Нет доступа к USB: нужно правило udev из пакета korvan"
                               : messageUtf8);
}

bool ReadConfiguration(Link& link, FieldModel& model, InputRecord& inputRecord) {
    if (const auto opened = link.OpenPort(); opened != OpenOutcome::Opened) {
        ReportOpenFailure(model, opened, "Ошибка при открытии порта USB");
        return false;
    }
    if (!readVersion(link, model)) {
        return false;
    }
    if (model.checked(Field::UnReadBox)) {
        model.setStatusColour(StatusColour::Black);
        model.setStatusMessage("Параметры не были считаны");
        link.ClosePort();
        return true;
    }
    ReadState state{model, inputRecord};
    for (std::size_t i = 0; i < kQueries.size(); ++i) {
        const Query& query = kQueries[i];
        if (i == kFirstNetworkQuery) {
            padFractions(model);
        }
        if (query.fixedAddressOnly && !model.checked(Field::RadioButton6)) {
            continue;
        }
        link.CommandText.FormatCommand("%s", query.command);
        const auto result = Exchange(link, query.rule);
        if (!result.accepted) {
            ReportFailure(link, model, query.severity, query.failure);
            if (query.severity == Severity::Fatal) {
                return false;
            }
            continue;
        }
        query.apply(state, result.reply);
        if (query.showsCommand) {
            model.setText(Field::CommandInfo, query.command);
        }
    }
    link.ClosePort();

    // An input that the device left without a counter type is an ordinary one.
    for (int n = 1; n <= 2; ++n) {
        if (!model.checked(numbered(Field::CheckBox1, n)) &&
            !model.checked(numbered(Field::TempBox1, n))) {
            model.setChecked(numbered(Field::RadioButton1, n), true);
        }
    }
    model.setStatusColour(StatusColour::Black);
    if (state.notConfigured) {
        model.setStatusFont(StatusFont::Points12);
        model.setStatusMessage(
            "Устройство не настроено. Заполните пустые поля и нажмите кнопку \"Установить\"");
    } else {
        model.setStatusMessage("Данные успешно считаны из устройства");
    }
    return true;
}

}  // namespace korvan
