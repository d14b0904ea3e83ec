#include "settings/settings_document.h"

#include "i18n/globalize.h"
#include "i18n/translation_keys.h"
#include "settings/file_write.h"
#include "settings/settings_catalogue.h"
#include "settings/bounded_read.h"
#include "settings/report_text.h"
#include "settings/background_work.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <stdexcept>
#include <utility>

nlohmann::ordered_json SettingsJson;

namespace {

const std::string TrueText = "true";
const std::string FalseText = "false";

std::string StoredValue(const std::string& name, const std::string& value)
{
    const SettingsMap& catalogue = SettingsCatalogue();
    const auto entry = FindSetting(catalogue, name);
    // A name the catalogue does not know keeps its value unchanged.
    if (entry == catalogue.end() || entry->second.kind != SettingValueKind::Boolean) {
        return value;
    }
    if (value == "1") {
        return TrueText;
    }
    if (value == "0") {
        return FalseText;
    }
    return value;
}

// Adds the setting or replaces its value: a new name goes to the end, a known
// one keeps its place.
void SetIn(nlohmann::ordered_json& json, const std::string& name, const std::string& stored)
{
    if (json.is_null()) {
        json = nlohmann::ordered_json::object();
    }
    json[name] = stored;
}

// The settings as Replace stores them: the required settings they lack first, at
// their defaults, then the settings in their order.
std::vector<std::pair<std::string, std::string>>
WithRequiredSettings(const std::vector<std::pair<std::string, std::string>>& settings)
{
    std::vector<std::pair<std::string, std::string>> all;
    for (const RequiredSetting& required : RequiredSettings()) {
        const bool present = std::any_of(settings.begin(), settings.end(),
                                         [&](const auto& setting) { return setting.first == required.name; });
        if (!present) {
            all.emplace_back(required.name, required.defaultValue);
        }
    }
    all.insert(all.end(), settings.begin(), settings.end());
    return all;
}

nlohmann::ordered_json JsonOf(const std::vector<std::pair<std::string, std::string>>& settings)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [name, value] : settings) {
        json[name] = value;
    }
    return json;
}

} // namespace

void SettingsDocument::Set(const std::string& name, const std::string& value)
{
    SetIn(json_, name, StoredValue(name, value));
}

void SettingsDocument::Replace(const std::vector<std::pair<std::string, std::string>>& settings)
{
    json_ = JsonOf(WithRequiredSettings(settings));
}

void SetSettingValue(SettingsRows& rows, const std::string& name, const std::string& value)
{
    const std::string stored = StoredValue(name, value);
    rows.insert_or_assign(name, stored);
    SetIn(SettingsJson, name, stored);
}

void RemoveSetting(SettingsRows& rows, const std::string& name)
{
    rows.erase(name);
    if (SettingsJson.is_object()) {
        SettingsJson.erase(name);
    }
}

void ReplaceSettings(SettingsRows& rows, const std::vector<std::pair<std::string, std::string>>& settings)
{
    const std::vector<std::pair<std::string, std::string>> all = WithRequiredSettings(settings);
    rows.clear();
    for (const auto& [name, value] : all) {
        rows.insert_or_assign(name, value);
    }
    SettingsJson = JsonOf(all);
}

SaveFileOpenError::SaveFileOpenError(const std::string& context, const std::string& cause)
    : std::ios_base::failure(context, std::io_errc::stream)
    , message_(context + ": iostream stream error: " + cause)
{
}

const char* SaveFileOpenError::what() const noexcept
{
    return message_.c_str();
}

std::string SerializeSettings(const nlohmann::ordered_json& json)
{
    std::string text;
    try {
        text = json.dump(4, ' ', false, nlohmann::ordered_json::error_handler_t::strict);
    } catch (const nlohmann::ordered_json::exception& error) {
        // Callers report runtime errors to the user; the library's own type is not one.
        throw std::runtime_error(std::string("SaveJsonToWFile: Cannot serialise settings: ") + error.what());
    }
    std::string result;
    result.reserve(text.size() + text.size() / 16 + 2);
    // Escapes keep line feeds out of strings, so every one here is a line end.
    for (const char c : text) {
        if (c == '\n') {
            result += '\r';
        }
        result += c;
    }
    result += "\r\n";
    return result;
}

void SaveJsonToWFile(const std::wstring& path, const nlohmann::ordered_json& json)
{
    const std::string text = SerializeSettings(json);
    const QString filePath = QString::fromStdWString(path);
#ifdef _WIN32
    const std::string shownPath = QDir::toNativeSeparators(filePath).toStdString();
#else
    const std::string shownPath = QFile::encodeName(filePath).toStdString();
#endif
    // Which file, escaped as every path in a message is, after the reason.
    auto cause = [&](const std::string& reason) { return reason + ": " + QuotedText(shownPath, std::string::npos); };
    // What could not be read back is not written.
    if (text.size() > kMaxSettingsFileBytes) {
        throw std::runtime_error("SaveJsonToWFile: Cannot write file.: "
                                 + cause("Larger than " + std::to_string(kMaxSettingsFileBytes / (1024 * 1024))
                                         + " MiB, the limit for a settings file"));
    }
#ifdef _WIN32
    const FileWriteResult result = WriteWholeFile(path, text);
#else
    const FileWriteResult result = WriteWholeFile(shownPath, text);
#endif
    switch (result.outcome) {
    case FileWriteResult::Outcome::Written:
        return;
    case FileWriteResult::Outcome::NotOpened:
        throw SaveFileOpenError("SaveJsonToWFile: Cannot open file.", cause(result.reason));
    case FileWriteResult::Outcome::NoReader:
        throw SaveFileOpenError("SaveJsonToWFile: Cannot open file.",
                                cause(Globalize::Translate(TranslationKey::PipeWithoutReader).toStdString()));
    case FileWriteResult::Outcome::NotWritten:
        break;
    }
    throw std::runtime_error("SaveJsonToWFile: Cannot write file.: " + cause(result.reason));
}

void SaveJsonToWFileInBackground(const std::wstring& path, const nlohmann::ordered_json& json)
{
    // A copy: the document may change while the write runs.
    const nlohmann::ordered_json document = json;
    RunInBackground([&] { SaveJsonToWFile(path, document); });
}
