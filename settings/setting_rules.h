#pragma once

// Every rule a setting's name and value follow, defined once: the program's
// check, the editor's messages, the command-line tool's reports, its JSON Schema
// and the settings reference all read them from here.

#include "settings/settings_catalogue.h"

#include <QRegularExpression>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rule of a setting's value. The pattern is regular-expression text that must
// match the whole value (it carries no anchors); an empty pattern accepts every
// value. The texts are English; the message key names the sentence that tells a
// user what the value must be, in the loaded language.
struct SettingValueRule {
    QString pattern;
    std::string shortName;         // a word or two, for tables ("integer 0-20")
    std::string description;       // one line ("digits only")
    std::string reference;         // the settings reference's Markdown, with an example
    QRegularExpression expression; // the pattern anchored, ready to match
    QString messageKey;            // empty for a rule every value follows

    // True when the whole value follows the rule.
    bool Accepts(const QString& value) const;
};

// Rule of the setting with this record: its variant's, or else its kind's.
const SettingValueRule& ValueRuleOf(const SettingMapping& setting);

// The kind's own rule.
const SettingValueRule& ValueRuleOf(SettingValueKind kind);

// The kind in one lower-case word ("boolean").
const char* KindName(SettingValueKind kind);

// What can be wrong with a settings file or with a NAME=VALUE pair.
enum class ProblemKind {
    MalformedJson,
    NotUtf8, // UTF-16 or UTF-32, or bytes that are not UTF-8
    NotAnObject,
    EmptyNameAndValue,
    EmptyName,
    EmptyValue,
    DuplicateName,
    UnknownName,
    NameCase,
    NonStringValue,
    InvalidValue,
    MissingRequiredSetting,
    TooLarge,
};

// Translation key of the editor's text for a problem of a name/value pair; empty
// for a problem of the whole file.
QString ProblemMessageKey(ProblemKind kind);

// Every problem of a name/value pair, in the editor's order: both fields empty,
// name empty, value empty, name already in the document (`nameTaken`), name not
// in the catalogue, value against the rule. After an empty name nothing else is
// checked. A null `value` is one that is not text (a file member holding a
// number): it has no problem of its own here, the caller reports it.
std::vector<ProblemKind> PairProblems(const SettingsMap& catalogue, const std::string& name, const QString* value,
                                      bool nameTaken);
// The same, with the name's catalogue entry (FindSetting's result) already looked up.
std::vector<ProblemKind> PairProblems(const SettingsMap& catalogue, SettingsMap::const_iterator entry,
                                      std::string_view name, const QString* value, bool nameTaken);

// The first of PairProblems, which the editor shows; none when the pair can be stored.
std::optional<ProblemKind> FirstPairProblem(const SettingsMap& catalogue, const std::string& name, const QString& value,
                                            bool nameTaken);
