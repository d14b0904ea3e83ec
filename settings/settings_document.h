#pragma once

#include <nlohmann/json.hpp>

#include <ios>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The document's rows by name, in byte-wise order: what the table shows.
using SettingsRows = std::map<std::string, std::string>;

// A settings document in insertion order, as the export writes it; null until the
// first Set. The command-line tool composes files with it.
class SettingsDocument {
public:
    // Adds the setting or replaces its value; "1"/"0" of a Boolean setting are
    // stored as "true"/"false". A new name goes to the end, a known one keeps its place.
    void Set(const std::string& name, const std::string& value);

    // Replaces the whole document by the settings, in their order, with their values
    // exactly as given (an opened file is written back unchanged). The required
    // settings, which the document always holds, come first at their defaults when
    // they lack them.
    void Replace(const std::vector<std::pair<std::string, std::string>>& settings);

    const nlohmann::ordered_json& Json() const { return json_; }

private:
    nlohmann::ordered_json json_;
};

// The program's document in insertion order: what the export writes. Null until
// the first SetSettingValue. The functions below change it together with the
// main window's rows, as SettingsDocument's own functions change its JSON.
extern nlohmann::ordered_json SettingsJson;

void SetSettingValue(SettingsRows& rows, const std::string& name, const std::string& value);
void RemoveSetting(SettingsRows& rows, const std::string& name);
void ReplaceSettings(SettingsRows& rows, const std::vector<std::pair<std::string, std::string>>& settings);

// Thrown when the target file cannot be opened. Its message reads the same with
// every standard library, which word the stream error category differently, and
// ends with the cause: the system's reason and the path.
class SaveFileOpenError : public std::ios_base::failure {
public:
    SaveFileOpenError(const std::string& context, const std::string& cause);
    const char* what() const noexcept override;

private:
    std::string message_;
};

// The exact text the export writes: 4-blank indentation, raw UTF-8, CR LF line
// ends including a final one.
std::string SerializeSettings(const nlohmann::ordered_json& json);

// Writes the document to the file as WriteWholeFile does: a regular file is
// replaced only once every byte has been written, so that an earlier one stays
// untouched on any failure; devices, pipes, files with more links or an owner
// that could not be kept are written in place. A document larger than a settings
// file may be (kMaxSettingsFileBytes) is refused before anything is opened.
// Throws SaveFileOpenError when the file cannot be opened (or is a pipe without a
// reader, said in the loaded language) and std::runtime_error "SaveJsonToWFile:
// Cannot write file." when the write does not complete, each followed by
// ": <reason>: <path>", the path quoted and escaped.
void SaveJsonToWFile(const std::wstring& path, const nlohmann::ordered_json& json);

// The same on a thread of its own, while the calling thread's event loop goes on
// painting (user input waits until the write is over), so that a slow disk or a
// pipe never freezes a window; throws what SaveJsonToWFile throws.
void SaveJsonToWFileInBackground(const std::wstring& path, const nlohmann::ordered_json& json);
