#include "settings/value_validation.h"

bool IsSettingValueInvalid(const SettingsMap& settings, const std::string& name, const QString& value)
{
    const auto entry = FindSetting(settings, name);
    return entry == settings.end() || !ValueRuleOf(entry->second).Accepts(value);
}
