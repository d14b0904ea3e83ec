#include "name_suggestions.h"

#include "settings_file_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace {

constexpr std::size_t MaxSuggestions = 3;
// Below this length a contained name would match too much ("Enable").
constexpr std::size_t MinContainedLength = 4;

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetter(char a, char b)
{
    return AsciiLower(a) == AsciiLower(b);
}

// Edits (insert, delete, replace, swap of neighbours) that turn one text into the
// other, letter case ignored; swapped letters are the most common typing mistake,
// so they count once. `typed` has at most kMaxSuggestedNameLength bytes.
std::size_t EditDistance(const std::string& typed, const std::string& name)
{
    // Row i of the table lives in rows[i % 3]; a swap looks two rows back.
    std::array<std::array<std::size_t, kMaxSuggestedNameLength + 1>, 3> rows{};
    const std::size_t n = typed.size();
    for (std::size_t j = 0; j <= n; ++j) {
        rows[0][j] = j;
    }
    for (std::size_t i = 1; i <= name.size(); ++i) {
        const auto& above = rows[(i - 1) % 3];
        auto& current = rows[i % 3];
        current[0] = i;
        for (std::size_t j = 1; j <= n; ++j) {
            const std::size_t cost = SameLetter(name[i - 1], typed[j - 1]) ? 0 : 1;
            current[j] = std::min({above[j] + 1, current[j - 1] + 1, above[j - 1] + cost});
            if (i > 1 && j > 1 && SameLetter(name[i - 1], typed[j - 2]) && SameLetter(name[i - 2], typed[j - 1])) {
                current[j] = std::min(current[j], rows[(i - 2) % 3][j - 2] + 1);
            }
        }
    }
    return rows[name.size() % 3][n];
}

// How many mistakes a name of this length may carry and still be recognised.
std::size_t Tolerance(std::size_t length)
{
    if (length <= 4) {
        return 1;
    }
    return length <= 10 ? 2 : 3;
}

bool ContainsIgnoringCase(const std::string& text, const std::string& part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(), SameLetter) != text.end();
}

} // namespace

std::vector<std::string> SuggestSettingNames(const SettingsMap& catalogue, const std::string& typed)
{
    if (typed.size() > kMaxSuggestedNameLength) {
        return {};
    }
    const std::size_t tolerance = Tolerance(typed.size());
    std::vector<std::pair<std::size_t, std::string>> near;
    for (const auto& entry : catalogue) {
        const std::string& name = entry.first;
        const std::size_t gap = name.size() > typed.size() ? name.size() - typed.size() : typed.size() - name.size();
        // Each edit changes the length by one at most.
        if (gap <= tolerance) {
            const std::size_t distance = EditDistance(typed, name);
            if (distance <= tolerance) {
                near.emplace_back(distance, name);
            }
        }
    }
    if (near.empty() && typed.size() >= MinContainedLength) {
        for (const auto& entry : catalogue) {
            const std::string& name = entry.first;
            if (ContainsIgnoringCase(name, typed) || ContainsIgnoringCase(typed, name)) {
                // Closer in length means less was left out.
                const std::size_t gap = name.size() > typed.size() ? name.size() - typed.size()
                                                                   : typed.size() - name.size();
                near.emplace_back(gap, name);
            }
        }
    }
    std::sort(near.begin(), near.end());
    std::vector<std::string> names;
    for (const auto& candidate : near) {
        if (names.size() == MaxSuggestions) {
            break;
        }
        names.push_back(candidate.second);
    }
    return names;
}
