#pragma once

#include <filesystem>
#include <functional>

#include "database/device_database.h"
#include "link/bridge.h"
#include "link/clock.h"
#include "link/link.h"
#include "core/desktop.h"
#include "protocol/records.h"
#include "settings/field_model.h"
#include "settings/settings_file.h"

namespace korvan {

// The program without its window: the fields, the link, the device database and every handler
// the window routes its events to. The window binds to `model()` and calls the handlers; it
// adds no logic of its own.
class Configurator {
  public:
    Configurator(Bridge& bridge, Clock& clock, Desktop& desktop);
    Configurator(const Configurator&) = delete;
    Configurator& operator=(const Configurator&) = delete;

    // The window's start-up, once it is shown: the settings read, the last database opened,
    // the view aligned by `alignView`, the interlocks brought into line with what was read.
    // A device change that arrives meanwhile (the open dialog runs the desktop's event loop)
    // waits until start-up is over.
    void FormShow(const std::function<void()>& alignView);
    // The window's end: the records released and the settings saved.
    SettingsSaveResult FormDestroy();

    // Where the settings file lives; set by the program's entry before the window shows.
    std::filesystem::path SettingsPath;

    FieldModel& model() { return model_; }
    DeviceDatabase& database() { return database_; }
    Link& link() { return link_; }

    // A device came or went. Detection runs now, or, while an operation runs (a file dialog in
    // the middle of a write runs the desktop's event loop), once it has ended: never two links.
    void DeviceChanged();
    bool operationRunning() const { return depth_ > 0; }

    void DetectDevice();
    bool Button1Click();
    void Button2Click();
    void Button5Click();
    void ClearDebugLog();
    void ReadDebugLog(bool fullRead);
    void OpenClick();
    void SaveAsClick();

  private:
    // Marks an operation as running; the last one to end handles a held device change.
    class Operation {
      public:
        explicit Operation(Configurator& owner) : owner_(owner) { ++owner_.depth_; }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;
        ~Operation();

      private:
        Configurator& owner_;
    };

    Bridge& bridge_;
    Clock& clock_;
    Desktop& desktop_;
    FieldModel model_;
    Link link_;
    DeviceDatabase database_;
    InputRecord inputRecord_;
    int depth_ = 0;
    bool deviceChangeHeld_ = false;
};

}  // namespace korvan
