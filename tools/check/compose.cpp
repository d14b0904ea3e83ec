#include "tools/check/compose.h"

#include "settings/settings_document.h"

ComposedSettings ComposeSettings(const SettingsMap& catalogue, const std::vector<NameValue>& pairs,
                                 const std::vector<NameValue>& opened)
{
    ComposedSettings result;
    std::vector<Member> members;
    members.reserve(pairs.size());
    for (const auto& [name, value] : pairs) {
        members.push_back({name, value});
    }
    result.problems = CheckMembers(catalogue, members, NameCase::Normalise, "Argument");
    if (!result.problems.empty()) {
        return result;
    }

    // As in the program: the document starts with the required settings at their
    // defaults (or with an opened file's settings), and setting a name again changes
    // the value in place, so they stay first.
    SettingsDocument document;
    document.Replace(opened);
    for (const auto& [name, value] : pairs) {
        document.Set(FindSetting(catalogue, name)->first, value);
    }
    result.document = document.Json();
    return result;
}
