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

// Parses the text and checks it, handing each problem to `report`; returns what
// was read, with no members after a problem of the whole document.
JsonMembers CheckTextTo(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    if (bytes.size() > kMaxSettingsFileBytes) {
        report(DocumentProblem(ProblemKind::TooLarge, "The file is too large.",
                               "A settings file holds at most " + std::to_string(kMaxSettingsFileBytes / (1024 * 1024))
                                   + " MiB."));
        return {};
    }
    JsonMembers json = ReadJsonMembers(bytes);
    if (!json.parsed) {
        Problem problem = json.notUtf8
            ? DocumentProblem(ProblemKind::NotUtf8, "Not UTF-8 text.", std::move(json.error))
            : DocumentProblem(ProblemKind::MalformedJson, "Malformed JSON.", std::move(json.error));
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
    return json;
}

} // namespace

SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    // Members with a problem other than their letter case are left out.
    std::vector<bool> left;
    JsonMembers json = CheckTextTo(catalogue, bytes, [&](Problem&& problem) {
        if (problem.position > 0 && problem.kind != ProblemKind::NameCase) {
            const auto index = static_cast<std::size_t>(problem.position - 1);
            if (left.size() <= index) {
                left.resize(index + 1);
            }
            left[index] = true;
        }
        report(std::move(problem));
    });
    SettingsFileContent content;
    for (std::size_t index = 0; index < json.members.size(); ++index) {
        if (index >= left.size() || !left[index]) {
            const Member& member = json.members[index];
            content.valid.emplace_back(FindSetting(catalogue, std::string(member.name))->first, member.value);
        }
    }
    content.members = std::move(json.members);
    content.memberText = std::move(json.text);
    return content;
}

SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes)
{
    std::vector<Problem> problems;
    SettingsFileContent content =
        ReadSettingsText(catalogue, bytes, [&](Problem&& problem) { problems.push_back(std::move(problem)); });
    content.problems = std::move(problems);
    return content;
}

void CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    CheckTextTo(catalogue, bytes, report);
}
