#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "core/verification.h"
#include "settings/field_model.h"

namespace korvan {

// Keeps the marks of the form's fields as the values change: the rule a value breaks (the
// same rule that refuses the write), a change since the tracker was read, and a difference
// found by reading the tracker back.
class FieldMarker {
  public:
    explicit FieldMarker(FieldModel& model);
    FieldMarker(const FieldMarker&) = delete;
    FieldMarker& operator=(const FieldMarker&) = delete;

    // The fields as they stand are what the tracker holds, after a read or a confirmed write:
    // changes are marked against them from now on, and differences found before are dropped.
    void trackerHolds();
    // The fields the tracker was found to hold otherwise, marked until the next read, write
    // or comparison.
    void showDifferences(const std::vector<Difference>& differences);

  private:
    void valueChanged(Field field);
    void judgeRules();
    bool changedSinceRead(Field field) const;
    void update(Field field, const std::function<void(FieldMarks&)>& change);

    FieldModel& model_;
    std::optional<FieldModel::Snapshot> read_;
    Subscription subscription_;
};

// Whether the field holds a value of the tracker's configuration that the technician edits.
bool isEditableSetting(Field field);

}  // namespace korvan
