#include "tools/check/settings_schema.h"

#include "i18n/globalize.h"
#include "i18n/translation_keys.h"

#include <stdexcept>

std::string SchemaPattern(const SettingValueRule& rule)
{
    const std::string source = rule.pattern.toStdString();
    if (source.empty()) {
        return {};
    }
    std::string body;
    bool inClass = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '\\' && i + 1 < source.size()) {
            const char escaped = source[++i];
            // Python's \d also takes other scripts' digits; the program's does not.
            if (escaped == 'd') {
                body += inClass ? "0-9" : "[0-9]";
            } else {
                body += {c, escaped};
            }
            continue;
        }
        if (c == '[') {
            inClass = true;
        } else if (c == ']') {
            inClass = false;
        }
        body += c;
    }
    // Python's "$" also matches before a final line feed, which the program refuses.
    return "^(?:" + body + ")$(?!\\n)";
}

nlohmann::ordered_json SettingsSchema(const SettingsMap& catalogue)
{
    using Json = nlohmann::ordered_json;
    Json properties = Json::object();
    Json required = Json::array();
    for (const auto& [name, mapping] : catalogue) {
        Json property = Json::object();
        if (!mapping.description.empty()) {
            property["description"] = mapping.description;
        }
        property["type"] = "string";
        // The editor refuses an empty value for every setting.
        property["minLength"] = 1;
        const std::string pattern = SchemaPattern(ValueRuleOf(mapping));
        if (!pattern.empty()) {
            property["pattern"] = pattern;
        }
        if (mapping.required) {
            property["default"] = mapping.defaultValue;
            required.push_back(name);
        }
        if (mapping.kind == SettingValueKind::Boolean) {
            property["examples"] = Json::array({"true", "false"});
        }
        properties[name] = std::move(property);
    }

    Json schema = Json::object();
    schema["$schema"] = "https://json-schema.org/draft/2020-12/schema";
    schema["title"] = Globalize::Translate(TranslationKey::SilentInstallHelperTitle).toStdString();
    schema["description"] =
        "Settings file of an unattended Orvane Print Agent installation: one string member per setting.";
    schema["type"] = "object";
    schema["properties"] = std::move(properties);
    schema["required"] = std::move(required);
    schema["additionalProperties"] = false;
    return schema;
}
