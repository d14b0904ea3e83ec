#pragma once

// The locales the program has texts for, in the language chooser's order. The
// Windows locale id selects a locale; the tag names its translation file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct SupportedLocale {
    std::int32_t id;
    std::string_view tag;         // "pt-BR"
    std::string_view displayName; // in its own language, UTF-8
    bool offered;                 // listed by the language chooser

    // Translation file name ("pt-BR.txt").
    std::string FileName() const { return std::string(tag) + ".txt"; }
};

// The size follows from the rows: a new language is one more row.
inline constexpr std::array SupportedLocales{
    SupportedLocale{1033, "en-US", "English - United States", true},
    SupportedLocale{1046, "pt-BR", "Portugu\u00EAs - Brasil", true},
    SupportedLocale{3082, "es-ES", "Espa\u00F1ol - Espa\u00F1a", true},
    SupportedLocale{1031, "de-DE", "Deutsch - Deutschland", true},
    SupportedLocale{1036, "fr-FR", "Fran\u00E7ais - France", true},
    SupportedLocale{1040, "it-IT", "Italiano - Italia", true},
    // Texts exist, but the chooser does not offer the language yet.
    SupportedLocale{2052, "zh-CN", "\u4E2D\u6587 - \u4E2D\u56FD", false},
};

// The locale of the id; en-US for an id without texts.
const SupportedLocale& LocaleOf(std::int32_t localeId);

// How many locales the chooser offers.
constexpr std::size_t OfferedLocaleCount()
{
    std::size_t count = 0;
    for (const SupportedLocale& locale : SupportedLocales) {
        count += locale.offered ? 1 : 0;
    }
    return count;
}

// The ids of the offered locales, in list order.
constexpr std::array<std::int32_t, OfferedLocaleCount()> OfferedLocaleIds()
{
    std::array<std::int32_t, OfferedLocaleCount()> ids{};
    std::size_t next = 0;
    for (const SupportedLocale& locale : SupportedLocales) {
        if (locale.offered) {
            ids[next++] = locale.id;
        }
    }
    return ids;
}
