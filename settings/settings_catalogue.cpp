#include "settings/settings_catalogue.h"

#include "i18n/globalize.h"
#include "settings/setting_names.h"

#include <spdlog/spdlog.h>

#include <algorithm>

namespace {

// A row of the catalogue's table: what is particular to one setting. Most
// settings differ only in name and kind; the others say what sets them apart.
struct CatalogueRow {
    const std::string* name;
    SettingValueKind kind;
    bool suggested = true;
    ValueRuleVariant rule = ValueRuleVariant::OfKind;
    bool described = true; // its description key is its name followed by "Description"
    bool required = false;
    const char* defaultValue = "";

    CatalogueRow NotOffered() const
    {
        CatalogueRow row = *this;
        row.suggested = false;
        return row;
    }
    CatalogueRow Rule(ValueRuleVariant variant) const
    {
        CatalogueRow row = *this;
        row.rule = variant;
        return row;
    }
    // For a setting the translation files have no description key for.
    CatalogueRow WithoutDescription() const
    {
        CatalogueRow row = *this;
        row.described = false;
        return row;
    }
    CatalogueRow Required(const char* value) const
    {
        CatalogueRow row = *this;
        row.required = true;
        row.defaultValue = value;
        return row;
    }
};

CatalogueRow Setting(const std::string& name, SettingValueKind kind)
{
    return {&name, kind};
}

// The agent's settings, in the order they are stored.
const std::vector<CatalogueRow>& CatalogueRows()
{
    static const std::vector<CatalogueRow> rows{
        Setting(SettingName::HostAddress, SettingValueKind::Address).Required("https://127.0.0.1:56569"),
        Setting(SettingName::ForceLocalAuthentication, SettingValueKind::Boolean),
        Setting(SettingName::UsePinAuthentication, SettingValueKind::Boolean),
        Setting(SettingName::AuthenticationExceptionList, SettingValueKind::Text),
        Setting(SettingName::ProfileTimeUpdate, SettingValueKind::Integer),
        Setting(SettingName::DisableCertificateValidation, SettingValueKind::Boolean),
        Setting(SettingName::LocalSecurePrintExceptionList, SettingValueKind::Text),
        Setting(SettingName::PopUpExpiration, SettingValueKind::Integer),
        Setting(SettingName::EnableProxy, SettingValueKind::Boolean).NotOffered(),
        Setting(SettingName::HttpTimeout, SettingValueKind::Integer),
        Setting(SettingName::DisableAccounting, SettingValueKind::Boolean),
        Setting(SettingName::EnabledDriverList, SettingValueKind::Text),
        Setting(SettingName::DisabledDriverList, SettingValueKind::Text),
        Setting(SettingName::SaveSpool, SettingValueKind::Boolean),
        Setting(SettingName::DisableAdvancedPrintingFeatures, SettingValueKind::Boolean),
        Setting(SettingName::AllowJobTitleChange, SettingValueKind::Boolean),
        Setting(SettingName::BlockDuplicateJobs, SettingValueKind::Integer),
        Setting(SettingName::EnableGrayscaleAsColor, SettingValueKind::Boolean),
        Setting(SettingName::ZozadodoTimeout, SettingValueKind::Integer),
        Setting(SettingName::DisableLogicAccounting, SettingValueKind::Boolean),
        Setting(SettingName::DisableZozAdodo, SettingValueKind::Boolean),
        Setting(SettingName::DisableDailyNpl, SettingValueKind::Boolean),
        Setting(SettingName::BlockCopies, SettingValueKind::Integer),
        Setting(SettingName::DisableLocalUSBCommunication, SettingValueKind::Boolean),
        Setting(SettingName::DisableDuplexAdjust, SettingValueKind::Boolean),
        Setting(SettingName::EliminateLastBlankPage, SettingValueKind::Boolean),
        Setting(SettingName::EnableLargePaper, SettingValueKind::Boolean),
        Setting(SettingName::ScheduledInventory, SettingValueKind::Integer),
        Setting(SettingName::InventoryFailTimeUpdate, SettingValueKind::Integer),
        Setting(SettingName::ForcedOldPCLXLConversion, SettingValueKind::Boolean),
        Setting(SettingName::RemoveWhitespaceEnabled, SettingValueKind::Boolean),
        Setting(SettingName::EnableForceBlackonlyPjl, SettingValueKind::Boolean),
        Setting(SettingName::ForcedPostscriptRasterConversion, SettingValueKind::Boolean),
        Setting(SettingName::TagBorderOffset, SettingValueKind::Integer),
        Setting(SettingName::XLSInsertionMode, SettingValueKind::Integer),
        Setting(SettingName::InsertOnBlankPage, SettingValueKind::Boolean),
        Setting(SettingName::ReleaserOffline, SettingValueKind::Boolean),
        Setting(SettingName::ShowCostReleaserPrint, SettingValueKind::Boolean),
        Setting(SettingName::ForceMonoConversion, SettingValueKind::Boolean),
        Setting(SettingName::ForceDuplexConversion, SettingValueKind::Boolean),
        Setting(SettingName::ForceSecurity, SettingValueKind::Boolean),
        Setting(SettingName::SNMPQueryInterval, SettingValueKind::Integer),
        Setting(SettingName::SecurePrintMonitorTime, SettingValueKind::Integer),
        Setting(SettingName::NPLBackup, SettingValueKind::Boolean),
        Setting(SettingName::DisableParser, SettingValueKind::Boolean),
        Setting(SettingName::EnableCopyInfo, SettingValueKind::Boolean),
        Setting(SettingName::MaxTimeAnalyzeFile, SettingValueKind::Integer),
        Setting(SettingName::DisableBiDirectional, SettingValueKind::Boolean),
        Setting(SettingName::EnablePasswordRemember, SettingValueKind::Boolean),
        Setting(SettingName::WorkFolder, SettingValueKind::Text),
        Setting(SettingName::EnableSecurePrint, SettingValueKind::Boolean),
        Setting(SettingName::EnableRetainOrPrint, SettingValueKind::Boolean),
        Setting(SettingName::ReleaserAddress, SettingValueKind::Address),
        Setting(SettingName::ContingencyPrinterCache, SettingValueKind::Integer)
            .Rule(ValueRuleVariant::IntegerZeroToTwenty),
        Setting(SettingName::EnableAuditing, SettingValueKind::Boolean).NotOffered().WithoutDescription(),
        Setting(SettingName::AuditingFolder, SettingValueKind::Text).NotOffered(),
    };
    return rows;
}

SettingsMap ProcessSettingsMap;

const std::string DescriptionSuffix = "Description";

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

void SettingsDataMapper()
{
    for (const CatalogueRow& row : CatalogueRows()) {
        SettingMapping mapping;
        mapping.kind = row.kind;
        if (row.described) {
            mapping.description =
                Globalize::Translate(QString::fromStdString(*row.name + DescriptionSuffix)).toStdString();
        }
        mapping.suggested = row.suggested;
        mapping.rule = row.rule;
        mapping.required = row.required;
        mapping.defaultValue = row.defaultValue;
        ProcessSettingsMap.insert_or_assign(*row.name, std::move(mapping));
    }
    LogSettingsMapped();
}

const std::vector<RequiredSetting>& RequiredSettings()
{
    static const std::vector<RequiredSetting> required = [] {
        std::vector<RequiredSetting> settings;
        for (const CatalogueRow& row : CatalogueRows()) {
            if (row.required) {
                settings.push_back({*row.name, row.defaultValue});
            }
        }
        return settings;
    }();
    return required;
}

void LogSettingsMapped()
{
    spdlog::debug("SettingsDataMapper: settings mapping finished successfully.");
}

SettingsMap GetSettingsMap()
{
    return ProcessSettingsMap;
}

const SettingsMap& SettingsCatalogue()
{
    return ProcessSettingsMap;
}

bool EqualsIgnoringAsciiCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return AsciiUpper(a) == AsciiUpper(b);
           });
}

SettingsMap::const_iterator FindSetting(const SettingsMap& settings, const std::string& name)
{
    // Most names are written as the catalogue writes them; a file may hold many.
    const auto exact = settings.find(name);
    if (exact != settings.end()) {
        return exact;
    }
    return std::find_if(settings.begin(), settings.end(),
                        [&name](const auto& entry) { return EqualsIgnoringAsciiCase(entry.first, name); });
}
