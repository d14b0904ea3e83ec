#pragma once

#include "settings/member_checks.h"

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

using NameValue = std::pair<std::string, std::string>;

struct ComposedSettings {
    std::vector<Problem> problems; // empty when the document was built
    nlohmann::ordered_json document;
};

// Builds the document that the program would export after the same entries in the
// editor: the required settings first with their defaults unless a pair sets them,
// then each pair in order as the editor stores it (names in the catalogue's form,
// Boolean "1"/"0" as "true"/"false"). Pairs the editor would refuse leave the document empty.
// With `opened` (the settings of a file as the program loads them) the document
// starts from those instead: a pair replaces a value in place or is appended.
ComposedSettings ComposeSettings(const SettingsMap& catalogue, const std::vector<NameValue>& pairs,
                                 const std::vector<NameValue>& opened = {});
