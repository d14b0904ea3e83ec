#include "compose.h"

#include "setting_names.h"
#include "settings_document.h"

ComposedSettings ComposeSettings(const SettingsMap& catalogue, const std::vector<NameValue>& pairs)
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

    // As in the program: the document starts with HostAddress at its default, and
    // setting it again later changes the value in place, so it stays first.
    SettingsRows rows;
    SettingsJson = nullptr;
    SetSettingValue(rows, SettingName::HostAddress, DefaultHostAddress);
    for (const auto& [name, value] : pairs) {
        SetSettingValue(rows, FindSetting(catalogue, name)->first, value);
    }
    result.document = SettingsJson;
    return result;
}
