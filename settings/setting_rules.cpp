#include "settings/setting_rules.h"

#include "i18n/translation_keys.h"

namespace {

SettingValueRule MakeRule(QString pattern, std::string shortName, std::string description, std::string reference,
                          QString messageKey = {})
{
    // anchoredPattern adds \A and \z around the rule: a bare "$" would also accept a
    // value that ends in a line feed, which must never reach the exported file.
    QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    expression.optimize();
    return {std::move(pattern),   std::move(shortName),  std::move(description),
            std::move(reference), std::move(expression), std::move(messageKey)};
}

struct Rules {
    SettingValueRule address =
        MakeRule(QStringLiteral("https?://[a-zA-Z0-9.-]+:\\d+"), "address",
                 "http:// or https:// address with host and port, nothing after the port",
                 "`http://` or `https://` address with host and port, no path (`https://10.0.0.5:56569`)",
                 TranslationKey::RuleAddress);
    SettingValueRule text = MakeRule({}, "text", "any text", "any text");
    SettingValueRule integer =
        MakeRule(QStringLiteral("\\d+"), "integer", "digits only", "whole number, digits only (leading zeros allowed)",
                 TranslationKey::RuleInteger);
    SettingValueRule zeroToTwenty =
        MakeRule(QStringLiteral("0|1?\\d|20"), "integer 0-20", "whole number from 0 to 20, no leading zeros",
                 "whole number from 0 to 20, no leading zeros", TranslationKey::RuleZeroToTwenty);
    SettingValueRule decimal = MakeRule(QStringLiteral("\\d+\\.\\d+"), "decimal", "digits, a dot, digits",
                                        "digits, a dot, digits (`1.5`)", TranslationKey::RuleDecimal);
    // Letter case spelt out rather than a case-insensitive match, which would
    // also take look-alikes such as "fal\u017Fe" (long s) that the agent cannot read.
    SettingValueRule boolean =
        MakeRule(QStringLiteral("[Tt][Rr][Uu][Ee]|[Ff][Aa][Ll][Ss][Ee]|0|1"), "boolean",
                 "true, false, 1 or 0, in any letter case",
                 "`true`, `false`, `1` or `0`, any letter case (`1`/`0` are written as `true`/`false`)",
                 TranslationKey::RuleBoolean);
};

const Rules& AllRules()
{
    static const Rules rules;
    return rules;
}

} // namespace

bool SettingValueRule::Accepts(const QString& value) const
{
    return pattern.isEmpty() || expression.match(value).hasMatch();
}

const SettingValueRule& ValueRuleOf(const SettingMapping& setting)
{
    switch (setting.rule) {
    case ValueRuleVariant::IntegerZeroToTwenty:
        return AllRules().zeroToTwenty;
    case ValueRuleVariant::OfKind:
        break;
    }
    return ValueRuleOf(setting.kind);
}

const SettingValueRule& ValueRuleOf(SettingValueKind kind)
{
    const Rules& rules = AllRules();
    switch (kind) {
    case SettingValueKind::Address:
        return rules.address;
    case SettingValueKind::Integer:
        return rules.integer;
    case SettingValueKind::Decimal:
        return rules.decimal;
    case SettingValueKind::Boolean:
        return rules.boolean;
    case SettingValueKind::Text:
        break;
    }
    return rules.text;
}

const char* KindName(SettingValueKind kind)
{
    return ValueRuleOf(kind).shortName.c_str();
}

QString ProblemMessageKey(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::EmptyNameAndValue:
        return TranslationKey::AllFieldsAreRequired;
    case ProblemKind::EmptyName:
        return TranslationKey::NameFieldRequired;
    case ProblemKind::EmptyValue:
        return TranslationKey::ValueFieldRequired;
    case ProblemKind::DuplicateName:
        return TranslationKey::SettingAlreadyExist;
    case ProblemKind::UnknownName:
    case ProblemKind::NameCase:
        return TranslationKey::InvalidSettingName;
    case ProblemKind::NonStringValue:
    case ProblemKind::InvalidValue:
        return TranslationKey::InvalidSettingValue;
    case ProblemKind::MalformedJson:
    case ProblemKind::NotUtf8:
    case ProblemKind::NotAnObject:
    case ProblemKind::MissingRequiredSetting:
    case ProblemKind::TooLarge:
        break;
    }
    return {};
}

std::vector<ProblemKind> PairProblems(const SettingsMap& catalogue, const std::string& name, const QString* value,
                                      bool nameTaken)
{
    return PairProblems(catalogue, FindSetting(catalogue, name), name, value, nameTaken);
}

std::vector<ProblemKind> PairProblems(const SettingsMap& catalogue, SettingsMap::const_iterator entry,
                                      std::string_view name, const QString* value, bool nameTaken)
{
    std::vector<ProblemKind> problems;
    const bool valueEmpty = value != nullptr && value->isEmpty();
    if (name.empty()) {
        problems.push_back(valueEmpty ? ProblemKind::EmptyNameAndValue : ProblemKind::EmptyName);
        return problems;
    }
    if (valueEmpty) {
        problems.push_back(ProblemKind::EmptyValue);
    }
    if (nameTaken) {
        problems.push_back(ProblemKind::DuplicateName);
    }
    if (entry == catalogue.end()) {
        problems.push_back(ProblemKind::UnknownName);
    } else if (value != nullptr && !valueEmpty && !ValueRuleOf(entry->second).Accepts(*value)) {
        problems.push_back(ProblemKind::InvalidValue);
    }
    return problems;
}

std::optional<ProblemKind> FirstPairProblem(const SettingsMap& catalogue, const std::string& name, const QString& value,
                                            bool nameTaken)
{
    const std::vector<ProblemKind> problems = PairProblems(catalogue, name, &value, nameTaken);
    if (problems.empty()) {
        return std::nullopt;
    }
    return problems.front();
}
