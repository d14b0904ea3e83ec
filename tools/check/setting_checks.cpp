#include "setting_checks.h"

#include "globalize.h"
#include "name_suggestions.h"
#include "setting_names.h"
#include "translation_keys.h"
#include "value_validation.h"

#include <QString>

#include <cstddef>
#include <tuple>
#include <utility>

namespace {

using Json = nlohmann::json;

std::string Text(const QString& key)
{
    return Globalize::Translate(key).toStdString();
}

// A value or name as JSON shows it, quotes and escapes included, so that blanks
// and line feeds at the ends can be seen.
std::string Quoted(const std::string& text)
{
    return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string QuotedList(const std::vector<std::string>& names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            list += i + 1 == names.size() ? " or " : ", ";
        }
        list += Quoted(names[i]);
    }
    return list;
}

std::string FoundValue(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: {
        // The likely intent: the same text in quotes.
        const std::string text = value.dump();
        return std::string(value.is_boolean() ? "the literal " : "the number ") + text + " (write \"" + text
            + "\")";
    }
    case Json::value_t::object:
        return "an object";
    case Json::value_t::array:
        return "an array";
    default:
        return "a " + std::string(value.type_name());
    }
}

std::string ArticleTypeName(const Json& value)
{
    if (value.is_object()) {
        return "an object";
    }
    if (value.is_array()) {
        return "an array";
    }
    if (value.is_null()) {
        return "null";
    }
    return std::string("a ") + value.type_name();
}

struct ParsedText {
    bool malformed = false;
    std::size_t errorOffset = 0; // byte where the parser stopped
    std::string error;
    Json root;
    std::vector<Member> members;
};

// The parser's own object keeps only the last of repeated names, so the members
// are collected from its events as they come.
ParsedText ParseMembers(const std::string& text)
{
    ParsedText parsed;
    bool topIsObject = false;
    const Json::parser_callback_t collect = [&](int depth, Json::parse_event_t event, Json& value) {
        if (depth == 0 && event == Json::parse_event_t::object_start) {
            topIsObject = true;
        }
        if (depth != 1 || !topIsObject) {
            return true;
        }
        switch (event) {
        case Json::parse_event_t::key:
            parsed.members.push_back({value.get<std::string>(), Json()});
            break;
        case Json::parse_event_t::value:
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
            if (!parsed.members.empty()) {
                parsed.members.back().value = value;
            }
            break;
        default:
            break;
        }
        return true;
    };
    try {
        parsed.root = Json::parse(text, collect);
    } catch (const Json::parse_error& error) {
        parsed.malformed = true;
        parsed.errorOffset = error.byte > 0 ? error.byte - 1 : 0;
        parsed.error = error.what();
    }
    return parsed;
}

// Line and column of a byte, both from 1; columns count characters, not bytes,
// and a byte-order mark, which editors do not show, is not counted.
std::pair<int, int> LineAndColumn(const std::string& text, std::size_t offset)
{
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    int column = 1;
    for (; i < offset && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

// The parser's explanation without its own prefix and position.
std::string ParserExplanation(const std::string& what)
{
    const std::size_t bracket = what.find(']');
    const std::size_t colon = what.find(": ", bracket == std::string::npos ? 0 : bracket);
    std::string explanation = colon == std::string::npos ? what : what.substr(colon + 2);
    if (!explanation.empty() && explanation[0] >= 'a' && explanation[0] <= 'z') {
        explanation[0] = static_cast<char>(explanation[0] - 'a' + 'A');
    }
    // It quotes the bytes it read, which need not be valid UTF-8.
    return QString::fromUtf8(explanation.data(), static_cast<qsizetype>(explanation.size())).toStdString();
}

} // namespace

const char* ProblemCode(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::MalformedJson:
        return "malformed-json";
    case ProblemKind::NotAnObject:
        return "not-an-object";
    case ProblemKind::EmptyNameAndValue:
        return "empty-name-and-value";
    case ProblemKind::EmptyName:
        return "empty-name";
    case ProblemKind::EmptyValue:
        return "empty-value";
    case ProblemKind::DuplicateName:
        return "duplicate-name";
    case ProblemKind::UnknownName:
        return "unknown-name";
    case ProblemKind::NameCase:
        return "name-case";
    case ProblemKind::NonStringValue:
        return "non-string-value";
    case ProblemKind::InvalidValue:
        return "invalid-value";
    case ProblemKind::MissingHostAddress:
        return "missing-host-address";
    }
    return "unknown";
}

const char* KindName(SettingValueKind kind)
{
    switch (kind) {
    case SettingValueKind::Address:
        return "address";
    case SettingValueKind::Text:
        return "text";
    case SettingValueKind::Integer:
        return "integer";
    case SettingValueKind::Decimal:
        return "decimal";
    case SettingValueKind::Boolean:
        return "boolean";
    }
    return "text";
}

std::string RuleName(const std::string& catalogueName, SettingValueKind kind)
{
    if (kind == SettingValueKind::Integer && catalogueName == SettingName::ContingencyPrinterCache) {
        return "integer 0-20";
    }
    return KindName(kind);
}

