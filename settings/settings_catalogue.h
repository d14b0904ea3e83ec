#pragma once

#include <cstdint>
#include <map>
#include <string>

// The rule a setting's value follows.
enum class SettingValueKind : std::int32_t {
    Address = 0,
    Text = 1,
    Integer = 2,
    Decimal = 3,
    Boolean = 4,
};

struct SettingMapping {
    SettingValueKind kind = SettingValueKind::Address;
    std::string description; // text in the language current when the catalogue was built
    bool suggested = false;  // offered as a completion by the editor
};

// Setting name to record, in byte-wise name order.
using SettingsMap = std::map<std::string, SettingMapping>;

// Builds or refreshes the process-wide catalogue; descriptions come from the
// loaded translations.
void SettingsDataMapper();

// The debug line SettingsDataMapper ends with, for a caller that repeats a rebuild
// it knows would change nothing.
void LogSettingsMapped();

// A deep copy of the process-wide catalogue.
SettingsMap GetSettingsMap();

// Read-only view of the process-wide catalogue, for callers that need no copy.
const SettingsMap& SettingsCatalogue();

// Entry whose name equals the given one with ASCII letters folded, or end().
SettingsMap::const_iterator FindSetting(const SettingsMap& settings, const std::string& name);

// Equality with ASCII letters a-z folded to A-Z; every other byte compares unchanged.
bool EqualsIgnoringAsciiCase(const std::string& left, const std::string& right);
