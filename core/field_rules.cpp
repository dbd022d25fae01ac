#include "core/field_rules.h"

#include "core/form_mapping.h"

namespace korvan {

Field FieldOf(const ValueField& field) {
    if (const auto* number = std::get_if<NumberField>(&field)) {
        return FieldOf(*number);
    }
    const TextField text = std::get<TextField>(field);
    switch (text) {
        case TextField::AccessPoint:
            return Field::WiFiName;
        case TextField::Key:
            return Field::WiFiKey;
        case TextField::DeviceAddress:
            return Field::DevIP;
        case TextField::Netmask:
            return Field::Netmask;
        case TextField::Gateway:
            return Field::DefGW;
        case TextField::ServerPort:
            return Field::port;
        case TextField::ServerAddress:
            return Field::ip;
        case TextField::Password:
            return Field::edPassword;
        default:
            break;
    }
    const int offset = static_cast<int>(text) - static_cast<int>(TextField::LatitudeHemisphere1);
    return ofPoint(offset % 2 == 0 ? Field::Point1NS : Field::Point1EW, offset / 2 + 1);
}

std::vector<FieldBreak> BrokenFields(const FieldModel& model) {
    std::vector<FieldBreak> fields;
    for (RuleBreak& broken : BrokenRules(ConfigurationFromForm(model))) {
        fields.push_back({FieldOf(broken.field), describe(broken.field), std::move(broken.rule),
                          std::move(broken.message)});
    }
    return fields;
}

ProfileJudge ProfileRules() {
    return [](const FieldModel& loaded) -> std::optional<ProfileRuleBreak> {
        auto broken = BrokenFields(loaded);
        if (broken.empty()) {
            return std::nullopt;
        }
        FieldBreak& first = broken.front();
        return ProfileRuleBreak{first.field, std::move(first.name), std::move(first.rule)};
    };
}

}  // namespace korvan
