#include "value_validation.h"

#include "setting_names.h"

#include <QRegularExpression>

namespace {

// anchoredPattern adds \A and \z around the rule: a bare "$" would also accept a
// value that ends in a line feed, which must never reach the exported file.
QRegularExpression Rule(const SettingValueRule& rule)
{
    QRegularExpression expression(QRegularExpression::anchoredPattern(rule.pattern));
    expression.optimize();
    return expression;
}

} // namespace

SettingValueRule ValueRuleOf(const std::string& catalogueName, SettingValueKind kind)
{
    switch (kind) {
    case SettingValueKind::Address:
        return {QStringLiteral("https?://[a-zA-Z0-9.-]+:\\d+")};
    case SettingValueKind::Integer:
        return {catalogueName == SettingName::ContingencyPrinterCache ? QStringLiteral("0|1?\\d|20")
                                                                      : QStringLiteral("\\d+")};
    case SettingValueKind::Decimal:
        return {QStringLiteral("\\d+\\.\\d+")};
    case SettingValueKind::Boolean:
        // Letter case spelt out rather than a case-insensitive match, which would
        // also take look-alikes such as "fal\u017Fe" (long s) that the agent cannot read.
        return {QStringLiteral("[Tt][Rr][Uu][Ee]|[Ff][Aa][Ll][Ss][Ee]|0|1")};
    case SettingValueKind::Text:
    default:
        return {};
    }
}

bool IsSettingValueInvalid(const SettingsMap& settings, const std::string& name, const QString& value)
{
    static const QRegularExpression address = Rule(ValueRuleOf({}, SettingValueKind::Address));
    static const QRegularExpression integer = Rule(ValueRuleOf({}, SettingValueKind::Integer));
    static const QRegularExpression printerCache =
        Rule(ValueRuleOf(SettingName::ContingencyPrinterCache, SettingValueKind::Integer));
    static const QRegularExpression decimal = Rule(ValueRuleOf({}, SettingValueKind::Decimal));
    static const QRegularExpression boolean = Rule(ValueRuleOf({}, SettingValueKind::Boolean));

    const auto entry = FindSetting(settings, name);
    if (entry == settings.end()) {
        return true;
    }

    const QRegularExpression* rule = nullptr;
    switch (entry->second.kind) {
    case SettingValueKind::Address:
        rule = &address;
        break;
    case SettingValueKind::Integer:
        rule = entry->first == SettingName::ContingencyPrinterCache ? &printerCache : &integer;
        break;
    case SettingValueKind::Decimal:
        rule = &decimal;
        break;
    case SettingValueKind::Boolean:
        rule = &boolean;
        break;
    case SettingValueKind::Text:
    default:
        return false;
    }
    return !rule->match(value).hasMatch();
}
