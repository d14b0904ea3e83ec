#include "settings/member_checks.h"

#include "i18n/globalize.h"
#include "settings/name_suggestions.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace {

// The editor's texts of the problems a member can have, looked up once: a file
// may hold many thousands of members.
class ProblemMessages {
public:
    ProblemMessages()
    {
        for (const ProblemKind kind : {ProblemKind::EmptyNameAndValue, ProblemKind::EmptyName, ProblemKind::EmptyValue,
                                       ProblemKind::DuplicateName, ProblemKind::UnknownName, ProblemKind::NameCase,
                                       ProblemKind::NonStringValue, ProblemKind::InvalidValue}) {
            texts_.emplace(static_cast<int>(kind), Globalize::Translate(ProblemMessageKey(kind)).toStdString());
        }
    }

    const std::string& Of(ProblemKind kind) const { return texts_.at(static_cast<int>(kind)); }

private:
    std::unordered_map<int, std::string> texts_;
};

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Orders names as the catalogue looks them up: letter case folded.
int CompareFolded(std::string_view left, std::string_view right)
{
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char a = AsciiUpper(left[i]);
        const char b = AsciiUpper(right[i]);
        if (a != b) {
            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b) ? -1 : 1;
        }
    }
    return left.size() == right.size() ? 0 : left.size() < right.size() ? -1 : 1;
}

std::uint32_t FoldedHash(std::string_view name)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(AsciiUpper(c))) * 16777619u;
    }
    return hash;
}

// For each member, the first member of its name, letter case folded as the
// catalogue looks names up. Worked out at once from sorted hashes rather than
// with a table of names: a file may hold millions of members, and the sort keeps
// eight bytes a member where a table would keep a copy of every name.
std::vector<std::uint32_t> FirstOfEachName(const std::vector<Member>& members)
{
    const auto count = static_cast<std::uint32_t>(members.size());
    std::vector<std::uint64_t> keys(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        keys[i] = (std::uint64_t(FoldedHash(members[i].name)) << 32) | i;
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> first(count);
    std::vector<std::uint32_t> group;
    for (std::size_t start = 0; start < keys.size();) {
        std::size_t end = start + 1;
        while (end < keys.size() && keys[end] >> 32 == keys[start] >> 32) {
            ++end;
        }
        // Names of the same hash, in member order; they need not be the same name.
        group.clear();
        for (std::size_t k = start; k < end; ++k) {
            group.push_back(static_cast<std::uint32_t>(keys[k]));
        }
        // Mostly one name repeated; only a hash shared by other names needs sorting.
        const bool one = std::all_of(group.begin(), group.end(), [&](std::uint32_t k) {
            return CompareFolded(members[k].name, members[group.front()].name) == 0;
        });
        if (!one) {
            std::stable_sort(group.begin(), group.end(), [&](std::uint32_t a, std::uint32_t b) {
                return CompareFolded(members[a].name, members[b].name) < 0;
            });
        }
        for (std::size_t k = 0; k < group.size(); ++k) {
            const bool sameAsBefore = k > 0 && CompareFolded(members[group[k - 1]].name, members[group[k]].name) == 0;
            first[group[k]] = sameAsBefore ? first[group[k - 1]] : group[k];
        }
        start = end;
    }
    // An empty name is never the same as another.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (members[i].name.empty()) {
            first[i] = i;
        }
    }
    return first;
}

// The catalogue's entry of a name, letter case folded, from a table made once:
// FindSetting walks the catalogue for every name not written as it writes them.
class CatalogueIndex {
public:
    explicit CatalogueIndex(const SettingsMap& catalogue)
        : catalogue_(catalogue)
    {
        for (auto entry = catalogue.begin(); entry != catalogue.end(); ++entry) {
            longest_ = std::max(longest_, entry->first.size());
            folded_.emplace(Folded(entry->first), entry);
        }
    }

    SettingsMap::const_iterator Find(std::string_view name) const
    {
        if (name.size() > longest_) {
            return catalogue_.end();
        }
        const auto found = folded_.find(Folded(name));
        return found == folded_.end() ? catalogue_.end() : found->second;
    }

private:
    static std::string Folded(std::string_view name)
    {
        std::string folded(name);
        std::transform(folded.begin(), folded.end(), folded.begin(), AsciiUpper);
        return folded;
    }

