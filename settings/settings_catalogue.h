#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The rule a setting's value follows.
enum class SettingValueKind : std::int32_t {
    Address = 0,
    Text = 1,
    Integer = 2,
    Decimal = 3,
    Boolean = 4,
};

// A rule narrower than its kind's own, for a setting the agent reads more strictly.
enum class ValueRuleVariant : std::int32_t {
    OfKind = 0,          // the kind's own rule
    IntegerZeroToTwenty, // a whole number from 0 to 20
};

// One setting's record. Everything particular to a setting is written once, in the
// catalogue's table (settings_catalogue.cpp); every reader asks the record.
struct SettingMapping {
    SettingValueKind kind = SettingValueKind::Address;
    std::string description; // text in the language current when the catalogue was built
    bool suggested = false;  // offered as a completion by the editor
    ValueRuleVariant rule = ValueRuleVariant::OfKind;
    // Every document holds it: it cannot be removed, a new document starts with it
    // and an opened file without it gets it, first, at its default value.
    bool required = false;
    // A required setting's value in a new document. Initialised here like the fields
    // above, so that a record may be written with its first fields only.
    std::string defaultValue{};
};

// Setting name to record, in byte-wise name order.
using SettingsMap = std::map<std::string, SettingMapping>;

// Builds or refreshes the process-wide catalogue; descriptions come from the
// loaded translations.
void SettingsDataMapper();

// The debug line SettingsDataMapper ends with, for a caller that repeats a rebuild
// it knows would change nothing.
void LogSettingsMapped();

// A required setting and its value in a new document.
struct RequiredSetting {
    std::string name;
    std::string defaultValue;
};

// The required settings in the catalogue's order, from its table: usable before
// the catalogue is built.
const std::vector<RequiredSetting>& RequiredSettings();

// A deep copy of the process-wide catalogue.
SettingsMap GetSettingsMap();

// Read-only view of the process-wide catalogue, for callers that need no copy.
const SettingsMap& SettingsCatalogue();

// Entry whose name equals the given one with ASCII letters folded, or end().
SettingsMap::const_iterator FindSetting(const SettingsMap& settings, const std::string& name);

// Equality with ASCII letters a-z folded to A-Z; every other byte compares unchanged.
bool EqualsIgnoringAsciiCase(std::string_view left, std::string_view right);
