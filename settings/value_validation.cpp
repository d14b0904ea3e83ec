#include "value_validation.h"

#include "setting_names.h"

#include <QRegularExpression>

namespace {

// anchoredPattern adds \A and \z around the rule: a bare "$" would also accept a
// value that ends in a line feed, which must never reach the exported file.
QRegularExpression Rule(const QString& pattern,
                        QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption)
{
    QRegularExpression expression(QRegularExpression::anchoredPattern(pattern), options);
    expression.optimize();
    return expression;
}

} // namespace

bool IsSettingValueInvalid(const SettingsMap& settings, const std::string& name, const QString& value)
{
    static const QRegularExpression address = Rule(QStringLiteral("^(https?://[a-zA-Z0-9.-]+:\\d+)$"));
    static const QRegularExpression integer = Rule(QStringLiteral("^\\d+$"));
    static const QRegularExpression printerCache = Rule(QStringLiteral("^(0|1?\\d|20)$"));
    static const QRegularExpression decimal = Rule(QStringLiteral("^\\d+\\.\\d+$"));
    static const QRegularExpression boolean =
        Rule(QStringLiteral("^(true|false|0|1)$"), QRegularExpression::CaseInsensitiveOption);

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
