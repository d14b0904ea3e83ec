#pragma once

#include <QString>

// Translation keys the interface looks up; each value is the key's own name.
namespace TranslationKey {
inline const QString Add = QStringLiteral("Add");
inline const QString Edit = QStringLiteral("Edit");
inline const QString Exclude = QStringLiteral("Exclude");
inline const QString Settings = QStringLiteral("Settings");
inline const QString Export = QStringLiteral("Export");
inline const QString Name = QStringLiteral("Name");
inline const QString Value = QStringLiteral("Value");
inline const QString Description = QStringLiteral("Description");
inline const QString Close = QStringLiteral("Close");
inline const QString Select = QStringLiteral("Select");
inline const QString LanguageSelectorTitle = QStringLiteral("LanguageSelectorTitle");
inline const QString LanguageSelectorInfo = QStringLiteral("LanguageSelectorInfo");
inline const QString SilentInstallHelperTitle = QStringLiteral("SilentInstallHelperTitle");
inline const QString AddSettingTitle = QStringLiteral("AddSettingTitle");
inline const QString AddSettingDescription = QStringLiteral("AddSettingDescription");
inline const QString Insert = QStringLiteral("Insert");
inline const QString Cancel = QStringLiteral("Cancel");
inline const QString EditSettingTitle = QStringLiteral("EditSettingTitle");
inline const QString EditSettingDescription = QStringLiteral("EditSettingDescription");
inline const QString Change = QStringLiteral("Change");
inline const QString AllFieldsAreRequired = QStringLiteral("AllFieldsAreRequired");
inline const QString NameFieldRequired = QStringLiteral("NameFieldRequired");
inline const QString ValueFieldRequired = QStringLiteral("ValueFieldRequired");
inline const QString SettingAlreadyExist = QStringLiteral("SettingAlreadyExist");
inline const QString InvalidSettingName = QStringLiteral("InvalidSettingName");
inline const QString InvalidSettingValue = QStringLiteral("InvalidSettingValue");
inline const QString DeleteSettingTitle = QStringLiteral("DeleteSettingTitle");
inline const QString DeleteSettingDescription = QStringLiteral("DeleteSettingDescription");
inline const QString Confirm = QStringLiteral("Confirm");
inline const QString FileExportedInfo = QStringLiteral("FileExportedInfo");
// Opening a settings file (the supplementary translation set).
inline const QString OpenFileTitle = QStringLiteral("OpenFileTitle");
inline const QString FileProblemsTitle = QStringLiteral("FileProblemsTitle");
inline const QString FileProblemsDescription = QStringLiteral("FileProblemsDescription");
inline const QString FileNotOpenedTitle = QStringLiteral("FileNotOpenedTitle");
inline const QString FileMalformedJson = QStringLiteral("FileMalformedJson");
inline const QString FileNotUtf8 = QStringLiteral("FileNotUtf8");
inline const QString FileTooLarge = QStringLiteral("FileTooLarge");
inline const QString FileNotReadable = QStringLiteral("FileNotReadable");
inline const QString FileNotAnObject = QStringLiteral("FileNotAnObject");
inline const QString Problem = QStringLiteral("Problem");
// Said of any required setting; the key keeps the name it was given for the first.
inline const QString RequiredSettingAdded = QStringLiteral("HostAddressAdded");
inline const QString ValueNotText = QStringLiteral("ValueNotText");
inline const QString NameCaseDiffers = QStringLiteral("NameCaseDiffers");
inline const QString MoreFileProblems = QStringLiteral("MoreFileProblems");
// Asking before changes that were not exported are lost.
inline const QString UnexportedChangesTitle = QStringLiteral("UnexportedChangesTitle");
inline const QString UnexportedChangesDescription = QStringLiteral("UnexportedChangesDescription");
inline const QString DontExport = QStringLiteral("DontExport");
// Exporting to a pipe that no program reads from.
inline const QString PipeWithoutReader = QStringLiteral("PipeWithoutReader");
// The problems notice: what is wrong with an entry of an opened file, and what to do.
inline const QString EntryWithoutName = QStringLiteral("EntryWithoutName");
inline const QString EntryWithoutValue = QStringLiteral("EntryWithoutValue");
inline const QString EntryEmpty = QStringLiteral("EntryEmpty");
inline const QString UnknownSettingName = QStringLiteral("UnknownSettingName");
inline const QString SuggestOneName = QStringLiteral("SuggestOneName");
inline const QString SuggestTwoNames = QStringLiteral("SuggestTwoNames");
inline const QString SuggestThreeNames = QStringLiteral("SuggestThreeNames");
inline const QString DuplicateEntry = QStringLiteral("DuplicateEntry");
inline const QString RuleAddress = QStringLiteral("RuleAddress");
inline const QString RuleInteger = QStringLiteral("RuleInteger");
inline const QString RuleZeroToTwenty = QStringLiteral("RuleZeroToTwenty");
inline const QString RuleDecimal = QStringLiteral("RuleDecimal");
inline const QString RuleBoolean = QStringLiteral("RuleBoolean");
inline const QString ValueIsNumber = QStringLiteral("ValueIsNumber");
inline const QString ValueIsLiteral = QStringLiteral("ValueIsLiteral");
inline const QString ValueIsNull = QStringLiteral("ValueIsNull");
inline const QString ValueIsObject = QStringLiteral("ValueIsObject");
inline const QString ValueIsArray = QStringLiteral("ValueIsArray");
inline const QString ProblemRowAccessible = QStringLiteral("ProblemRowAccessible");
// Opening a pipe, socket or device instead of a settings file.
inline const QString FileNotRegular = QStringLiteral("FileNotRegular");
// A required setting the file holds with a value that was left out.
inline const QString RequiredSettingReplaced = QStringLiteral("RequiredSettingReplaced");
} // namespace TranslationKey
