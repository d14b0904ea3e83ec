#include "dialogs/open_settings.h"

#include "i18n/globalize.h"
#include "settings/bounded_read.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"
#include "i18n/translation_keys.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
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
    // Filled here rather than by the catalogue, which would replace an argument
    // that happens to be a key (a setting name such as ReleaserAddress) by its text.
    QString text = Globalize::Translate(key);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        text.replace(QLatin1Char('{') + QString::number(i + 1) + QLatin1Char('}'), arguments.at(i));
    }
    return text;
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

// What the notice says of a member's problems: the editor's texts where the rule
// is the editor's, texts of its own for the rest. A member whose only problem is
// its letter case was loaded under the catalogue's spelling.
QString ProblemText(const std::vector<const Problem*>& problems)
{
    QStringList texts;
    for (const Problem* problem : problems) {
        switch (problem->kind) {
        case ProblemKind::NameCase:
            break;
        case ProblemKind::NonStringValue:
            texts << Text(TranslationKey::ValueNotText);
            break;
        default:
            texts << FromUtf8(problem->message);
            break;
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
            row.value = FromUtf8(content.members[member].value);
        }
    }
    row.problem = ProblemText(same);
    for (const Problem* each : same) {
        if (!each->detail.empty()) {
            row.detail += (row.detail.isEmpty() ? QString() : QStringLiteral("\n")) + FromUtf8(each->detail);
        }
    }
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
