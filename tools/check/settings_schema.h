#pragma once

#include "settings/settings_catalogue.h"
#include "settings/setting_rules.h"

#include <nlohmann/json.hpp>

#include <string>

// A value rule as a JSON Schema pattern that ECMA-262 and Python validators read
// the way the program's own check does: anchored at both ends, a trailing line
// feed refused, digits ASCII only, letter case spelt out instead of a flag.
// Empty for a rule that accepts every value.
std::string SchemaPattern(const SettingValueRule& rule);

// JSON Schema (draft 2020-12) of the settings file: one string property per
// catalogue setting with its description (in the loaded language) and its rule,
// the required settings listed as required, no other members.
nlohmann::ordered_json SettingsSchema(const SettingsMap& catalogue);
