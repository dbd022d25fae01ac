#include "settings/field_model.h"

#include <cassert>
#include <cstdio>
#include <map>
#include <utility>

#include "base/cp1251.h"

namespace korvan {

struct Subscription::Registry {
    std::map<int, FieldListener> listeners;
    int nextId = 1;
};

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        release();
        registry_ = std::move(other.registry_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

Subscription::~Subscription() {
    release();
}

void Subscription::release() {
    if (auto registry = registry_.lock()) {
        registry->listeners.erase(id_);
    }
    registry_.reset();
}

FieldModel::FieldModel() : listeners_(std::make_shared<Subscription::Registry>()) {
    for (int i = 0; i < kFieldCount; ++i) {
        const auto& info = fieldInfo(static_cast<Field>(i));
        auto& s = fields_[i];
        s.text = info.initialText;
        s.index = info.initialIndex;
        s.checked = info.initialChecked;
        s.enabled = info.initiallyEnabled;
        s.maxLength = info.maxLength;
    }
}

Subscription FieldModel::subscribe(FieldListener listener) {
    const int id = listeners_->nextId++;
    listeners_->listeners.emplace(id, std::move(listener));
    return Subscription(listeners_, id);
}

void FieldModel::notify(Field f, Aspect aspect) {
    // A listener may subscribe or unsubscribe while it is told: walk by id, not by iterator.
    int lastId = 0;
    for (;;) {
        auto it = listeners_->listeners.upper_bound(lastId);
        if (it == listeners_->listeners.end()) {
            break;
        }
        lastId = it->first;
        auto listener = it->second;
        listener(f, aspect);
    }
}

void FieldModel::setMarks(Field f, FieldMarks marks) {
    if (marks_[indexOf(f)] != marks) {
        marks_[indexOf(f)] = std::move(marks);
        notify(f, Aspect::Marks);
    }
}

void FieldModel::setText(Field f, std::string text) {
    auto& s = state(f);
    const auto& info = fieldInfo(f);
    assert(info.kind != FieldKind::Check && info.kind != FieldKind::Radio &&
           info.kind != FieldKind::Button);
    int index = s.index;
    if (info.kind == FieldKind::Combo) {
        index = -1;
        for (std::size_t i = 0; i < info.items.size(); ++i) {
            if (info.items[i] == text) {
                index = static_cast<int>(i);
            }
        }
    }
    if (s.text == text && s.index == index) {
        return;
    }
    s.text = std::move(text);
    s.index = index;
    notify(f, Aspect::Value);
}

void FieldModel::setItemIndex(Field f, int index) {
    const auto& info = fieldInfo(f);
    assert(info.kind == FieldKind::Combo);
    if (index < 0 || index >= static_cast<int>(info.items.size())) {
        index = -1;
    }
    auto& s = state(f);
    std::string text = index < 0 ? std::string() : info.items[static_cast<std::size_t>(index)];
    if (s.index == index && s.text == text) {
        return;
    }
    s.index = index;
    s.text = std::move(text);
    notify(f, Aspect::Value);
}

void FieldModel::setChecked(Field f, bool on) {
    const auto& info = fieldInfo(f);
    assert(info.kind == FieldKind::Check || info.kind == FieldKind::Radio);
    auto& s = state(f);
    if (s.checked == on) {
        return;
    }
    if (info.kind == FieldKind::Radio && on) {
        for (Field other : groupMembers(info.group)) {
            if (other != f && state(other).checked) {
                state(other).checked = false;
                notify(other, Aspect::Value);
            }
        }
    }
    s.checked = on;
    notify(f, Aspect::Value);
    if (info.kind == FieldKind::Check || on) {
        react(f);
    }
}

void FieldModel::setEnabled(Field f, bool on) {
    auto& s = state(f);
    if (s.enabled != on) {
        s.enabled = on;
        notify(f, Aspect::Enabled);
    }
}

void FieldModel::setMaxLength(Field f, int length) {
    auto& s = state(f);
    if (s.maxLength != length) {
        s.maxLength = length;
        notify(f, Aspect::MaxLength);
    }
}

void FieldModel::restore(const Snapshot& snapshot) {
    // Every state first, then the news: a listener that looks at other fields sees them whole.
    Snapshot before = std::exchange(fields_, snapshot);
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const auto& was = before[i];
        const auto& now = fields_[i];
        if (was.text != now.text || was.index != now.index || was.checked != now.checked) {
            notify(f, Aspect::Value);
        }
        if (was.enabled != now.enabled) {
            notify(f, Aspect::Enabled);
        }
        if (was.maxLength != now.maxLength) {
            notify(f, Aspect::MaxLength);
        }
    }
}

void FieldModel::setStatusColour(StatusColour colour) {
    if (statusColour_ != colour) {
        statusColour_ = colour;
        notify(Field::StatusLine, Aspect::Colour);
    }
}

void FieldModel::setStatusMessage(std::string_view utf8) {
    setText(Field::StatusLine, cp1251::fromUtf8(utf8));
}

void FieldModel::setStatusFont(StatusFont font) {
    if (statusFont_ != font) {
        statusFont_ = font;
        notify(Field::StatusLine, Aspect::Font);
    }
}

namespace {

// The number of `f` within the run that starts at `first` and holds `count` fields, or 0.
int numberIn(Field f, Field first, int count) {
    const int offset = indexOf(f) - indexOf(first);
    return offset >= 0 && offset < count ? offset + 1 : 0;
}

int pointOf(Field f, Field fieldOfPoint1) {
    for (int n = 1; n <= 3; ++n) {
        if (f == ofPoint(fieldOfPoint1, n)) {
            return n;
        }
    }
    return 0;
}

}  // namespace

void FieldModel::react(Field f) {
    switch (f) {
        case Field::NoEncryption:
        case Field::WepEncryption:
            encryptionChosen();
            return;
        case Field::AutomaticAddress:
        case Field::FixedAddress:
            addressingChosen();
            return;
        case Field::Key64Bit:
        case Field::Key128Bit:
            keySizeChosen();
            return;
        default:
            break;
    }
    if (int n = numberIn(f, Field::InputSendsAtOnce1, 4)) {
        inputSendingClicked(n);
    } else if (int b = numberIn(f, Field::InputAccumulating1, 4)) {
        inputKindChosen(b);
    } else if (int c = numberIn(f, Field::InputPeriodic1, 4)) {
        inputKindChosen(c);
    } else if (int a = numberIn(f, Field::AnalogAsDigital1, 2)) {
        analogAsDigitalClicked(a);
    } else if (int in = pointOf(f, Field::Point1SendOnEntry)) {
        pointSendingClicked(in);
    } else if (int out = pointOf(f, Field::Point1SendOnExit)) {
        pointSendingClicked(out);
    }
}

void FieldModel::encryptionChosen() {
    const bool keyNeeded = !checked(Field::NoEncryption);
    setEnabled(Field::NetworkKey, keyNeeded);
    setEnabled(Field::Key64Bit, keyNeeded);
    setEnabled(Field::Key128Bit, keyNeeded);
}

void FieldModel::addressingChosen() {
    const bool fixedAddress = !checked(Field::AutomaticAddress);
    setEnabled(Field::DeviceAddress, fixedAddress);
    setEnabled(Field::Netmask, fixedAddress);
    setEnabled(Field::Gateway, fixedAddress);
}

void FieldModel::keySizeChosen() {
    // The text already typed stays whole; only further typing is limited.
    const bool shortKey = checked(Field::Key64Bit);
    setMaxLength(Field::NetworkKey, shortKey ? kWepKeyLength64 : kWepKeyLength128);
    setText(Field::NetworkKeyCaption,
            cp1251::fromUtf8(shortKey ? "Ключ сети (5 символов)" : "Ключ сети (13 символов)"));
}

void FieldModel::inputSendingClicked(int n) {
    // Sending on an input's trigger makes sense only for an ordinary input.
    if (checked(numbered(Field::InputSendsAtOnce1, n))) {
        setChecked(numbered(Field::InputOrdinary1, n), true);
    }
}

void FieldModel::inputKindChosen(int n) {
    // A counter input never sends on its trigger.
    setChecked(numbered(Field::InputSendsAtOnce1, n), false);
}

void FieldModel::analogAsDigitalClicked(int n) {
    // An analogue input recorded as a digital one is not averaged.
    if (checked(numbered(Field::AnalogAsDigital1, n))) {
        setText(numbered(Field::AnalogAveraging1, n), "1");
    }
}

void FieldModel::pointSendingClicked(int n) {
    setEnabled(ofPoint(Field::Point1OnTime, n), checked(ofPoint(Field::Point1SendOnEntry, n)) ||
                                                    checked(ofPoint(Field::Point1SendOnExit, n)));
}

void FieldModel::recordingMethodChanged() {
    // Under adaptive recording `RecordingPeriod` holds a distance in metres instead of a period.
    if (itemIndex(Field::RecordingMethod) == 0) {
        setText(Field::RecordingPeriodCaption, cp1251::fromUtf8("Период записи точек (сек):"));
        setText(Field::RecordingPeriodHint,
                cp1251::fromUtf8("Период записи - интервал времени, с которым в память прибора "
                                 "будут добавляться записи о текущем местоположении"));
    } else {
        setText(Field::RecordingPeriodCaption, cp1251::fromUtf8("Интервал записи точек (м):"));
        setText(Field::RecordingPeriodHint,
                cp1251::fromUtf8("Интервал записи - минимальное расстояние, через которое при "
                                 "движении будут добавляться записи"));
    }
}

void FieldModel::showMac(int serial) {
    if (serial > 0) {
        deviceMac = withSerial(deviceMac, serial);
    }
    setText(Field::MacAddress, macAddressText(deviceMac));
}

std::array<std::uint8_t, 6> withSerial(std::array<std::uint8_t, 6> mac, int serial) {
    const auto v = static_cast<std::uint32_t>(serial - 89999) & 0xFFFFFFu;
    mac[3] = static_cast<std::uint8_t>(v >> 16);
    mac[4] = static_cast<std::uint8_t>(v >> 8);
    mac[5] = static_cast<std::uint8_t>(v);
    return mac;
}

std::string macAddressText(const std::array<std::uint8_t, 6>& mac) {
    char shown[18];
    std::snprintf(shown, sizeof shown, "%02X %02X %02X %02X %02X %02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return shown;
}

std::string serialNumberText(int serial) {
    char shown[8];
    std::snprintf(shown, sizeof shown, "%05d", serial);
    return shown;
}

}  // namespace korvan