std::string RuleDescription(const std::string& catalogueName, SettingValueKind kind)
{
    switch (kind) {
    case SettingValueKind::Address:
        return "http:// or https:// address with host and port, nothing after the port";
    case SettingValueKind::Text:
        return "any text";
    case SettingValueKind::Integer:
        return catalogueName == SettingName::ContingencyPrinterCache ? "whole number from 0 to 20, no leading zeros"
                                                                     : "digits only";
    case SettingValueKind::Decimal:
        return "digits, a dot, digits";
    case SettingValueKind::Boolean:
        return "true, false, 1 or 0, in any letter case";
    }
    return "any text";
}

std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members,
                                  NameCase nameCase, const std::string& place)
{
    std::vector<Problem> problems;
    for (std::size_t index = 0; index < members.size(); ++index) {
        const Member& member = members[index];
        auto add = [&](ProblemKind kind, std::string message, std::string detail = {}) -> Problem& {
            Problem problem;
            problem.kind = kind;
            problem.position = static_cast<int>(index + 1);
            problem.name = member.name;
            problem.message = std::move(message);
            problem.detail = std::move(detail);
            problems.push_back(std::move(problem));
            return problems.back();
        };

        const bool nameEmpty = member.name.empty();
        const bool valueEmpty = member.value.is_string() && member.value.get_ref<const std::string&>().empty();
        auto entry = catalogue.end();
        if (nameEmpty && valueEmpty) {
            add(ProblemKind::EmptyNameAndValue, Text(TranslationKey::AllFieldsAreRequired));
        } else if (nameEmpty) {
            add(ProblemKind::EmptyName, Text(TranslationKey::NameFieldRequired));
        } else {
            for (std::size_t earlier = 0; earlier < index; ++earlier) {
                if (EqualsIgnoringAsciiCase(members[earlier].name, member.name)) {
                    add(ProblemKind::DuplicateName, Text(TranslationKey::SettingAlreadyExist),
                        place + " " + std::to_string(earlier + 1) + " has the same name, "
                            + Quoted(members[earlier].name) + ".");
                    break;
                }
            }
            entry = FindSetting(catalogue, member.name);
            if (entry == catalogue.end()) {
                Problem& problem = add(ProblemKind::UnknownName, Text(TranslationKey::InvalidSettingName));
                problem.suggestions = SuggestSettingNames(catalogue, member.name);
                if (!problem.suggestions.empty()) {
                    problem.detail = "Did you mean " + QuotedList(problem.suggestions) + "?";
                }
            } else if (nameCase == NameCase::MustMatch && entry->first != member.name) {
                add(ProblemKind::NameCase, Text(TranslationKey::InvalidSettingName),
                    "Letter case differs from the setting " + Quoted(entry->first) + "; write it that way.");
            }
        }

        if (!member.value.is_string()) {
            add(ProblemKind::NonStringValue, Text(TranslationKey::InvalidSettingValue),
                "Expected a JSON string; found " + FoundValue(member.value) + ".");
        } else if (valueEmpty) {
            if (!nameEmpty) {
                add(ProblemKind::EmptyValue, Text(TranslationKey::ValueFieldRequired));
            }
        } else if (entry != catalogue.end()) {
            const std::string& value = member.value.get_ref<const std::string&>();
            if (IsSettingValueInvalid(catalogue, member.name, QString::fromStdString(value))) {
                add(ProblemKind::InvalidValue, Text(TranslationKey::InvalidSettingValue),
                    "Expected " + RuleDescription(entry->first, entry->second.kind) + "; found " + Quoted(value)
                        + ".");
            }
        }
    }
    return problems;
}

std::vector<Problem> CheckSettingsText(const SettingsMap& catalogue, const std::string& text)
{
    const ParsedText parsed = ParseMembers(text);
    if (parsed.malformed) {
        Problem problem;
        problem.kind = ProblemKind::MalformedJson;
        problem.message = "Malformed JSON.";
        problem.detail = ParserExplanation(parsed.error);
        std::tie(problem.line, problem.column) = LineAndColumn(text, parsed.errorOffset);
        return {problem};
    }
    if (!parsed.root.is_object()) {
        Problem problem;
        problem.kind = ProblemKind::NotAnObject;
        problem.message = "A settings file holds one JSON object; this one holds " + ArticleTypeName(parsed.root)
            + ".";
        return {problem};
    }

    std::vector<Problem> problems = CheckMembers(catalogue, parsed.members, NameCase::MustMatch, "Member");
    bool hasHostAddress = false;
    for (const Member& member : parsed.members) {
        hasHostAddress = hasHostAddress || EqualsIgnoringAsciiCase(member.name, SettingName::HostAddress);
    }
    if (!hasHostAddress) {
        Problem problem;
        problem.kind = ProblemKind::MissingHostAddress;
        problem.message = "The setting " + Quoted(SettingName::HostAddress) + " is required.";
        problems.push_back(problem);
    }
    return problems;
}
