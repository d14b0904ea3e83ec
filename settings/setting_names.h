#pragma once

#include <string>

// The print agent's setting names, each constant holding the name itself.
namespace SettingName {
inline const std::string HostAddress = "HostAddress";
inline const std::string ForceLocalAuthentication = "ForceLocalAuthentication";
inline const std::string UsePinAuthentication = "UsePinAuthentication";
inline const std::string AuthenticationExceptionList = "AuthenticationExceptionList";
inline const std::string ProfileTimeUpdate = "ProfileTimeUpdate";
inline const std::string DisableCertificateValidation = "DisableCertificateValidation";
inline const std::string LocalSecurePrintExceptionList = "LocalSecurePrintExceptionList";
inline const std::string PopUpExpiration = "PopUpExpiration";
inline const std::string EnableProxy = "EnableProxy";
inline const std::string HttpTimeout = "HttpTimeout";
inline const std::string DisableAccounting = "DisableAccounting";
inline const std::string EnabledDriverList = "EnabledDriverList";
inline const std::string DisabledDriverList = "DisabledDriverList";
inline const std::string SaveSpool = "SaveSpool";
inline const std::string DisableAdvancedPrintingFeatures = "DisableAdvancedPrintingFeatures";
inline const std::string AllowJobTitleChange = "AllowJobTitleChange";
inline const std::string BlockDuplicateJobs = "BlockDuplicateJobs";
inline const std::string EnableGrayscaleAsColor = "EnableGrayscaleAsColor";
inline const std::string ZozadodoTimeout = "ZozadodoTimeout";
inline const std::string DisableLogicAccounting = "DisableLogicAccounting";
inline const std::string DisableZozAdodo = "DisableZozAdodo";
inline const std::string DisableDailyNpl = "DisableDailyNpl";
inline const std::string BlockCopies = "BlockCopies";
inline const std::string DisableLocalUSBCommunication = "DisableLocalUSBCommunication";
inline const std::string DisableDuplexAdjust = "DisableDuplexAdjust";
inline const std::string EliminateLastBlankPage = "EliminateLastBlankPage";
inline const std::string EnableLargePaper = "EnableLargePaper";
inline const std::string ScheduledInventory = "ScheduledInventory";
inline const std::string InventoryFailTimeUpdate = "InventoryFailTimeUpdate";
inline const std::string ForcedOldPCLXLConversion = "ForcedOldPCLXLConversion";
inline const std::string RemoveWhitespaceEnabled = "RemoveWhitespaceEnabled";
inline const std::string EnableForceBlackonlyPjl = "EnableForceBlackonlyPjl";
inline const std::string ForcedPostscriptRasterConversion = "ForcedPostscriptRasterConversion";
inline const std::string TagBorderOffset = "TagBorderOffset";
inline const std::string XLSInsertionMode = "XLSInsertionMode";
inline const std::string InsertOnBlankPage = "InsertOnBlankPage";
inline const std::string ReleaserOffline = "ReleaserOffline";
inline const std::string ShowCostReleaserPrint = "ShowCostReleaserPrint";
inline const std::string ForceMonoConversion = "ForceMonoConversion";
inline const std::string ForceDuplexConversion = "ForceDuplexConversion";
inline const std::string ForceSecurity = "ForceSecurity";
inline const std::string SNMPQueryInterval = "SNMPQueryInterval";
inline const std::string SecurePrintMonitorTime = "SecurePrintMonitorTime";
inline const std::string NPLBackup = "NPLBackup";
inline const std::string DisableParser = "DisableParser";
inline const std::string EnableCopyInfo = "EnableCopyInfo";
inline const std::string MaxTimeAnalyzeFile = "MaxTimeAnalyzeFile";
inline const std::string DisableBiDirectional = "DisableBiDirectional";
inline const std::string EnablePasswordRemember = "EnablePasswordRemember";
inline const std::string WorkFolder = "WorkFolder";
inline const std::string EnableSecurePrint = "EnableSecurePrint";
inline const std::string EnableRetainOrPrint = "EnableRetainOrPrint";
inline const std::string ReleaserAddress = "ReleaserAddress";
inline const std::string ContingencyPrinterCache = "ContingencyPrinterCache";
inline const std::string EnableAuditing = "EnableAuditing";
inline const std::string AuditingFolder = "AuditingFolder";
} // namespace SettingName
