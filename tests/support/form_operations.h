#pragma once

#include "core/form_mapping.h"
#include "core/form_outcomes.h"
#include "core/scripted_desktop.h"
#include "protocol/configuration_read.h"
#include "protocol/configuration_write.h"
#include "protocol/debug_log.h"

// The device operations driven from the form on the test's own thread, with the fake desktop.
namespace korvan::testing {

inline bool readIntoForm(Link& link, FieldModel& model, MessageBoxes& boxes) {
    return korvan::readIntoForm(link, model, boxes).succeeded();
}

inline bool readIntoForm(Link& link, FieldModel& model) {
    ScriptedDesktop noBoxes;
    return testing::readIntoForm(link, model, noBoxes);
}

// The database's file named without a dialog, and shown as the window shows it.
inline void nameDatabase(FieldModel& model, DeviceDatabase& database, const std::string& path) {
    showDatabaseReport(model, database.nameFile(path));
}

inline WriteOutcome writeFromForm(Link& link, FieldModel& model, DeviceDatabase& database,
                                  MessageBoxes& boxes) {
    return korvan::writeFromForm(link, model, &database, boxes).outcome;
}

// The debug-log questions answered by the fake desktop.
class DesktopQuestions final : public DebugLogQuestions {
  public:
    explicit DesktopQuestions(ScriptedDesktop& desktop) : desktop_(desktop) {}
    bool confirmErase() override {
        return desktop_.confirm("Вы действительно хотите стереть отладочный журнал?");
    }
    std::optional<std::string> chooseLogFile() override { return desktop_.chooseLogFile(); }

  private:
    ScriptedDesktop& desktop_;
};

// The debug-log operations with the fake desktop's answers and message boxes.
inline Outcome clearLog(Link& link, ScriptedDesktop& desktop) {
    FieldModel statusLine;
    DesktopQuestions questions(desktop);
    NoProgress progress;
    auto outcome = clearDebugLog(link, questions, progress);
    showOutcome(statusLine, desktop, outcome);
    return outcome;
}

inline Outcome copyLog(Link& link, ScriptedDesktop& desktop, bool fullRead) {
    FieldModel statusLine;
    DesktopQuestions questions(desktop);
    NoProgress progress;
    auto outcome = readDebugLog(link, questions, progress, fullRead);
    showOutcome(statusLine, desktop, outcome);
    return outcome;
}

}  // namespace korvan::testing