    const SettingsMap& catalogue_;
    std::size_t longest_ = 0;
    std::unordered_map<std::string, SettingsMap::const_iterator> folded_;
};

// A value that is not a string, as the details name it, with the likely intent.
std::string FoundValue(const Member& member)
{
    if (member.type != MemberType::Boolean && member.type != MemberType::Number) {
        return ArticleTypeName(member.type);
    }
    const std::string quoted = QuotedText(member.value);
    return std::string(member.type == MemberType::Boolean ? "the literal " : "the number ")
        + (member.value.size() > kMaxQuotedCharacters ? quoted : std::string(member.value)) + " (write " + quoted + ")";
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
        , index_(catalogue)
        , suggestions_(catalogue)
        , firstOfName_(FirstOfEachName(members))
    {
    }

    // Every problem of the member at `index`, what is wrong with the name before
    // what is wrong with the value; valid until the next call.
    std::vector<Problem>& ProblemsOf(std::size_t index)
    {
        found_.clear();
        AddEditorProblems(index, found_);
        AddFileProblems(index, found_);
        // A member has a handful at most: sorted in place, keeping their order.
        for (std::size_t i = 1; i < found_.size(); ++i) {
            for (std::size_t k = i; k > 0 && IsValueProblem(found_[k - 1]) && !IsValueProblem(found_[k]); --k) {
                std::swap(found_[k - 1], found_[k]);
            }
        }
        return found_;
    }

private:
    Problem Found(std::size_t index, ProblemKind kind, std::string detail = {}) const
    {
        Problem problem;
        problem.kind = kind;
        problem.position = static_cast<int>(index + 1);
        problem.name = std::string(members_[index].name);
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
        const std::size_t firstIndex = firstOfName_[index];
        const QString value =
            isString ? QString::fromUtf8(member.value.data(), static_cast<qsizetype>(member.value.size())) : QString();
        const auto entry = index_.Find(member.name);
        for (const ProblemKind kind :
             PairProblems(catalogue_, entry, member.name, isString ? &value : nullptr, firstIndex != index)) {
            Problem& one = found.emplace_back(Found(index, kind));
            Explain(one, member, entry, firstIndex);
        }
    }

    void Explain(Problem& problem, const Member& member, SettingsMap::const_iterator entry, std::size_t firstIndex)
    {
        if (problem.kind == ProblemKind::DuplicateName) {
            problem.firstPosition = static_cast<int>(firstIndex + 1);
            std::string& detail = problem.detail;
            detail.reserve(place_.size() + 40);
            detail += place_;
            detail += ' ';
            detail += std::to_string(firstIndex + 1);
            detail += " has the same name, ";
            detail += QuotedText(members_[firstIndex].name);
            detail += '.';
        } else if (problem.kind == ProblemKind::UnknownName) {
            problem.suggestions = suggestions_.For(member.name);
            if (!problem.suggestions.empty()) {
                problem.detail = "Did you mean " + QuotedList(problem.suggestions) + "?";
            }
        } else if (problem.kind == ProblemKind::InvalidValue) {
            problem.rule = &ValueRuleOf(entry->second);
            problem.detail = "Expected " + problem.rule->description + "; found " + QuotedText(member.value) + ".";
        }
    }

    // What only a file can get wrong: the letter case of a name, a value that is not text.
    void AddFileProblems(std::size_t index, std::vector<Problem>& found) const
    {
        const Member& member = members_[index];
        if (nameCase_ == NameCase::MustMatch && !member.name.empty()) {
            const auto entry = index_.Find(member.name);
            if (entry != catalogue_.end() && entry->first != member.name) {
                found.push_back(
                    Found(index, ProblemKind::NameCase,
                          "Letter case differs from the setting " + QuotedText(entry->first) + "; write it that way."));
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
    const CatalogueIndex index_;
    const NameSuggestions suggestions_;
    const std::vector<std::uint32_t> firstOfName_;
    std::vector<Problem> found_;
};

} // namespace

std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                                  const std::string& place)
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
