#include "core/field_marks.h"

#include <algorithm>

#include "core/field_rules.h"

namespace korvan {

bool isEditableSetting(Field field) {
    switch (fieldInfo(field).kind) {
        case FieldKind::Edit:
        case FieldKind::Combo:
        case FieldKind::Check:
        case FieldKind::Radio:
            // How this program treats trackers, not what a tracker holds.
            return field != Field::ReadIdentityOnly && field != Field::VerifyAfterWrite;
        default:
            return false;
    }
}

FieldMarker::FieldMarker(FieldModel& model)
    : model_(model), subscription_(model.subscribe([this](Field field, Aspect aspect) {
          if (aspect == Aspect::Value && isEditableSetting(field)) {
              valueChanged(field);
          }
      })) {
    judgeRules();
}

void FieldMarker::update(Field field, const std::function<void(FieldMarks&)>& change) {
    FieldMarks marks = model_.marks(field);
    change(marks);
    model_.setMarks(field, std::move(marks));
}

void FieldMarker::valueChanged(Field field) {
    const bool changed = changedSinceRead(field);
    update(field, [changed](FieldMarks& m) { m.changed = changed; });
    // A value may break or mend the rule of another field (a point's degrees make its radius
    // needed), so every rule is judged again; it is a matter of microseconds.
    judgeRules();
}

void FieldMarker::judgeRules() {
    const std::vector<FieldBreak> broken = brokenFields(model_);
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        const auto found = std::find_if(broken.begin(), broken.end(),
                                        [field](const FieldBreak& b) { return b.field == field; });
        const std::string rule = found == broken.end() ? std::string() : found->rule;
        if (model_.marks(field).broken != rule) {
            update(field, [&rule](FieldMarks& m) { m.broken = rule; });
        }
    }
}

bool FieldMarker::changedSinceRead(Field field) const {
    if (!read_) {
        return false;  // nothing was read yet: nothing to have changed from
    }
    const auto& was = (*read_)[static_cast<std::size_t>(indexOf(field))];
    switch (fieldInfo(field).kind) {
        case FieldKind::Check:
        case FieldKind::Radio:
            return was.checked != model_.checked(field);
        case FieldKind::Combo:
            return was.index != model_.itemIndex(field) || was.text != model_.text(field);
        default:
            return was.text != model_.text(field);
    }
}

void FieldMarker::trackerHolds() {
    read_ = model_.snapshot();
    for (int i = 0; i < kFieldCount; ++i) {
        update(static_cast<Field>(i), [](FieldMarks& m) {
            m.changed = false;
            m.differs.clear();
        });
    }
}

void FieldMarker::showDifferences(const std::vector<Difference>& differences) {
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        std::string held;
        for (const Difference& d : differences) {
            if (d.field == field) {
                held = "В трекере: «" + d.held + "»";
            }
        }
        update(field, [&held](FieldMarks& m) { m.differs = held; });
    }
}

}  // namespace korvan
