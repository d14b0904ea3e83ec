// Arbitrary sequences of SetSettingValue and RemoveSetting, then the file's text:
// it must parse back to exactly the document's names and values in insertion
// order, HostAddress first, and agree with the table's rows.
#include "i18n/globalize.h"
#include "settings/setting_names.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> Names;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t byte() { return size > 0 ? (--size, *data++) : 0; }
    // A length-prefixed text, decoded the way the interface hands texts over.
    std::string text()
    {
        const std::size_t length = std::min<std::size_t>(byte(), size);
        const QString decoded = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        data += length;
        size -= length;
        return decoded.toStdString();
    }
};

// What the document must hold for a value given to SetSettingValue: a Boolean's
// 1 and 0 become true and false, its name found in any letter case.
std::string Stored(const std::string& name, const std::string& value)
{
    const auto entry = FindSetting(SettingsCatalogue(), name);
    if (entry == SettingsCatalogue().end() || entry->second.kind != SettingValueKind::Boolean) {
        return value;
    }
    return value == "1" ? "true" : value == "0" ? "false" : value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Globalize::LoadLanguage(DefaultLocaleId);
    SettingsDataMapper();
    for (const auto& entry : SettingsCatalogue()) {
        Names.push_back(entry.first);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    SettingsRows rows;
    SettingsJson = nullptr;
    std::vector<std::pair<std::string, std::string>> expected;
    const auto find = [&](const std::string& name) {
        return std::find_if(expected.begin(), expected.end(), [&](const auto& e) { return e.first == name; });
    };
    const auto set = [&](const std::string& name, const std::string& value) {
        SetSettingValue(rows, name, value);
        if (const auto found = find(name); found != expected.end()) {
            found->second = Stored(name, value);
        } else {
            expected.emplace_back(name, Stored(name, value));
        }
    };
    set(SettingName::HostAddress, "https://127.0.0.1:56569");

    while (in.size > 0) {
        const std::uint8_t op = in.byte();
        const std::string& known = Names[in.byte() % Names.size()];
        switch (op % 4) {
        case 0:
        case 1:
            set(known, in.text());
            break;
        case 2:
            if (known != SettingName::HostAddress) {
                RemoveSetting(rows, known);
                if (const auto found = find(known); found != expected.end()) {
                    expected.erase(found);
                }
            }
            break;
        default: {
            // Read in sequence: an input must mean the same whatever order the compiler
            // evaluates arguments in.
            const std::string name = in.text();
            set(name, in.text());
            break;
        }
        }
    }

    const std::string text = SerializeSettings(SettingsJson);
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
        std::abort();
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            std::abort(); // every line end is CR LF
        }
    }
    const auto parsed = nlohmann::ordered_json::parse(text);
    std::vector<std::pair<std::string, std::string>> actual;
    for (const auto& item : parsed.items()) {
        actual.emplace_back(item.key(), item.value().get<std::string>());
    }
    if (actual != expected || actual.front().first != SettingName::HostAddress
        || rows != SettingsRows(expected.begin(), expected.end())) {
        std::abort();
    }
    return 0;
}
