#include "protocol/value_rules.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"

namespace korvan {
namespace {

// A configuration that every rule admits, with the device's own addresses and WEP on so that
// those rules are judged too.
TrackerConfiguration writable() {
    TrackerConfiguration c;
    c.network = {"depot_AP", Encryption::Wep64, "abcde",         false,
                 false,      "10.0.0.5",        "255.255.255.0", "10.0.0.1"};
    c.server = {"192.0.2.10", "2224", "Fleet_17"};
    c.recording.period = {"5"};
    c.recording.sendingPeriod = {"120"};
    c.recording.counterPeriod12 = {"3600"};
    c.recording.counterPeriod34 = {"0"};
    c.analog.pollPeriod = {"3600"};
    c.analog.inputs[0] = {{"1023"}, {"16"}, false};
    c.analog.inputs[1] = {{"1023"}, {"16"}, false};
    for (auto& p : c.points) {
        p.radius = {"50"};
        p.onTimeMinutes = {"1"};
    }
    return c;
}

// The field names of every value that `c` breaks.
std::vector<std::string> broken(const TrackerConfiguration& c) {
    std::vector<std::string> names;
    for (const RuleBreak& b : brokenRules(c)) {
        names.push_back(describe(b.field));
    }
    return names;
}

struct Edge {
    std::string value;
    bool admitted;
};

// Sets one value through `set`, for each edge, and expects the break (named `name`) or none.
template <typename Set>
void expectEdges(const std::string& name, Set set, std::initializer_list<Edge> edges) {
    for (const Edge& edge : edges) {
        SCOPED_TRACE(name + " = «" + edge.value + "»");
        TrackerConfiguration c = writable();
        set(c, edge.value);
        const auto names = broken(c);
        if (edge.admitted) {
            EXPECT_TRUE(names.empty()) << names.front();
            EXPECT_EQ(writeRefusal(c), std::nullopt);
        } else {
            ASSERT_EQ(names.size(), 1u);
            EXPECT_EQ(names.front(), name);
            const auto refusal = writeRefusal(c);
            ASSERT_TRUE(refusal.has_value());
            EXPECT_NE(cp1251::toUtf8(*refusal).find("«" + name + "»"), std::string::npos)
                << cp1251::toUtf8(*refusal);
        }
    }
}

TEST(ValueRules, AWritableConfigurationBreaksNothing) {
    EXPECT_TRUE(brokenRules(writable()).empty());
}

TEST(ValueRules, EveryAddressIsFourDecimalPartsUpTo255) {
    const std::initializer_list<Edge> edges = {
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"256.1.1.1", false},
        {"1.1.1.256", false},
        {"999.300.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1..2.3", false},
        {"1.2.3.", false},
        {".1.2.3", false},
        {"", false},
        {"1.2.3.4 ", false},
        {"1.2.3.-4", false},
        {"1.2.3.0004", false},
        {"010.0.0.1", true},
        {"not-an-ip", false},
    };
    expectEdges(
        "IP сервера", [](auto& c, auto v) { c.server.address = v; }, edges);
    expectEdges(
        "IP устройства", [](auto& c, auto v) { c.network.deviceAddress = v; }, edges);
    expectEdges(
        "Маска сети", [](auto& c, auto v) { c.network.netmask = v; }, edges);
    expectEdges(
        "Шлюз", [](auto& c, auto v) { c.network.gateway = v; }, edges);
}

TEST(ValueRules, TheDevicesOwnAddressesAreJudgedOnlyWhenTheyAreSent) {
    TrackerConfiguration c = writable();
    c.network.dhcp = true;
    c.network.deviceAddress = c.network.netmask = c.network.gateway = "not-an-ip";
    c.network.encryption = Encryption::None;
    c.network.key = "k;$";
    EXPECT_TRUE(brokenRules(c).empty());
}

TEST(ValueRules, ThePortIsDigitsFrom1To65535) {
    expectEdges("Порт сервера", [](auto& c, auto v) { c.server.port = v; },
                {{"1", true},
                 {"65535", true},
                 {"0", false},
                 {"65536", false},
                 {"99999", false},
                 {"00080", true},
                 {"abc", false},
                 {"-1", false},
                 {"+80", false},
                 {"", false},
                 {"80 ", false},
                 {"123456", false}});
}

TEST(ValueRules, CounterPeriodsAndCoordinatesAreRefusedJustPastTheirRecord) {
    const auto counter12 = [](auto& c, auto v) { c.recording.counterPeriod12 = {v}; };
    const auto counter34 = [](auto& c, auto v) { c.recording.counterPeriod34 = {v}; };
    const std::initializer_list<Edge> counters = {{"0", true},   {"65535", true}, {"65536", false},
                                                  {"-1", false}, {"", false},     {"x", false}};
    expectEdges("Период записи показаний счётчиков 1,2", counter12, counters);
    expectEdges("Период записи показаний счётчиков 3,4", counter34, counters);

    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const std::string of = std::string(" ") +
                               (n == 1   ? "первой"
                                : n == 2 ? "второй"
                                         : "третьей") +
                               " контрольной точки";
        const auto at = [n](TrackerConfiguration& c) -> ControlPoint& {
            ControlPoint& p = c.points[static_cast<std::size_t>(n - 1)];
            p.latitude.degrees = {"55"};
            p.longitude.degrees = {"37"};
            return p;
        };
        expectEdges("Градусы широты" + of, [&](auto& c, auto v) { at(c).latitude.degrees = {v}; },
                    {{"0", true}, {"90", true}, {"91", false}, {"-1", false}, {"+5", false}});
        expectEdges("Градусы долготы" + of, [&](auto& c, auto v) { at(c).longitude.degrees = {v}; },
                    {{"0", true}, {"180", true}, {"181", false}});
        expectEdges("Минуты широты" + of, [&](auto& c, auto v) { at(c).latitude.minutes = {v}; },
                    {{"", true}, {"0", true}, {"59", true}, {"60", false}, {"-0", false}});
        expectEdges("Минуты долготы" + of, [&](auto& c, auto v) { at(c).longitude.minutes = {v}; },
                    {{"59", true}, {"60", false}});
        expectEdges("Доли минуты широты" + of,
                    [&](auto& c, auto v) { at(c).latitude.fraction = {v}; },
                    {{"", true}, {"99999", true}, {"123456", false}, {"1a", false}});
        expectEdges("Доли минуты долготы" + of,
                    [&](auto& c, auto v) { at(c).longitude.fraction = {v}; },
                    {{"00001", true}, {"100000", false}});
        // A point placed needs its radius; its on-time only while it sends.
        expectEdges("Радиус" + of, [&](auto& c, auto v) { at(c).radius = {v}; },
                    {{"", false}, {"1", true}, {"2147483647", true}, {"2147483648", false}});
        expectEdges("Время включения" + of,
                    [&](auto& c, auto v) {
                        at(c).sendOnExit = true;
                        at(c).onTimeMinutes = {v};
                    },
                    {{"", false}, {"0", true}, {"90", true}, {"-5", false}});
        expectEdges("Полушарие широты" + of,
                    [&](auto& c, auto v) { at(c).latitude.hemisphereKnown = v.empty(); },
                    {{"", true}, {"X", false}});
    }
}

