#pragma once

#include "settings_catalogue.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// What can be wrong with a settings file or with a NAME=VALUE pair.
enum class ProblemKind {
    MalformedJson,
    NotAnObject,
    EmptyNameAndValue,
    EmptyName,
    EmptyValue,
    DuplicateName,
    UnknownName,
    NameCase,
    NonStringValue,
    InvalidValue,
    MissingHostAddress,
};

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

// The kind in one lower-case word ("boolean").
const char* KindName(SettingValueKind kind);

// A setting's rule in a word or two, for tables ("integer 0-20"); English only.
std::string RuleName(const std::string& catalogueName, SettingValueKind kind);

// A setting's rule in words, English only ("digits only").
std::string RuleDescription(const std::string& catalogueName, SettingValueKind kind);

// One member of a settings object, in file order; a repeated name is a member of
// its own.
struct Member {
    std::string name;
    nlohmann::json value;
};

// How names in other letter case than the catalogue's are treated.
enum class NameCase {
    MustMatch,   // a file: the installation reads names as written
    Normalise,   // compose: the editor turns them into the catalogue's form
};

// The editor's checks for every member, in its order (empty fields, name already
// present, unknown name, value rule), plus the checks a file needs (letter case,
// JSON type). `place` names a position in the details ("Member", "Argument").
std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members,
                                  NameCase nameCase, const std::string& place);

// Every problem of a settings file, given its bytes.
std::vector<Problem> CheckSettingsText(const SettingsMap& catalogue, const std::string& text);
