#pragma once

// Reading and checking a settings file: the rules the command-line checker applies
// and the program uses when it opens a file, in one place.

#include "settings/setting_rules.h"
#include "settings/settings_catalogue.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Largest settings file read at all; reading stops there.
constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;
// Deepest nesting of arrays and objects in a settings file.
constexpr int kMaxJsonNesting = 64;
// Longest name (in bytes) for which nearby catalogue names are looked for.
constexpr std::size_t kMaxSuggestedNameLength = 128;
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
};

// Stable identifier of a kind for machine-readable reports ("unknown-name").
const char* ProblemCode(ProblemKind kind);

// Text in double quotes for a message: quote and backslash escaped, control
// characters as \n, \t, \x1b and the like, characters that reorder or hide text
// as \u202e, bytes that are not UTF-8 as \xff; after `maxCharacters` characters
// the quotes close and an ellipsis follows.
std::string QuotedText(std::string_view text, std::size_t maxCharacters = kMaxQuotedCharacters);

// The JSON type of a member's value.
enum class MemberType { String, Number, Boolean, Null, Object, Array };

// One member of a settings object, in file order; a repeated name is a member of
// its own. Only the type of a value that is not a string is kept.
struct Member {
    std::string name;
    std::string value; // a string's text; a number or literal as written; empty otherwise
    MemberType type = MemberType::String;
};

// How names in other letter case than the catalogue's are treated.
enum class NameCase {
    MustMatch, // a file: the installation reads names as written
    Normalise, // compose: the editor turns them into the catalogue's form
};

// The editor's checks for every member, in its order (empty fields, name already
// present, unknown name, value rule), plus the checks a file needs (letter case,
// JSON type). `place` names a position in the details ("Member", "Argument").
// Linear in the number of members.
std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members,
                                  NameCase nameCase, const std::string& place);

struct SettingsFileContent {
    // Loadable members, file order, catalogue spelling: members without problems,
    // and members whose only problem is letter case (listed in `problems` too).
    std::vector<std::pair<std::string, std::string>> valid;
    // Every problem the check tool reports for the file: the members not loaded,
    // and document-level problems (malformed, not an object, no HostAddress, too large).
    std::vector<Problem> problems;
    // Every member of the top-level object, in file order: what a problem's
    // position refers to.
    std::vector<Member> members;
};

// Reads a settings file's bytes with the same rules the check tool applies: size
// limit, UTF-8, nesting limit, the whole input consumed (a NUL byte or anything
// after the top-level value is malformed), per-member checks. Never throws for bad
// input.
SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes);

// Every problem of a settings file, given its bytes.
std::vector<Problem> CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes);

// The same, each problem handed over as it is found (in the order above), so that
// a file with very many problems need not hold them all.
using ProblemReport = std::function<void(Problem&&)>;
void CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report);

enum class FileReadStatus {
    Read,     // `bytes` holds the whole file
    TooLarge, // the file has more than the limit; reading stopped there
    Failed,   // it could not be opened or read; `error` says why
};

struct FileReadResult {
    FileReadStatus status = FileReadStatus::Failed;
    std::string bytes;
    std::string error; // English; for TooLarge too
};

// Reads at most `limit` bytes (and one more to notice a larger file), so endless
// devices and huge files end at once.
FileReadResult ReadFileBounded(const QString& path, std::size_t limit = kMaxSettingsFileBytes);
FileReadResult ReadStreamBounded(std::istream& in, std::size_t limit = kMaxSettingsFileBytes);