TEST(ValueRules, NumbersTheWriteCorrectsMustBeWholeNumbersItCanConvert) {
    const auto period = [](auto& c, auto v) { c.recording.period = {v}; };
    // 0 and 999 are brought to 1 and 600; a sign or a letter is refused, never corrected.
    expectEdges("Период записи точек", period,
                {{"0", true},
                 {"999", true},
                 {"-5", false},
                 {"+5", false},
                 {"", false},
                 {"5s", false},
                 {"2147483647", true},
                 {"2147483648", false}});
    expectEdges("Период отсылки данных по WiFi",
                [](auto& c, auto v) { c.recording.sendingPeriod = {v}; },
                {{"0", true}, {"15", true}, {"-30", false}});
    expectEdges("Период опроса аналоговых входов",
                [](auto& c, auto v) { c.analog.pollPeriod = {v}; },
                {{"1", true}, {"99999", true}, {"abc", false}});
    for (int n = 1; n <= 2; ++n) {
        const std::string input = n == 1 ? "1)" : "2)";
        const auto i = static_cast<std::size_t>(n - 1);
        expectEdges("Записывать изменение более (аналоговый вход " + input,
                    [i](auto& c, auto v) { c.analog.inputs[i].changeThreshold = {v}; },
                    {{"0", true}, {"9999", true}, {"-1", false}});
        expectEdges("Период усреднения (аналоговый вход " + input,
                    [i](auto& c, auto v) { c.analog.inputs[i].averagingPeriod = {v}; },
                    {{"0", true}, {"99", true}, {"", false}});
    }
}

TEST(ValueRules, TextsKeepTheTrackersCharactersAndLengths) {
    expectEdges("Имя сети Wi-Fi", [](auto& c, auto v) { c.network.accessPoint = v; },
                {{std::string(35, 'a'), true},
                 {std::string(36, 'a'), false},
                 {"", true},
                 {"Depot North", true},
                 {"a;b", false},
                 {"a$b", false},
                 {"a\tb", false}});
    expectEdges("Ключ шифрования", [](auto& c, auto v) { c.network.key = v; },
                {{std::string(13, 'k'), true}, {std::string(14, 'k'), false}, {"k;", false}});
    expectEdges("Пароль", [](auto& c, auto v) { c.server.password = v; },
                {{"12345678", true},
                 {"1234567", false},
                 {"123456789", false},
                 {"1234567$", false},
                 {"1234;678", true}});
}

TEST(ValueRules, EachBrokenValueIsNamedOnceAndTheRuleSaysWhatItMustBe) {
    TrackerConfiguration c = writable();
    c.server.port = "abc";
    c.server.address = "999.300.1.1";
    c.recording.counterPeriod34 = {"70000"};
    const auto breaks = brokenRules(c);
    ASSERT_EQ(breaks.size(), 3u);
    // In the order the write sends them: the port before the server's address.
    EXPECT_EQ(breaks[0].field, ValueField(TextField::ServerPort));
    EXPECT_EQ(breaks[0].rule, "Число от 1 до 65535");
    EXPECT_EQ(breaks[1].field, ValueField(TextField::ServerAddress));
    EXPECT_EQ(breaks[2].field, ValueField(NumberField::CounterPeriod34));
    EXPECT_EQ(breaks[2].rule, "Целое число от 0 до 65535");
    EXPECT_EQ(writeRefusal(c), breaks[0].message);
    EXPECT_EQ(cp1251::toUtf8(breaks[0].message),
              "В поле «Порт сервера» не номер порта: «abc». Нужно число от 1 до 65535. "
              "Исправьте его и нажмите «Установить» снова.");
}

}  // namespace
}  // namespace korvan
