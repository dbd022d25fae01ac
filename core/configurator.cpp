#include "core/configurator.h"

#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"
#include "core/detection.h"

namespace korvan {

Configurator::Configurator(Bridge& bridge, Clock& clock, Desktop& desktop)
    : bridge_(bridge),
      clock_(clock),
      desktop_(desktop),
      link_(bridge, clock),
      database_(model_, desktop) {}

Configurator::Operation::~Operation() {
    if (--owner_.depth_ == 0 && owner_.deviceChangeHeld_) {
        owner_.deviceChangeHeld_ = false;
        owner_.DetectDevice();
    }
}

void Configurator::FormShow(const std::function<void()>& alignView) {
    Operation operation(*this);
    model_.DeviceMac = {0x00, 0x50, 0x25, 0x00, 0x00, 0x00};
    LoadSettings(model_, SettingsPath);
    database_.StartUp();
    if (alignView) {
        alignView();
    }
    model_.NoEncrClick();
    model_.bit64Click();
    model_.AutoIPClick();
    model_.ShowMac(0);
}

SettingsSaveResult Configurator::FormDestroy() {
    database_.ClearRecords();
    return SaveSettings(model_, SettingsPath);
}

void Configurator::DeviceChanged() {
    if (operationRunning()) {
        deviceChangeHeld_ = true;
        return;
    }
    DetectDevice();
}

void Configurator::DetectDevice() {
    Operation operation(*this);
    korvan::DetectDevice(bridge_, clock_, model_, [this] { return Button1Click(); });
}

bool Configurator::Button1Click() {
    Operation operation(*this);
    return ReadConfiguration(link_, model_, inputRecord_);
}

void Configurator::Button2Click() {
    Operation operation(*this);
    model_.setText(Field::CommandInfo, "!");
    Button1Click();
}

void Configurator::Button5Click() {
    Operation operation(*this);
    WriteConfiguration(link_, model_, inputRecord_, {database_, desktop_});
}

void Configurator::ClearDebugLog() {
    Operation operation(*this);
    korvan::ClearDebugLog(link_, desktop_);
}

void Configurator::ReadDebugLog(bool fullRead) {
    Operation operation(*this);
    korvan::ReadDebugLog(link_, desktop_, desktop_, fullRead);
}

void Configurator::OpenClick() {
    Operation operation(*this);
    database_.OpenClick();
}

void Configurator::SaveAsClick() {
    database_.SaveAsClick();
}

}  // namespace korvan
