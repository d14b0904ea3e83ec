#pragma once

// What a report says of a problem: its record, its stable code, and names and
// values quoted so that no file content can pass for report text.

#include "settings/json_members.h"
#include "settings/setting_rules.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Characters of a name or value shown in a message before it is cut.
constexpr std::size_t kMaxQuotedCharacters = 80;

struct Problem {
    ProblemKind kind = ProblemKind::MalformedJson;
    int position = 0;     // 1-based member (or argument) number; 0 for the document as a whole
    std::string name;     // the member's name as written
    std::string message;  // the editor's text in the loaded language; English where it has none
    std::string detail;   // further explanation, English only
    std::vector<std::string> suggestions; // UnknownName: nearest catalogue names
    int line = 0;         // MalformedJson: where the parser stopped, counted from 1
    int column = 0;       // in characters
    // What a text in the user's language needs besides the kind (the detail is English):
    int firstPosition = 0;                     // DuplicateName: the first member of that name
    const SettingValueRule* rule = nullptr;    // InvalidValue: the rule the value breaks
    MemberType foundType = MemberType::String; // NonStringValue: what the value is
};

// Each problem handed over as it is found, so that a file with very many problems
// need not hold them all.
using ProblemReport = std::function<void(Problem&&)>;

// Stable identifier of a kind for machine-readable reports ("unknown-name").
const char* ProblemCode(ProblemKind kind);

// Text in double quotes for a message: quote and backslash escaped, control
// characters as \n, \t, \x1b and the like, characters that reorder or hide text
// as \u202e, bytes that are not UTF-8 as \xff; after `maxCharacters` characters
// the quotes close and an ellipsis follows.
std::string QuotedText(std::string_view text, std::size_t maxCharacters = kMaxQuotedCharacters);

// The texts quoted and joined for a sentence: "a", "b" or "c".
std::string QuotedList(const std::vector<std::string>& texts);
