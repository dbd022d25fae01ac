#include "core/field_rules.h"

#include "core/form_mapping.h"

namespace korvan {

Field fieldOf(const ValueField& field) {
    if (const auto* number = std::get_if<NumberField>(&field)) {
        return fieldOf(*number);
    }
    const TextField text = std::get<TextField>(field);
    switch (text) {
        case TextField::AccessPoint:
            return Field::AccessPoint;
        case TextField::Key:
            return Field::NetworkKey;
        case TextField::DeviceAddress:
            return Field::DeviceAddress;
        case TextField::Netmask:
            return Field::Netmask;
        case TextField::Gateway:
            return Field::Gateway;
        case TextField::ServerPort:
            return Field::ServerPort;
        case TextField::ServerAddress:
            return Field::ServerAddress;
        case TextField::Password:
            return Field::ServerPassword;
        default:
            break;
    }
    const int offset = static_cast<int>(text) - static_cast<int>(TextField::LatitudeHemisphere1);
    return ofPoint(
        offset % 2 == 0 ? Field::Point1LatitudeHemisphere : Field::Point1LongitudeHemisphere,
        offset / 2 + 1);
}

std::vector<FieldBreak> brokenFields(const FieldModel& model) {
    std::vector<FieldBreak> fields;
    for (RuleBreak& broken : brokenRules(configurationFromForm(model))) {
        fields.push_back({fieldOf(broken.field), describe(broken.field), std::move(broken.rule),
                          std::move(broken.message)});
    }
    return fields;
}

ProfileJudge profileRules() {
    return [](const FieldModel& loaded) -> std::optional<ProfileRuleBreak> {
        auto broken = brokenFields(loaded);
        if (broken.empty()) {
            return std::nullopt;
        }
        FieldBreak& first = broken.front();
        return ProfileRuleBreak{first.field, std::move(first.name), std::move(first.rule)};
    };
}

}  // namespace korvan
