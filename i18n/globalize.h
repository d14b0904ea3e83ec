#pragma once

#include <QString>
#include <cstdint>
#include <string>

// Windows locale identifiers select the translation file.
inline constexpr std::int32_t DefaultLocaleId = 1033;

namespace Globalize {

// Loads the translation file of the locale (unknown ids load en-US).
void LoadLanguage(const std::int32_t& localeId);

// Reads ":/translations/<fileName>" against the key file into the catalogue, then
// ":/translations/supplement/<fileName>" against its own key file when it exists.
// Entries are added or replaced, never cleared. Throws std::runtime_error
// "Translation file not found" when either file cannot be opened.
void LoadTranslationFile(const std::string& fileName);

// Text of a key in the loaded language. Accepts a leading "@@" and arguments
// written as ,'arg' after the key; an unknown key comes back unchanged.
// Throws std::runtime_error "Globalize: Resources map is empty." before any load.
QString Translate(const QString& key);

// File name of the locale ("en-US.txt" for unknown ids).
std::string LocaleFileName(const std::int32_t& localeId);

} // namespace Globalize
