#include "name_suggestions.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

constexpr std::size_t MaxSuggestions = 3;
// Below this length a contained name would match too much ("Enable").
constexpr std::size_t MinContainedLength = 4;

std::string AsciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Edits (insert, delete, replace, swap of neighbours) that turn one text into the
// other; swapped letters are the most common typing mistake, so they count once.
std::size_t EditDistance(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
    for (std::size_t i = 0; i <= n; ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= m; ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[n][m];
}

// How many mistakes a name of this length may carry and still be recognised.
std::size_t Tolerance(std::size_t length)
{
    if (length <= 4) {
        return 1;
    }
    return length <= 10 ? 2 : 3;
}

} // namespace

std::vector<std::string> SuggestSettingNames(const SettingsMap& catalogue, const std::string& typed)
{
    const std::string wanted = AsciiLower(typed);
    std::vector<std::pair<std::size_t, std::string>> near;
    for (const auto& entry : catalogue) {
        const std::size_t distance = EditDistance(wanted, AsciiLower(entry.first));
        if (distance <= Tolerance(wanted.size())) {
            near.emplace_back(distance, entry.first);
        }
    }
    if (near.empty() && wanted.size() >= MinContainedLength) {
        for (const auto& entry : catalogue) {
            const std::string name = AsciiLower(entry.first);
            if (name.find(wanted) != std::string::npos || wanted.find(name) != std::string::npos) {
                // Closer in length means less was left out.
                const std::size_t gap = name.size() > wanted.size() ? name.size() - wanted.size()
                                                                    : wanted.size() - name.size();
                near.emplace_back(gap, entry.first);
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
