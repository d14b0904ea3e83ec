#include "settings/settings_catalogue.h"

#include "i18n/globalize.h"
#include "settings/setting_names.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <array>

namespace {

struct CatalogueRow {
    const std::string& name;
    SettingValueKind kind;
    bool suggested;
};

SettingsMap ProcessSettingsMap;

const std::string DescriptionSuffix = "Description";

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

void SettingsDataMapper()
{
    // The agent's settings, in the order they are stored.
    static const std::array<CatalogueRow, 56> rows{{
        {SettingName::HostAddress, SettingValueKind::Address, true},
        {SettingName::ForceLocalAuthentication, SettingValueKind::Boolean, true},
        {SettingName::UsePinAuthentication, SettingValueKind::Boolean, true},
        {SettingName::AuthenticationExceptionList, SettingValueKind::Text, true},
        {SettingName::ProfileTimeUpdate, SettingValueKind::Integer, true},
        {SettingName::DisableCertificateValidation, SettingValueKind::Boolean, true},
        {SettingName::LocalSecurePrintExceptionList, SettingValueKind::Text, true},
        {SettingName::PopUpExpiration, SettingValueKind::Integer, true},
        {SettingName::EnableProxy, SettingValueKind::Boolean, false},
        {SettingName::HttpTimeout, SettingValueKind::Integer, true},
        {SettingName::DisableAccounting, SettingValueKind::Boolean, true},
        {SettingName::EnabledDriverList, SettingValueKind::Text, true},
        {SettingName::DisabledDriverList, SettingValueKind::Text, true},
        {SettingName::SaveSpool, SettingValueKind::Boolean, true},
        {SettingName::DisableAdvancedPrintingFeatures, SettingValueKind::Boolean, true},
        {SettingName::AllowJobTitleChange, SettingValueKind::Boolean, true},
        {SettingName::BlockDuplicateJobs, SettingValueKind::Integer, true},
        {SettingName::EnableGrayscaleAsColor, SettingValueKind::Boolean, true},
        {SettingName::ZozadodoTimeout, SettingValueKind::Integer, true},
        {SettingName::DisableLogicAccounting, SettingValueKind::Boolean, true},
        {SettingName::DisableZozAdodo, SettingValueKind::Boolean, true},
        {SettingName::DisableDailyNpl, SettingValueKind::Boolean, true},
        {SettingName::BlockCopies, SettingValueKind::Integer, true},
        {SettingName::DisableLocalUSBCommunication, SettingValueKind::Boolean, true},
        {SettingName::DisableDuplexAdjust, SettingValueKind::Boolean, true},
        {SettingName::EliminateLastBlankPage, SettingValueKind::Boolean, true},
        {SettingName::EnableLargePaper, SettingValueKind::Boolean, true},
        {SettingName::ScheduledInventory, SettingValueKind::Integer, true},
        {SettingName::InventoryFailTimeUpdate, SettingValueKind::Integer, true},
        {SettingName::ForcedOldPCLXLConversion, SettingValueKind::Boolean, true},
        {SettingName::RemoveWhitespaceEnabled, SettingValueKind::Boolean, true},
        {SettingName::EnableForceBlackonlyPjl, SettingValueKind::Boolean, true},
        {SettingName::ForcedPostscriptRasterConversion, SettingValueKind::Boolean, true},
        {SettingName::TagBorderOffset, SettingValueKind::Integer, true},
        {SettingName::XLSInsertionMode, SettingValueKind::Integer, true},
        {SettingName::InsertOnBlankPage, SettingValueKind::Boolean, true},
        {SettingName::ReleaserOffline, SettingValueKind::Boolean, true},
        {SettingName::ShowCostReleaserPrint, SettingValueKind::Boolean, true},
        {SettingName::ForceMonoConversion, SettingValueKind::Boolean, true},
        {SettingName::ForceDuplexConversion, SettingValueKind::Boolean, true},
        {SettingName::ForceSecurity, SettingValueKind::Boolean, true},
        {SettingName::SNMPQueryInterval, SettingValueKind::Integer, true},
        {SettingName::SecurePrintMonitorTime, SettingValueKind::Integer, true},
        {SettingName::NPLBackup, SettingValueKind::Boolean, true},
        {SettingName::DisableParser, SettingValueKind::Boolean, true},
        {SettingName::EnableCopyInfo, SettingValueKind::Boolean, true},
        {SettingName::MaxTimeAnalyzeFile, SettingValueKind::Integer, true},
        {SettingName::DisableBiDirectional, SettingValueKind::Boolean, true},
        {SettingName::EnablePasswordRemember, SettingValueKind::Boolean, true},
        {SettingName::WorkFolder, SettingValueKind::Text, true},
        {SettingName::EnableSecurePrint, SettingValueKind::Boolean, true},
        {SettingName::EnableRetainOrPrint, SettingValueKind::Boolean, true},
        {SettingName::ReleaserAddress, SettingValueKind::Address, true},
        {SettingName::ContingencyPrinterCache, SettingValueKind::Integer, true},
        {SettingName::EnableAuditing, SettingValueKind::Boolean, false},
        {SettingName::AuditingFolder, SettingValueKind::Text, false},
    }};

    for (const CatalogueRow& row : rows) {
        SettingMapping mapping;
        mapping.kind = row.kind;
        // EnableAuditing has no description key in the translation files.
        if (row.name != SettingName::EnableAuditing) {
            mapping.description = Globalize::Translate(
                QString::fromStdString(row.name + DescriptionSuffix)).toStdString();
        }
        mapping.suggested = row.suggested;
        ProcessSettingsMap.insert_or_assign(row.name, std::move(mapping));
    }
    LogSettingsMapped();
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

bool EqualsIgnoringAsciiCase(const std::string& left, const std::string& right)
{
    return left.size() == right.size()
        && std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b) { return AsciiUpper(a) == AsciiUpper(b); });
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
