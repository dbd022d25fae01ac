#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/outcome.h"

namespace korvan {

// Message boxes captioned "Korvan", as the desktop shows them. Texts are UTF-8.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // One OK button.
    virtual void message(MessageIcon icon, std::string_view text) = 0;
    // Yes and No, with the warning icon; true for Yes.
    virtual bool confirm(std::string_view text) = 0;
};

// The save dialog for a copied debug log ("Двоичный файл (*.bin)", asking before it overwrites
// a file): the path chosen, UTF-8, or nothing when cancelled.
class LogFileDialog {
  public:
    virtual ~LogFileDialog() = default;
    virtual std::optional<std::string> chooseLogFile() = 0;
};

// The dialogs for tracker profiles ("Профиль трекера (*.ini)"): the path chosen, UTF-8, or
// nothing when cancelled. The save dialog asks before it overwrites a file.
class ProfileDialogs {
  public:
    virtual ~ProfileDialogs() = default;
    virtual std::optional<std::string> chooseProfileToOpen() = 0;
    virtual std::optional<std::string> chooseProfileToSave() = 0;
};

}  // namespace korvan
