#pragma once

#include "settings/setting_rules.h"
#include "settings/settings_catalogue.h"

#include <QString>
#include <string>

// True when the value does not follow the rule of the named setting, or the
// name is not in the catalogue (looked up with ASCII case ignored). The program's
// named value check, kept for its callers outside the program; the editor and the
// file check apply the same rule through PairProblems.
bool IsSettingValueInvalid(const SettingsMap& settings, const std::string& name, const QString& value);
