#include "settings/settings_file_check.h"

#include "settings/bounded_read.h"
#include "settings/member_checks.h"

#include <algorithm>

namespace {

Problem DocumentProblem(ProblemKind kind, std::string message, std::string detail = {})
{
    Problem problem;
    problem.kind = kind;
    problem.message = std::move(message);
    problem.detail = std::move(detail);
    return problem;
}

// A file is checked for the required settings by name with letter case ignored,
// as the catalogue looks names up.
void CheckRequiredSettings(const std::vector<Member>& members, const ProblemReport& report)
{
    for (const RequiredSetting& required : RequiredSettings()) {
        const bool present = std::any_of(members.begin(), members.end(), [&](const Member& member) {
            return EqualsIgnoringAsciiCase(member.name, required.name);
        });
        if (!present) {
            report(DocumentProblem(ProblemKind::MissingRequiredSetting,
                                   "The setting " + QuotedText(required.name) + " is required."));
        }
    }
}

// Parses the text and checks it, handing each problem to `report`; returns the
// members, or none after a problem of the whole document.
std::vector<Member> CheckTextTo(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    if (bytes.size() > kMaxSettingsFileBytes) {
        report(DocumentProblem(ProblemKind::TooLarge, "The file is too large.",
                               "A settings file holds at most " + std::to_string(kMaxSettingsFileBytes / (1024 * 1024))
                                   + " MiB."));
        return {};
    }
    JsonMembers json = ReadJsonMembers(bytes);
    if (!json.parsed) {
        Problem problem = DocumentProblem(ProblemKind::MalformedJson, "Malformed JSON.", std::move(json.error));
        problem.line = json.line;
        problem.column = json.column;
        report(std::move(problem));
        return {};
    }
    if (json.topType != MemberType::Object) {
        report(DocumentProblem(ProblemKind::NotAnObject,
                               std::string("A settings file holds one JSON object; this one holds ")
                                   + ArticleTypeName(json.topType) + "."));
        return {};
    }
    CheckMembers(catalogue, json.members, NameCase::MustMatch, "Member", report);
    CheckRequiredSettings(json.members, report);
    return std::move(json.members);
}

} // namespace

SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes)
{
    SettingsFileContent content;
    content.members = CheckTextTo(
        catalogue, bytes, [&](Problem&& problem) { content.problems.push_back(std::move(problem)); });
    const std::vector<Member>& members = content.members;
    auto problem = content.problems.cbegin();
    for (std::size_t index = 0; index < members.size(); ++index) {
        const int position = static_cast<int>(index + 1);
        bool loadable = true;
        for (; problem != content.problems.cend() && problem->position == position; ++problem) {
            loadable = loadable && problem->kind == ProblemKind::NameCase;
        }
        if (loadable) {
            content.valid.emplace_back(FindSetting(catalogue, members[index].name)->first, members[index].value);
        }
    }
    return content;
}

void CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    CheckTextTo(catalogue, bytes, report);
}
