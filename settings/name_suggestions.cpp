#include "settings/name_suggestions.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

constexpr std::size_t MaxSuggestions = 3;
// Below this length a contained name would match too much ("Enable").
constexpr std::size_t MinContainedLength = 4;

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edits (insert, delete, replace, swap of neighbours) that turn one text into the
// other, letter case ignored; swapped letters are the most common typing mistake,
// so they count once. Anything above `tolerance` comes back as tolerance + 1:
// only a band of the table around its diagonal is worked out, and the work stops
// once a whole row is beyond it. `typed` is in lower case and has at most
// kMaxSuggestedNameLength bytes.
std::size_t EditDistance(const std::string& typed, const std::string& name, std::size_t tolerance)
{
    const std::size_t beyond = tolerance + 1;
    const std::size_t n = typed.size();
    if (n == 0) {
        return std::min(name.size(), beyond);
    }
    // Row i of the table lives in rows[i % 3]; a swap looks two rows back.
    std::array<std::array<std::size_t, kMaxSuggestedNameLength + 2>, 3> rows;
    for (std::size_t j = 0; j <= n + 1; ++j) {
        rows[0][j] = std::min(j, beyond);
    }
    for (std::size_t i = 1; i <= name.size(); ++i) {
        const char letter = AsciiLower(name[i - 1]);
        const char before = i > 1 ? AsciiLower(name[i - 2]) : '\0';
        const auto& above = rows[(i - 1) % 3];
        auto& current = rows[i % 3];
        const std::size_t low = i > tolerance ? i - tolerance : 1;
        const std::size_t high = std::min(n, i + tolerance);
        if (low > high) {
            return beyond; // the name is longer than the typed text by more than the tolerance
        }
        current[0] = std::min(i, beyond);
        current[low - 1] = low == 1 ? current[0] : beyond;
        std::size_t rowBest = current[low - 1];
        for (std::size_t j = low; j <= high; ++j) {
            const std::size_t cost = letter == typed[j - 1] ? 0 : 1;
            std::size_t d = std::min({above[j] + 1, current[j - 1] + 1, above[j - 1] + cost});
            if (i > 1 && j > 1 && letter == typed[j - 2] && before == typed[j - 1]) {
                d = std::min(d, rows[(i - 2) % 3][j - 2] + 1);
            }
            current[j] = std::min(d, beyond);
            rowBest = std::min(rowBest, current[j]);
        }
        current[high + 1] = beyond;
        if (rowBest >= beyond) {
            return beyond;
        }
    }
    return name.size() + tolerance >= n ? rows[name.size() % 3][n] : beyond;
}

// How many mistakes a name of this length may carry and still be recognised.
std::size_t Tolerance(std::size_t length)
{
    if (length <= 4) {
        return 1;
    }
    return length <= 10 ? 2 : 3;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part)
{
    return part.size() <= text.size()
        && std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); })
        != text.end();
}

// Which characters a text holds, letter case ignored: a letter or digit a bit of
// its own, everything else one bit. A text holds another only if it holds each
// of its characters.
std::uint64_t CharacterSet(std::string_view text)
{
    std::uint64_t set = 0;
    for (const char c : text) {
        const char lower = AsciiLower(c);
        const int bit = lower >= 'a' && lower <= 'z' ? lower - 'a'
            : lower >= '0' && lower <= '9'           ? 26 + lower - '0'
                                                     : 63;
        set |= std::uint64_t(1) << bit;
    }
    return set;
}

// How often each character occurs, letter case ignored: a letter or digit a bin of
// its own, everything else one bin.
std::array<std::uint8_t, 37> CharacterCounts(std::string_view text)
{
    std::array<std::uint8_t, 37> counts{};
    for (const char c : text) {
        const char lower = AsciiLower(c);
        ++counts[lower >= 'a' && lower <= 'z' ? lower - 'a' : lower >= '0' && lower <= '9' ? 26 + lower - '0' : 36];
    }
    return counts;
}

// A lower bound of EditDistance, far cheaper: an edit adds or removes one
// character at most, so the characters one text has more than the other, counted
// either way, take at least that many edits (a swap changes none).
std::size_t CountDistance(const std::array<std::uint8_t, 37>& a, const std::array<std::uint8_t, 37>& b)
{
    std::size_t more = 0;
    std::size_t fewer = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        more += a[i] > b[i] ? a[i] - b[i] : 0;
        fewer += b[i] > a[i] ? b[i] - a[i] : 0;
    }
    return std::max(more, fewer);
}

} // namespace

NameSuggestions::NameSuggestions(const SettingsMap& catalogue)
{
    for (const auto& entry : catalogue) {
        names_.push_back({entry.first, CharacterSet(entry.first), CharacterCounts(entry.first)});
        shortest_ = std::min(shortest_, entry.first.size());
    }
}

std::vector<std::string> NameSuggestions::For(std::string_view typed) const
{
    if (typed.size() > kMaxSuggestedNameLength) {
        return {};
    }
    const std::size_t tolerance = Tolerance(typed.size());
    std::string lower(typed);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    std::vector<std::pair<std::size_t, std::string>> near;
    // Each edit changes the length by one at most: a short text is near no name.
    const std::size_t nearNames = typed.size() + tolerance < shortest_ ? 0 : names_.size();
    const auto typedCounts = CharacterCounts(typed);
    for (std::size_t k = 0; k < nearNames; ++k) {
        const std::string& name = names_[k].text;
        const std::size_t gap = name.size() > typed.size() ? name.size() - typed.size() : typed.size() - name.size();
        if (gap <= tolerance && CountDistance(typedCounts, names_[k].counts) <= tolerance) {
            const std::size_t distance = EditDistance(lower, name, tolerance);
            if (distance <= tolerance) {
                near.emplace_back(distance, name);
            }
        }
    }
    if (near.empty() && typed.size() >= MinContainedLength) {
        const std::uint64_t typedSet = CharacterSet(typed);
        for (const Name& candidate : names_) {
            const std::string& name = candidate.text;
            const bool nameHolds = (typedSet & ~candidate.characters) == 0 && ContainsIgnoringCase(name, typed);
            if (nameHolds || ((candidate.characters & ~typedSet) == 0 && ContainsIgnoringCase(typed, name))) {
                // Closer in length means less was left out.
                const std::size_t gap =
                    name.size() > typed.size() ? name.size() - typed.size() : typed.size() - name.size();
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

std::vector<std::string> SuggestSettingNames(const SettingsMap& catalogue, const std::string& typed)
{
    return NameSuggestions(catalogue).For(typed);
}
