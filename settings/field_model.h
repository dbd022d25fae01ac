#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/fields.h"

namespace korvan {

// What about a field changed, for whoever shows it.
enum class Aspect : std::uint8_t {
    Value,  // text, item index or checked state
    Enabled,
    MaxLength,
    Colour,  // status line only
    Font,    // status line only
    Marks,   // how the window marks the field beside its value
};

// What the window shows about a field beside its value. Display state: not stored, not part
// of a snapshot.
struct FieldMarks {
    std::string broken;    // the rule its value breaks, UTF-8; empty while it keeps it
    std::string differs;   // what the tracker holds instead, UTF-8; empty when not found so
    bool changed = false;  // the technician changed it since the tracker was read
    bool operator==(const FieldMarks&) const = default;
};

enum class StatusColour : std::uint8_t { WindowText, Red, Black };

// Where the window stood when it was closed: its frame's top-left corner, in the desktop's
// coordinates.
struct WindowPlace {
    int left = 0;
    int top = 0;
    bool operator==(const WindowPlace&) const = default;
};
enum class StatusFont : std::uint8_t { Pixels21, Points12 };

using FieldListener = std::function<void(Field, Aspect)>;

// Keeps a listener attached for as long as it lives; safe to outlive the model.
class Subscription {
  public:
    Subscription() = default;
    Subscription(Subscription&&) noexcept = default;
    Subscription& operator=(Subscription&&) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription();

  private:
    friend class FieldModel;
    struct Registry;
    Subscription(std::weak_ptr<Registry> registry, int id)
        : registry_(std::move(registry)), id_(id) {}
    void release();

    std::weak_ptr<Registry> registry_;
    int id_ = 0;
};

// The first three octets of every tracker's MAC address, the maker's; the last three come from
// its serial number.
inline constexpr std::array<std::uint8_t, 6> kTrackerMacBase = {0x00, 0x50, 0x25, 0x00, 0x00, 0x00};
// `mac` with its last three octets given by the serial number: its distance from 89999.
std::array<std::uint8_t, 6> withSerial(std::array<std::uint8_t, 6> mac, int serial);
// "00 50 25 00 00 2A", as the window shows an address.
std::string macAddressText(const std::array<std::uint8_t, 6>& mac);
// "00042", as the window shows a serial number.
std::string serialNumberText(int serial);

// The one home of every configuration value and of the display state that operations set.
// Setting a check box fires its reaction on every change of state, and selecting a radio button
// fires its reaction when it becomes selected, whoever makes the change: the user through the
// window, the settings file, the device read or the defaults. Setting a text or an item index
// fires nothing. Texts are Windows-1251 bytes.
class FieldModel {
  public:
    struct FieldState {
        std::string text;
        int index = -1;
        bool checked = false;
        bool enabled = true;
        int maxLength = 0;
        bool operator==(const FieldState&) const = default;
    };
    // Every field's state at one moment, so that a change worked out on another model can be
    // taken over whole or not at all.
    using Snapshot = std::array<FieldState, kFieldCount>;

    FieldModel();
    FieldModel(const FieldModel&) = delete;
    FieldModel& operator=(const FieldModel&) = delete;

    const std::string& text(Field f) const { return state(f).text; }
    int itemIndex(Field f) const { return state(f).index; }
    bool checked(Field f) const { return state(f).checked; }
    bool enabled(Field f) const { return state(f).enabled; }
    int maxLength(Field f) const { return state(f).maxLength; }
    StatusColour statusColour() const { return statusColour_; }
    const FieldMarks& marks(Field f) const { return marks_[indexOf(f)]; }
    StatusFont statusFont() const { return statusFont_; }

    // A combo box's text selects the item it names exactly, or no item.
    void setText(Field f, std::string text);
    // An index outside the items means no item selected.
    void setItemIndex(Field f, int index);
    // Unselecting a radio button leaves its group without a selection, as the window's own
    // radio buttons do; selecting one is how a choice is made.
    void setChecked(Field f, bool on);
    void setEnabled(Field f, bool on);
    void setMaxLength(Field f, int length);
    void setStatusColour(StatusColour colour);
    // The status line's text, given in UTF-8 as the program's messages are written.
    void setStatusMessage(std::string_view utf8);
    void setStatusFont(StatusFont font);
    // Tells `Aspect::Marks` when they change.
    void setMarks(Field f, FieldMarks marks);

    Snapshot snapshot() const { return fields_; }
    // Takes over every field's state and tells each change. Fires no reaction: the states
    // taken over already hold what their reactions made of them.
    void restore(const Snapshot& snapshot);

    // The listener hears every change after it has been made.
    [[nodiscard]] Subscription subscribe(FieldListener listener);

    // The reactions, under the names of their click handlers. `n` is the number of the input
    // (1..4), analogue input (1..2) or control point (1..3).
    void encryptionChosen();
    void addressingChosen();
    void keySizeChosen();
    void inputSendingClicked(int n);
    void inputKindChosen(int n);
    void analogAsDigitalClicked(int n);
    void pointSendingClicked(int n);
    // The captions that follow the recording method. A program that sets `RecordingMethod` calls
    // this itself, as a user's pick in the window does.
    void recordingMethodChanged();
    // Serial numbers above zero give the last three octets of `deviceMac` (withSerial); then
    // `MacAddress` shows the whole address.
    void showMac(int serial);

    // State that the window does not show as such.
    std::array<std::uint8_t, 6> deviceMac{};
    std::int32_t currentSerial = 0;
    std::int32_t firmwareVersion = 0;
    std::string databasePath;                // UTF-8, as the file system takes it
    std::optional<WindowPlace> windowPlace;  // none until the window has been closed once

  private:
    const FieldState& state(Field f) const { return fields_[indexOf(f)]; }
    FieldState& state(Field f) { return fields_[indexOf(f)]; }
    void notify(Field f, Aspect aspect);
    void react(Field f);

    std::array<FieldState, kFieldCount> fields_;
    std::array<FieldMarks, kFieldCount> marks_;
    StatusColour statusColour_ = StatusColour::WindowText;
    StatusFont statusFont_ = StatusFont::Pixels21;
    std::shared_ptr<Subscription::Registry> listeners_;
};

}  // namespace korvan
