#include "dialogs/open_settings.h"

#include "i18n/globalize.h"
#include "settings/bounded_read.h"
#include "settings/report_text.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"
#include "i18n/translation_keys.h"
#include "dialogs/window_utils.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace {

constexpr std::size_t MaxNoticeLines = 500;

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Text(const QString& key, const QStringList& arguments = {})
{
    return TranslatedText(key, arguments);
}

QString TooLargeText()
{
    return Text(TranslationKey::FileTooLarge, {QString::number(kMaxSettingsFileBytes / (1024 * 1024))});
}

SettingsFileOpening Refused(const NativePath& path, const QString& message)
{
    SettingsFileOpening opening;
    opening.noticeTitle = Text(TranslationKey::FileNotOpenedTitle);
    opening.noticeText = ShownFileName(path) + QLatin1Char('\n') + message;
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

// The file's bytes, or the notice that refuses it: unreadable, not a regular file
// or too large. Only a regular file is read; a pipe or device is refused before a
// byte is read, so that the window never waits for one.
std::optional<SettingsFileOpening> ReadBytes(const NativePath& path, std::string& bytes)
{
    FileReadResult read = ReadFileBounded(path, FileKinds::RegularOnly);
    switch (read.status) {
    case FileReadStatus::Read:
        bytes = std::move(read.bytes);
        return std::nullopt;
    case FileReadStatus::TooLarge:
        return Refused(path, TooLargeText());
    case FileReadStatus::NotRegular:
        return Refused(path, Text(TranslationKey::FileNotRegular));
    case FileReadStatus::Failed:
        break;
    }
    SettingsFileOpening opening = Refused(path, Text(TranslationKey::FileNotReadable));
    opening.noticeText += QLatin1Char('\n') + VisibleText(FromUtf8(read.error));
    return opening;
}

// The notice that refuses a file with a problem of the whole document, if it has one.
std::optional<SettingsFileOpening> RefusedDocument(const NativePath& path, const Problem& problem)
{
    switch (problem.kind) {
    case ProblemKind::MalformedJson:
        return Refused(path,
                       Text(TranslationKey::FileMalformedJson,
                            {QString::number(problem.line), QString::number(problem.column)}));
    case ProblemKind::NotUtf8:
        return Refused(path, Text(TranslationKey::FileNotUtf8));
    case ProblemKind::NotAnObject:
        return Refused(path, Text(TranslationKey::FileNotAnObject));
    case ProblemKind::TooLarge:
        return Refused(path, TooLargeText());
    default:
        return std::nullopt;
    }
}

// The problems of a file as the notice needs them: those of the members it has
// lines for, in member order, and how many members more have problems. A file may
// have millions; the notice shows a few hundred lines, the check tool lists all.
struct ShownProblems {
    std::optional<Problem> document;           // a problem that refuses the whole file
    std::vector<std::vector<Problem>> members; // the problems of each member with any
    std::size_t more = 0;                      // members with problems beyond those
    int lastPosition = 0;
};

ProblemReport Collect(ShownProblems& shown)
{
    return [&shown](Problem&& problem) {
        if (problem.position == 0) {
            // A missing required setting is said by the required rows.
            if (problem.kind != ProblemKind::MissingRequiredSetting && !shown.document) {
                shown.document = std::move(problem);
            }
            return;
        }
        const bool sameMember = problem.position == shown.lastPosition;
        shown.lastPosition = problem.position;
        if (sameMember && shown.more == 0) {
            shown.members.back().push_back(std::move(problem));
        } else if (!sameMember && shown.members.size() < MaxNoticeLines) {
            shown.members.emplace_back().push_back(std::move(problem));
        } else if (!sameMember) {
            ++shown.more;
        }
    };
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

// Whether the member with these problems has the name, letter case ignored as
// the catalogue ignores it.
bool OfSetting(const std::vector<Problem>& problems, const std::string& name)
{
    return EqualsIgnoringAsciiCase(problems.front().name, name);
}

// The notice's lines: one per required setting that loading adds at its default
// (the document puts it first), then one per member with problems, its problems
// side by side, at most MaxNoticeLines in all and the rest counted. A required
// setting that the file holds with a value that was left out has one line: its
// member's, which also says that the default was added.
std::vector<FileProblemRow> NoticeRows(const SettingsFileContent& content, const ShownProblems& shown)
{
    std::vector<const RequiredSetting*> added;
    for (const RequiredSetting& required : RequiredSettings()) {
        if (std::none_of(content.valid.begin(), content.valid.end(),
                         [&](const auto& setting) { return setting.first == required.name; })) {
            added.push_back(&required);
        }
    }
    // Room is kept for a line of each of them; one whose member has a line uses that.
    const std::size_t members = std::min(shown.members.size(), MaxNoticeLines - added.size());
    const auto shownEnd = shown.members.begin() + static_cast<std::ptrdiff_t>(members);
    std::vector<const RequiredSetting*> ownLine;
    for (const RequiredSetting* required : added) {
        if (std::none_of(shown.members.begin(), shownEnd,
                         [&](const auto& one) { return OfSetting(one, required->name); })) {
            ownLine.push_back(required);
        }
    }

    std::vector<FileProblemRow> rows;
    for (const RequiredSetting* required : ownLine) {
        const bool inFile = std::any_of(content.members.begin(), content.members.end(), [&](const Member& member) {
            return EqualsIgnoringAsciiCase(member.name, required->name);
        });
        rows.push_back({FromUtf8(required->name), FromUtf8(required->defaultValue),
                        inFile ? Text(TranslationKey::RequiredSettingReplaced, {FromUtf8(required->defaultValue)})
                               : Text(TranslationKey::RequiredSettingAdded)});
    }
    std::vector<bool> noted(added.size());
    for (std::size_t index = 0; index < members; ++index) {
        const std::vector<Problem>& problems = shown.members[index];
        std::vector<const Problem*> same;
        for (const Problem& problem : problems) {
            same.push_back(&problem);
        }
        FileProblemRow row = MemberRow(content, same);
        for (std::size_t k = 0; k < added.size(); ++k) {
            if (!noted[k] && OfSetting(problems, added[k]->name)) {
                noted[k] = true;
                row.problem += QLatin1Char(' ')
                    + Text(TranslationKey::RequiredSettingReplaced, {FromUtf8(added[k]->defaultValue)});
            }
        }
        rows.push_back(std::move(row));
    }
    const std::size_t more = shown.more + shown.members.size() - members;
    if (more > 0) {
        rows.push_back({{}, {}, Text(TranslationKey::MoreFileProblems, {QString::number(more)})});
    }
    return rows;
}

} // namespace

SettingsFileOpening ReadSettingsFileToOpen(const NativePath& path)
{
    std::string bytes;
    if (std::optional<SettingsFileOpening> refused = ReadBytes(path, bytes)) {
        return std::move(*refused);
    }
    ShownProblems shown;
    const SettingsFileContent content = ReadSettingsText(SettingsCatalogue(), bytes, Collect(shown));
    if (shown.document) {
        if (std::optional<SettingsFileOpening> refused = RefusedDocument(path, *shown.document)) {
            return std::move(*refused);
        }
    }

    SettingsFileOpening opening;
    opening.loadable = true;
    opening.settings = content.valid;
    opening.problems = NoticeRows(content, shown);
    if (!opening.problems.empty()) {
        opening.noticeTitle = Text(TranslationKey::FileProblemsTitle);
        opening.noticeText = ShownFileName(path) + QLatin1Char('\n') + Text(TranslationKey::FileProblemsDescription);
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
