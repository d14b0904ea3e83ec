#pragma once

#include "settings/settings_catalogue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Longest name (in bytes) for which nearby catalogue names are looked for.
constexpr std::size_t kMaxSuggestedNameLength = 128;

// Catalogue names close to a name the catalogue does not know, nearest first (at
// most three): names within a few typing mistakes, letter case ignored, or else
// names that contain the typed text. Empty when nothing is close, and for names
// longer than any typing mistake explains (over 128 bytes).
std::vector<std::string> SuggestSettingNames(const SettingsMap& catalogue, const std::string& typed);

// The same for many names, with what the catalogue's names allow to rule out
// worked out once: a file may hold hundreds of thousands of unknown names.
class NameSuggestions {
public:
    explicit NameSuggestions(const SettingsMap& catalogue);
    std::vector<std::string> For(std::string_view typed) const;

private:
    struct Name {
        std::string text;
        std::uint64_t characters;            // which characters it holds
        std::array<std::uint8_t, 37> counts; // how often each
    };
    std::vector<Name> names_;
    std::size_t shortest_ = kMaxSuggestedNameLength;
};
