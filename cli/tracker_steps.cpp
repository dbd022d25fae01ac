#include "cli/tracker_steps.h"

#include "core/form_mapping.h"

namespace korvan::cli {

void startFields(FieldModel& model) {
    // As the window starts without a settings file.
    loadStartingFields(model, {});
    alignStartingFields(model);
}

ReadOutcome readTracker(Link& link, FieldModel& model, const ListedDevice& tracker,
                        MessageBoxes& boxes, Progress* progress) {
    showFoundTracker(model, tracker.serial);
    link.setTarget(LinkTarget::serial(tracker.usbSerial));
    return readIntoForm(link, model, boxes, progress);
}

}  // namespace korvan::cli
