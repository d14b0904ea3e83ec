#pragma once

// Reading and checking a settings file: the rules the command-line checker applies
// and the program uses when it opens a file, in one place. The jobs it puts
// together have files of their own: bounded reading (settings/bounded_read.h), the
// positioned JSON reader (settings/json_members.h), the member checks
// (settings/member_checks.h) and the report text (settings/report_text.h).

#include "settings/json_members.h"
#include "settings/report_text.h"
#include "settings/settings_catalogue.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SettingsFileContent {
    // Loadable members, file order, catalogue spelling: members without problems,
    // and members whose only problem is letter case (listed in `problems` too).
    std::vector<std::pair<std::string, std::string>> valid;
    // Every problem the check tool reports for the file: the members not loaded,
    // and document-level problems (malformed, not an object, a required setting
    // missing, too large).
    std::vector<Problem> problems;
    // Every member of the top-level object, in file order: what a problem's
    // position refers to.
    std::vector<Member> members;
    // The names and values the members view.
    std::shared_ptr<const std::string> memberText;
};

// Reads a settings file's bytes with the same rules the check tool applies: size
// limit, UTF-8, nesting limit, the whole input consumed (a NUL byte or anything
// after the top-level value is malformed), per-member checks. Never throws for bad
// input.
SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes);

// The same, each problem handed to `report` as it is found instead of kept in
// `problems`: a file may have millions, of which a window shows a few hundred.
SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report);

// Every problem of a settings file, given its bytes, each handed over as it is
// found (in the order above), so that a file with very many problems need not
// hold them all.
void CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report);
