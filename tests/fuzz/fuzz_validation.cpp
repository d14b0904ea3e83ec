// FindSetting and IsSettingValueInvalid with arbitrary names (any bytes) and values
// (any UTF-16 code units, lone surrogates included). The input is the name, a NUL
// byte, then the value's code units.
#include "i18n/globalize.h"
#include "settings/settings_catalogue.h"
#include "settings/value_validation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Globalize::LoadLanguage(DefaultLocaleId);
    SettingsDataMapper();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* end = data + size;
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::string name(reinterpret_cast<const char*>(data), nul ? static_cast<std::size_t>(nul - data) : size);
    std::vector<char16_t> units;
    for (const std::uint8_t* p = nul ? nul + 1 : end; p + 1 < end; p += 2) {
        units.push_back(static_cast<char16_t>(p[0] | (p[1] << 8)));
    }
    const QString value(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));

    // An unknown name is never valid; a known one is found in any letter case,
    // and free text takes anything.
    const SettingsMap& catalogue = SettingsCatalogue();
    const auto entry = FindSetting(catalogue, name);
    const bool invalid = IsSettingValueInvalid(catalogue, name, value);
    if (entry == catalogue.end() ? !invalid
                                 : !EqualsIgnoringAsciiCase(entry->first, name)
                || (entry->second.kind == SettingValueKind::Text && invalid)) {
        std::abort();
    }
    // Valid values of the other rules are plain ASCII without line breaks.
    if (!invalid && entry->second.kind != SettingValueKind::Text) {
        for (const QChar c : value) {
            if (c.unicode() < 0x21 || c.unicode() > 0x7e) {
                std::abort();
            }
        }
    }
    return 0;
}
