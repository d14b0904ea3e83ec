#include "settings/member_checks.h"

#include "i18n/globalize.h"
#include "settings/name_suggestions.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

namespace {

// The editor's texts of the problems a member can have, looked up once: a file
// may hold many thousands of members.
class ProblemMessages {
public:
    ProblemMessages()
    {
        for (const ProblemKind kind :
             {ProblemKind::EmptyNameAndValue, ProblemKind::EmptyName, ProblemKind::EmptyValue,
              ProblemKind::DuplicateName, ProblemKind::UnknownName, ProblemKind::NameCase,
              ProblemKind::NonStringValue, ProblemKind::InvalidValue}) {
            texts_.emplace(static_cast<int>(kind), Globalize::Translate(ProblemMessageKey(kind)).toStdString());
        }
    }

    const std::string& Of(ProblemKind kind) const { return texts_.at(static_cast<int>(kind)); }

private:
    std::unordered_map<int, std::string> texts_;
};

// The first member of each name, letter case folded as the catalogue looks names
// up, and how the details quote it.
class FirstOfName {
public:
    // Index of the first member with the name of the one at `index`: `index`
    // itself for the first, and for an empty name.
    std::size_t Find(const std::string& name, std::size_t index)
    {
        if (name.empty()) {
            return index;
        }
        folded_.assign(name);
        std::transform(folded_.begin(), folded_.end(), folded_.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
        return first_.try_emplace(folded_, index, std::string()).first->second.first;
    }

    // The quoted name of the first member of the name Find saw last.
    const std::string& QuotedFirst(const std::vector<Member>& members)
    {
        auto& [index, quoted] = first_.at(folded_);
        if (quoted.empty()) {
            quoted = QuotedText(members[index].name);
        }
        return quoted;
    }

private:
    std::unordered_map<std::string, std::pair<std::size_t, std::string>> first_;
    std::string folded_;
};

// A value that is not a string, as the details name it, with the likely intent.
std::string FoundValue(const Member& member)
{
    if (member.type != MemberType::Boolean && member.type != MemberType::Number) {
        return ArticleTypeName(member.type);
    }
    const std::string quoted = QuotedText(member.value);
    return std::string(member.type == MemberType::Boolean ? "the literal " : "the number ")
        + (member.value.size() > kMaxQuotedCharacters ? quoted : member.value) + " (write " + quoted + ")";
}

bool IsValueProblem(const Problem& problem)
{
    return problem.kind == ProblemKind::EmptyValue || problem.kind == ProblemKind::InvalidValue
        || problem.kind == ProblemKind::NonStringValue;
}

class MemberChecker {
public:
    MemberChecker(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                  const std::string& place)
        : catalogue_(catalogue)
        , members_(members)
        , nameCase_(nameCase)
        , place_(place)
    {
    }

    // Every problem of the member at `index`, what is wrong with the name before
    // what is wrong with the value.
    std::vector<Problem> ProblemsOf(std::size_t index)
    {
        std::vector<Problem> found;
        AddEditorProblems(index, found);
        AddFileProblems(index, found);
        std::stable_partition(found.begin(), found.end(), [](const Problem& one) { return !IsValueProblem(one); });
        return found;
    }

private:
    Problem Found(std::size_t index, ProblemKind kind, std::string detail = {}) const
    {
        Problem problem;
        problem.kind = kind;
        problem.position = static_cast<int>(index + 1);
        problem.name = members_[index].name;
        problem.message = messages_.Of(kind);
        problem.detail = std::move(detail);
        return problem;
    }

    // The editor's problems of the pair, with what the details add to them.
    void AddEditorProblems(std::size_t index, std::vector<Problem>& found)
    {
        const Member& member = members_[index];
        const bool isString = member.type == MemberType::String;
        // Duplicates are found by the name with its letter case folded, as the
        // catalogue looks names up.
        const std::size_t firstIndex = firstOfName_.Find(member.name, index);
        const QString value = isString ? QString::fromStdString(member.value) : QString();
        for (const ProblemKind kind :
             PairProblems(catalogue_, member.name, isString ? &value : nullptr, firstIndex != index)) {
            Problem& one = found.emplace_back(Found(index, kind));
            Explain(one, member, firstIndex);
        }
    }

    void Explain(Problem& problem, const Member& member, std::size_t firstIndex)
    {
        if (problem.kind == ProblemKind::DuplicateName) {
            problem.firstPosition = static_cast<int>(firstIndex + 1);
            problem.detail = place_ + " " + std::to_string(firstIndex + 1) + " has the same name, "
                + firstOfName_.QuotedFirst(members_) + ".";
        } else if (problem.kind == ProblemKind::UnknownName) {
            problem.suggestions = SuggestSettingNames(catalogue_, member.name);
            if (!problem.suggestions.empty()) {
                problem.detail = "Did you mean " + QuotedList(problem.suggestions) + "?";
            }
        } else if (problem.kind == ProblemKind::InvalidValue) {
            const auto entry = FindSetting(catalogue_, member.name);
            problem.rule = &ValueRuleOf(entry->second);
            problem.detail = "Expected " + problem.rule->description + "; found " + QuotedText(member.value) + ".";
        }
    }

    // What only a file can get wrong: the letter case of a name, a value that is not text.
    void AddFileProblems(std::size_t index, std::vector<Problem>& found) const
    {
        const Member& member = members_[index];
        if (nameCase_ == NameCase::MustMatch && !member.name.empty()) {
            const auto entry = FindSetting(catalogue_, member.name);
            if (entry != catalogue_.end() && entry->first != member.name) {
                found.push_back(Found(index, ProblemKind::NameCase,
                                      "Letter case differs from the setting " + QuotedText(entry->first)
                                          + "; write it that way."));
            }
        }
        if (member.type != MemberType::String) {
            Problem& problem = found.emplace_back(
                Found(index, ProblemKind::NonStringValue, "Expected a JSON string; found " + FoundValue(member) + "."));
            problem.foundType = member.type;
        }
    }

    const SettingsMap& catalogue_;
    const std::vector<Member>& members_;
    const NameCase nameCase_;
    const std::string& place_;
    const ProblemMessages messages_;
    FirstOfName firstOfName_;
};

} // namespace

std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members,
                                  NameCase nameCase, const std::string& place)
{
    std::vector<Problem> problems;
    CheckMembers(catalogue, members, nameCase, place,
                 [&](Problem&& problem) { problems.push_back(std::move(problem)); });
    return problems;
}

void CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                  const std::string& place, const ProblemReport& report)
{
    MemberChecker checker(catalogue, members, nameCase, place);
    for (std::size_t index = 0; index < members.size(); ++index) {
        for (Problem& problem : checker.ProblemsOf(index)) {
            report(std::move(problem));
        }
    }
}
