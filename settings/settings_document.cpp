#include "settings/settings_document.h"

#include "i18n/globalize.h"
#include "i18n/translation_keys.h"
#include "settings/file_write.h"
#include "settings/setting_names.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QThread>

#include <algorithm>
#include <exception>
#include <functional>
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

// The document's operations on a pair of rows and JSON, for SettingsDocument's
// own pair and for the program's rows with SettingsJson.
void SetIn(SettingsRows& rows, nlohmann::ordered_json& json, const std::string& name, const std::string& value)
{
    const std::string stored = StoredValue(name, value);
    rows.insert_or_assign(name, stored);
    if (json.is_null()) {
        json = nlohmann::ordered_json::object();
    }
    json[name] = stored;
}

void RemoveFrom(SettingsRows& rows, nlohmann::ordered_json& json, const std::string& name)
{
    rows.erase(name);
    if (json.is_object()) {
        json.erase(name);
    }
}

void ReplaceIn(SettingsRows& rows, nlohmann::ordered_json& json,
               const std::vector<std::pair<std::string, std::string>>& settings)
{
    rows.clear();
    json = nlohmann::ordered_json::object();
    const bool hasHostAddress = std::any_of(settings.begin(), settings.end(), [](const auto& setting) {
        return setting.first == SettingName::HostAddress;
    });
    if (!hasHostAddress) {
        rows.insert_or_assign(SettingName::HostAddress, DefaultHostAddress);
        json[SettingName::HostAddress] = DefaultHostAddress;
    }
    for (const auto& [name, value] : settings) {
        rows.insert_or_assign(name, value);
        json[name] = value;
    }
}

// Runs one function on a thread of its own (QThread::create needs std::future,
// which not every Windows tool chain has).
class WorkerThread : public QThread {
public:
    explicit WorkerThread(std::function<void()> work)
        : work_(std::move(work))
    {
    }

protected:
    void run() override { work_(); }

private:
    std::function<void()> work_;
};

} // namespace

void SettingsDocument::Set(const std::string& name, const std::string& value)
{
    SetIn(rows_, json_, name, value);
}

void SettingsDocument::Remove(const std::string& name)
{
    RemoveFrom(rows_, json_, name);
}

void SettingsDocument::Replace(const std::vector<std::pair<std::string, std::string>>& settings)
{
    ReplaceIn(rows_, json_, settings);
}

void SetSettingValue(SettingsRows& rows, const std::string& name, const std::string& value)
{
    SetIn(rows, SettingsJson, name, value);
}

void RemoveSetting(SettingsRows& rows, const std::string& name)
{
    RemoveFrom(rows, SettingsJson, name);
}

void ReplaceSettings(SettingsRows& rows, const std::vector<std::pair<std::string, std::string>>& settings)
{
    ReplaceIn(rows, SettingsJson, settings);
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
        throw std::runtime_error("SaveJsonToWFile: Cannot write file.: " + cause("Larger than "
            + std::to_string(kMaxSettingsFileBytes / (1024 * 1024)) + " MiB, the limit for a settings file"));
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
    std::exception_ptr failure;
    WorkerThread writer([&] {
        try {
            SaveJsonToWFile(path, document);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    QObject::connect(&writer, &QThread::finished, &loop, &QEventLoop::quit);
    writer.start();
    // Paints and timers go on; the user's input waits until the write is over.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    writer.wait();
    if (failure) {
        std::rethrow_exception(failure);
    }
}
