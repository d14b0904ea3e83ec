#pragma once

// What a report says of a problem: its record, its stable code, and names and
// values quoted so that no file content can pass for report text.

#include "settings/json_members.h"
#include "settings/setting_rules.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Characters of a name or value shown in a message before it is cut.
constexpr std::size_t kMaxQuotedCharacters = 80;

struct Problem {
    ProblemKind kind = ProblemKind::MalformedJson;
    int position = 0;                     // 1-based member (or argument) number; 0 for the document as a whole
    std::string name;                     // the member's name as written
    std::string message;                  // the editor's text in the loaded language; English where it has none
    std::string detail;                   // further explanation, English only
    std::vector<std::string> suggestions; // UnknownName: nearest catalogue names
    int line = 0;                         // MalformedJson, NotUtf8: where reading stopped, counted from 1
    int column = 0;                       // in characters
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

// Every text that comes from a file, a path, a value or the system is shown with
// one rule, in the window and in the tool's text and JSON output alike: what no
// reader can see as what it is becomes an escape. That is every control (C0, DEL
// and C1), format character (Cf: U+200B, U+200E/F, U+202A-202E, U+2066-2069,
// U+061C, U+00AD, U+2060, U+FEFF, ...), line and paragraph separator, blank other
// than the space (U+00A0, U+3000, ...), unassigned, private-use and surrogate code
// point, and default-ignorable character (variation selectors, Hangul fillers),
// and every byte that is not UTF-8. So two texts that differ never look the same,
// and nothing in them can reorder, hide or break the text around them.
//
// VisibleText writes them as \xNN (an ASCII control, or a byte that is not UTF-8),
// \uNNNN or \UNNNNNNNN and leaves everything else as it is, without quotes.
// Backslashes stay single unless they stand before what would read as such an
// escape; there they are doubled ("C:\Work" stays, "C:\u0041" is the text
// C:A), so that the shown text still names exactly one text. The std::string
// form takes and gives UTF-8 (for the tool, and for native paths), the QString
// form is for the window.
std::string VisibleText(std::string_view text);
QString VisibleText(const QString& text);

// Text in double quotes for a message, with the same rule: quote and backslash
// escaped, line feed, carriage return and tab as \n, \r and \t, the rest of what
// VisibleText escapes as it does; after `maxCharacters` characters the quotes
// close and an ellipsis follows.
std::string QuotedText(std::string_view text, std::size_t maxCharacters = kMaxQuotedCharacters);

// The texts quoted and joined for a sentence: "a", "b" or "c".
std::string QuotedList(const std::vector<std::string>& texts);

// Length of the longest start of the bytes that is UTF-8 text: the offset of the
// first byte that is not, or the whole length.
std::size_t Utf8PrefixLength(std::string_view text);

// Appends the text as a JSON string with the same rule: what VisibleText escapes
// is written as \u escapes (a pair beyond the first plane), which a JSON reader
// reads as the same text; a byte that is not UTF-8 becomes U+FFFD.
void AppendJsonText(std::string_view text, std::string& out);
