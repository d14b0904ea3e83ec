#include "dialogs/open_settings.h"

#include "i18n/globalize.h"
#include "settings/bounded_read.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"
#include "i18n/translation_keys.h"
#include "dialogs/window_utils.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace {

constexpr std::size_t MaxNoticeLines = 500;

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Text(const QString& key, const QStringList& arguments = {})
{
    return TranslatedText(key, arguments);
}

bool IsUtf8(const std::string& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

QString TooLargeText()
{
    return Text(TranslationKey::FileTooLarge, {QString::number(kMaxSettingsFileBytes / (1024 * 1024))});
}

SettingsFileOpening Refused(const QString& path, const QString& message)
{
    SettingsFileOpening opening;
    opening.noticeTitle = Text(TranslationKey::FileNotOpenedTitle);
    opening.noticeText = QFileInfo(path).fileName() + QLatin1Char('\n') + message;
    return opening;
}

// The sentence that says what is wrong with a member that is not text.
QString NotTextText(MemberType found)
{
    switch (found) {
    case MemberType::Number:
        return Text(TranslationKey::ValueIsNumber);
    case MemberType::Boolean:
        return Text(TranslationKey::ValueIsLiteral);
    case MemberType::Null:
        return Text(TranslationKey::ValueIsNull);
    case MemberType::Object:
        return Text(TranslationKey::ValueIsObject);
    case MemberType::Array:
        return Text(TranslationKey::ValueIsArray);
    case MemberType::String:
        break;
    }
    return {};
}

// "Unknown setting name.", with the nearest names the catalogue has.
QString UnknownNameText(const std::vector<std::string>& suggestions)
{
    QStringList names;
    for (const std::string& name : suggestions) {
        names << FromUtf8(name);
    }
    static const QString* const Suggest[] = {&TranslationKey::SuggestOneName, &TranslationKey::SuggestTwoNames,
                                             &TranslationKey::SuggestThreeNames};
    QString text = Text(TranslationKey::UnknownSettingName);
    if (!names.isEmpty()) {
        text += QLatin1Char(' ') + Text(*Suggest[std::min<std::size_t>(names.size(), std::size(Suggest)) - 1], names);
    }
    return text;
}

// What the notice says of one problem of a member, in the user's language: what
// is wrong with the entry and what it must be. Empty for letter case alone.
QString ProblemText(const Problem& problem)
{
    switch (problem.kind) {
    case ProblemKind::EmptyNameAndValue:
        return Text(TranslationKey::EntryEmpty);
    case ProblemKind::EmptyName:
        return Text(TranslationKey::EntryWithoutName);
    case ProblemKind::EmptyValue:
        return Text(TranslationKey::EntryWithoutValue);
    case ProblemKind::DuplicateName:
        return Text(TranslationKey::DuplicateEntry, {QString::number(problem.firstPosition)});
    case ProblemKind::UnknownName:
        return UnknownNameText(problem.suggestions);
    case ProblemKind::NonStringValue:
        return NotTextText(problem.foundType) + QLatin1Char(' ') + Text(TranslationKey::ValueNotText);
    case ProblemKind::InvalidValue:
        if (problem.rule != nullptr && !problem.rule->messageKey.isEmpty()) {
            return Text(problem.rule->messageKey);
        }
        break;
    case ProblemKind::NameCase:
        return {};
    default:
        break;
    }
    return FromUtf8(problem.message);
}

// What the notice says of a member's problems side by side. A member whose only
// problem is its letter case was loaded under the catalogue's spelling.
QString ProblemText(const std::vector<const Problem*>& problems)
{
    QStringList texts;
    for (const Problem* problem : problems) {
        if (const QString text = ProblemText(*problem); !text.isEmpty()) {
            texts << text;
        }
    }
    if (texts.isEmpty() && !problems.empty()) {
        const SettingsMap& catalogue = SettingsCatalogue();
        const auto entry = FindSetting(catalogue, problems.front()->name);
        if (entry != catalogue.end()) {
            texts << Text(TranslationKey::NameCaseDiffers, {FromUtf8(entry->first)});
        } else {
            texts << FromUtf8(problems.front()->message);
        }
    }
    return texts.join(QLatin1Char(' '));
}

// A value as the notice's value column shows it: a value that is not a string
// as JSON writes it, so that an empty cell means an empty string.
QString ShownValue(const Member& member)
{
    switch (member.type) {
    case MemberType::Null:
        return QStringLiteral("null");
    case MemberType::Object:
        return QStringLiteral("{\u2026}");
    case MemberType::Array:
        return QStringLiteral("[\u2026]");
    default:
        return FromUtf8(member.value);
    }
}

// The file's bytes, or the notice that refuses it: unreadable, too large or not UTF-8.
std::optional<SettingsFileOpening> ReadBytes(const QString& path, std::string& bytes)
{
    FileReadResult read = ReadFileBounded(path);
    if (read.status == FileReadStatus::TooLarge) {
        return Refused(path, TooLargeText());
    }
    if (read.status != FileReadStatus::Read) {
        SettingsFileOpening opening = Refused(path, Text(TranslationKey::FileNotReadable));
        opening.noticeText += QLatin1Char('\n') + FromUtf8(read.error);
        return opening;
    }
    if (!IsUtf8(read.bytes)) {
        return Refused(path, Text(TranslationKey::FileNotUtf8));
    }
    bytes = std::move(read.bytes);
    return std::nullopt;
}

// The notice that refuses a file with a problem of the whole document, if it has one.
std::optional<SettingsFileOpening> RefusedDocument(const QString& path, const SettingsFileContent& content)
{
    for (const Problem& problem : content.problems) {
        switch (problem.kind) {
        case ProblemKind::MalformedJson:
            return Refused(path, Text(TranslationKey::FileMalformedJson,
                                      {QString::number(problem.line), QString::number(problem.column)}));
        case ProblemKind::NotAnObject:
            return Refused(path, Text(TranslationKey::FileNotAnObject));
        case ProblemKind::TooLarge:
            return Refused(path, TooLargeText());
        default:
            break;
        }
    }
    return std::nullopt;
}

// The required settings that loading adds, at their defaults (the document puts
// them first): the file lacks them, or they were left out.
void AddRequiredRows(const SettingsFileContent& content, std::vector<FileProblemRow>& rows)
{
    for (const RequiredSetting& required : RequiredSettings()) {
        const bool loaded = std::any_of(content.valid.begin(), content.valid.end(),
                                        [&](const auto& setting) { return setting.first == required.name; });
        if (!loaded) {
            rows.push_back({FromUtf8(required.name), FromUtf8(required.defaultValue),
                            Text(TranslationKey::RequiredSettingAdded), {}});
        }
    }
}

// The notice's line of the member at the problems that share its position.
FileProblemRow MemberRow(const SettingsFileContent& content, const std::vector<const Problem*>& same)
{
    const Problem& first = *same.front();
    FileProblemRow row;
    if (first.position > 0) {
        const auto member = static_cast<std::size_t>(first.position - 1);
        row.name = FromUtf8(first.name);
        if (member < content.members.size()) {
            row.value = ShownValue(content.members[member]);
        }
    }
    row.problem = ProblemText(same);
    return row;
}

// One line per member of the file, its problems side by side (the reader gives
// them in member order). A notice of many thousand lines helps nobody and takes
// long to build: past the limit the lines are only counted; the check tool lists
// every one.
void AddMemberRows(const SettingsFileContent& content, std::vector<FileProblemRow>& rows)
{
    std::size_t more = 0;
    for (auto problem = content.problems.cbegin(); problem != content.problems.cend();) {
        std::vector<const Problem*> same{&*problem};
        while (++problem != content.problems.cend() && problem->position > 0
               && problem->position == same.front()->position) {
            same.push_back(&*problem);
        }
        // Said by the rows of AddRequiredRows.
        if (same.front()->kind == ProblemKind::MissingRequiredSetting) {
            continue;
        }
        if (rows.size() >= MaxNoticeLines) {
            ++more;
            continue;
        }
        rows.push_back(MemberRow(content, same));
    }
    if (more > 0) {
        rows.push_back({{}, {}, Text(TranslationKey::MoreFileProblems, {QString::number(more)}), {}});
    }
}

} // namespace

SettingsFileOpening ReadSettingsFileToOpen(const QString& path)
{
    std::string bytes;
    if (std::optional<SettingsFileOpening> refused = ReadBytes(path, bytes)) {
        return std::move(*refused);
    }
    const SettingsFileContent content = ReadSettingsText(SettingsCatalogue(), bytes);
    if (std::optional<SettingsFileOpening> refused = RefusedDocument(path, content)) {
        return std::move(*refused);
    }

    SettingsFileOpening opening;
    opening.loadable = true;
    opening.settings = content.valid;
    AddRequiredRows(content, opening.problems);
    AddMemberRows(content, opening.problems);
    if (!opening.problems.empty()) {
        opening.noticeTitle = Text(TranslationKey::FileProblemsTitle);
        opening.noticeText = QFileInfo(path).fileName() + QLatin1Char('\n') + Text(TranslationKey::FileProblemsDescription);
    }
    return opening;
}

void ShowOpeningNotice(QWidget* window, const SettingsFileOpening& opening)
{
    if (opening.noticeTitle.isEmpty()) {
        return;
    }
    new FileProblemsDialog(window, opening.noticeTitle, opening.noticeText, opening.problems);
}
