#pragma once

#include "core/desktop.h"

class QFileDialog;
class QWidget;

namespace korvan::ui {

// The desktop's own dialogs, message boxes and file viewer, for the core.
class QtDesktop final : public Desktop {
  public:
    // Dialogs and message boxes open over `window`, which may be set once it exists.
    void setWindow(QWidget* window) { window_ = window; }

    std::optional<std::string> chooseDatabaseToOpen(const std::string& lastConfirmed,
                                                    OpenReason reason) override;
    std::optional<std::string> chooseDatabaseToSave(const std::string& lastConfirmed) override;
    std::optional<std::string> chooseLogFile() override;
    std::optional<std::string> chooseProfileToOpen() override;
    std::optional<std::string> chooseProfileToSave() override;
    void showFile(const std::string& path) override;
    void message(MessageIcon icon, std::string_view text) override;
    bool confirm(std::string_view text) override;

    // The program is told to stop: the open dialogs are cancelled, and from now on no dialog
    // opens (as if cancelled) and messages go to stderr, as no one may be left to answer.
    void endQuestions();

  private:
    // The file the user confirmed in the dialog, kept in `remembered` when given; nothing when
    // cancelled, or at once once the program is told to stop.
    std::optional<std::string> ask(QFileDialog& dialog, std::string* remembered = nullptr);

    QWidget* window_ = nullptr;
    bool ending_ = false;
    std::string lastLogFile_;
    std::string lastProfile_;  // opened or saved, where the next dialog starts
};

}  // namespace korvan::ui
