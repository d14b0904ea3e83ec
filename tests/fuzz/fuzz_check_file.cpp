// `validate` on arbitrary bytes, as text and as JSON, and the program's reading of
// them: they agree; every text line belongs to the file; neither output holds a
// raw control, format, line or paragraph separator or bidirectional character
// (but the line ends of the layout); a file without problems loads with
// HostAddress and valid values.
#include "tools/check/check_tool.h"
#include "i18n/globalize.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"
#include "settings/value_validation.h"

#include <nlohmann/json.hpp>

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

int Validate(std::vector<std::string> arguments, const std::string& input, std::string& output)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    arguments.insert(arguments.end(), {"validate", "-"});
    const int code = RunCheckTool(arguments, in, out, err);
    output = out.str();
    if (!err.str().empty() || (code != CheckExit::Valid && code != CheckExit::Problems)) {
        std::abort(); // a readable input is never a usage or I/O error
    }
    return code;
}

// Whether the output shows every character that hides, reorders or breaks text as
// an escape: none of Cc (but line feeds), Cf, Zl or Zp is left raw.
bool AllVisible(const std::string& output)
{
    const std::u32string characters = QString::fromStdString(output).toStdU32String();
    for (const char32_t c : characters) {
        switch (QChar::category(c)) {
        case QChar::Other_Control:
            if (c != '\n') {
                return false;
            }
            break;
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Globalize::LoadLanguage(DefaultLocaleId);
    SettingsDataMapper();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string text;
    const int code = Validate({}, input, text);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos || rest.compare(0, 9, "<stdin>: ") != 0) {
            std::abort();
        }
        for (const char c : rest.substr(0, end)) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                std::abort();
            }
        }
        rest.remove_prefix(end + 1);
    }
    const bool valid = code == CheckExit::Valid;
    std::string json;
    const int jsonCode = Validate({"--json"}, input, json);
    if (!AllVisible(text) || !AllVisible(json)) {
        std::abort();
    }
    const auto report = nlohmann::json::parse(json, nullptr, false);
    const SettingsFileContent content = ReadSettingsText(SettingsCatalogue(), input);
    if (valid != (text == "<stdin>: valid\n") || jsonCode != code || report.is_discarded()
        || report.at("valid").get<bool>() != valid || content.problems.empty() != valid) {
        std::abort();
    }
    bool host = false;
    for (const auto& [name, value] : content.valid) {
        host = host || name == "HostAddress";
        if (valid && IsSettingValueInvalid(SettingsCatalogue(), name, QString::fromStdString(value))) {
            std::abort();
        }
    }
    if (valid && !host) {
        std::abort();
    }
    return 0;
}
