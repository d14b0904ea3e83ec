#pragma once

#include "settings_catalogue.h"

#include <QString>
#include <string>

// The rule of a setting's value as regular-expression text that must match the
// whole value (the text carries no anchors). Empty pattern: every value is
// accepted. Kept in one place so that the check below and any published form of
// the rules (the command-line tool's JSON Schema) cannot disagree.
struct SettingValueRule {
    QString pattern;
};

// Rule of the setting with this catalogue name and kind.
SettingValueRule ValueRuleOf(const std::string& catalogueName, SettingValueKind kind);

// True when the value does not follow the rule of the named setting, or the
// name is not in the catalogue (looked up with ASCII case ignored).
bool IsSettingValueInvalid(const SettingsMap& settings, const std::string& name, const QString& value);
