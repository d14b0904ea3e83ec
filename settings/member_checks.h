#pragma once

// The checks of a settings object's members: the editor's checks of a name/value
// pair, plus what only a file can get wrong. For the file check and for compose.

#include "settings/json_members.h"
#include "settings/report_text.h"
#include "settings/settings_catalogue.h"

#include <string>
#include <vector>

// How names in other letter case than the catalogue's are treated.
enum class NameCase {
    MustMatch, // a file: the installation reads names as written
    Normalise, // compose: the editor turns them into the catalogue's form
};

// The editor's checks for every member, in its order (empty fields, name already
// present, unknown name, value rule), plus the checks a file needs (letter case,
// JSON type). `place` names a position in the details ("Member", "Argument").
// Linear in the number of members.
std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                                  const std::string& place);

// The same, each problem handed to `report` as it is found.
void CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                  const std::string& place, const ProblemReport& report);
