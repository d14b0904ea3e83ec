#include "settings/report_text.h"

#include <QChar>
#include <QString>

#include <algorithm>

namespace {

// A byte that is not part of UTF-8 text, as a unit: this plus the byte, beyond
// every code point.
constexpr char32_t InvalidByte = 0x110000;

// Length of the UTF-8 sequence starting at `text[i]`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

char32_t DecodeUtf8(std::string_view sequence)
{
    const auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(sequence[k])); };
    switch (sequence.size()) {
    case 1:
        return byte(0);
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
    }
}

// The first `limit` units of UTF-8 text: its code points, and each byte that is
// not UTF-8 as InvalidByte plus the byte. `complete` tells whether that was all.
std::u32string Units(std::string_view text, std::size_t limit, bool* complete = nullptr)
{
    std::u32string units;
    std::size_t i = 0;
    while (i < text.size() && units.size() < limit) {
        const std::size_t length = Utf8SequenceLength(text, i);
        units += length == 0 ? InvalidByte + static_cast<unsigned char>(text[i]) : DecodeUtf8(text.substr(i, length));
        i += length == 0 ? 1 : length;
    }
    if (complete != nullptr) {
        *complete = i == text.size();
    }
    return units;
}

// The same of UTF-16 text; a lone surrogate stays a unit of its own.
std::u32string Units(const QString& text)
{
    std::u32string units;
    units.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            units += QChar::surrogateToUcs4(c, text.at(++i).unicode());
        } else {
            units += c;
        }
    }
    return units;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
}

// Characters that no reader can see as what they are: invisible ones (format
// characters such as U+200B, U+00AD, U+FEFF and the bidirectional marks and
// overrides, variation selectors, fillers), ones that move or break the text
// around them (controls, line and paragraph separators), blanks other than the
// space, and ones a font cannot tell apart (unassigned, private use, surrogates).
bool MadeVisible(char32_t unit)
{
    if (unit >= 0x20 && unit < 0x7F) {
        return false;
    }
    if (unit >= InvalidByte) {
        return true;
    }
    switch (QChar::category(unit)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return unit != ' ';
    default:
        // The default-ignorable characters outside the categories above.
        return unit == 0x034F || unit == 0x115F || unit == 0x1160 || unit == 0x17B4 || unit == 0x17B5
            || (unit >= 0x180B && unit <= 0x180F) || unit == 0x3164 || (unit >= 0xFE00 && unit <= 0xFE0F)
            || unit == 0xFFA0 || (unit >= 0xE0000 && unit <= 0xE0FFF);
    }
}

void AppendHex(char32_t value, int digits, std::string& out)
{
    static const char* const Hex = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += Hex[(value >> shift) & 0xF];
    }
}

// \x1b for an ASCII control or a byte that is not UTF-8, \u200b, \U000e0001.
void AppendEscape(char32_t unit, std::string& out)
{
    if (unit >= InvalidByte || unit < 0x80) {
        out += "\\x";
        AppendHex(unit >= InvalidByte ? unit - InvalidByte : unit, 2, out);
    } else if (unit <= 0xFFFF) {
        out += "\\u";
        AppendHex(unit, 4, out);
    } else {
        out += "\\U";
        AppendHex(unit, 8, out);
    }
}

// The two-character escapes of a quoted message, and with `json` those JSON adds;
// false when the character has none.
bool AppendShortEscape(char32_t unit, bool json, std::string& out)
{
    switch (unit) {
    case '"':
    case '\\':
        out += {'\\', static_cast<char>(unit)};
        return true;
    case '\n':
        out += "\\n";
        return true;
    case '\r':
        out += "\\r";
        return true;
    case '\t':
        out += "\\t";
        return true;
    case '\b':
    case '\f':
        if (json) {
            out += unit == '\b' ? "\\b" : "\\f";
        }
        return json;
    default:
        return false;
    }
}

bool IsLowerHex(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Whether the units from `i` read as the rest of an escape: x and two hex
// digits, u and four, U and eight.
bool ReadsAsEscape(const std::u32string& units, std::size_t i)
{
    const std::size_t digits = units[i] == 'x' ? 2 : units[i] == 'u' ? 4 : units[i] == 'U' ? 8 : 0;
    if (digits == 0 || i + digits >= units.size()) {
        return false;
    }
    for (std::size_t k = i + 1; k <= i + digits; ++k) {
        if (!IsLowerHex(units[k])) {
            return false;
        }
    }
    return true;
}

std::string VisibleUnits(const std::u32string& units)
{
    std::string shown;
    for (std::size_t i = 0; i < units.size();) {
        if (units[i] == '\\') {
            // Backslashes are doubled only before what would read as an escape, so
            // that a folder path keeps its look and the text stays unambiguous.
            std::size_t end = i;
            while (end < units.size() && units[end] == '\\') {
                ++end;
            }
            const bool doubled = end < units.size() && (MadeVisible(units[end]) || ReadsAsEscape(units, end));
            shown.append((end - i) * (doubled ? 2 : 1), '\\');
            i = end;
            continue;
        }
        if (MadeVisible(units[i])) {
            AppendEscape(units[i], shown);
        } else {
            AppendUtf8(units[i], shown);
        }
        ++i;
    }
    return shown;
}

// Printable ASCII without quote or backslash: the same in every form.
bool IsPlainAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
}

} // namespace

const char* ProblemCode(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::MalformedJson:
        return "malformed-json";
    case ProblemKind::NotUtf8:
        return "not-utf8";
    case ProblemKind::NotAnObject:
        return "not-an-object";
    case ProblemKind::EmptyNameAndValue:
        return "empty-name-and-value";
    case ProblemKind::EmptyName:
        return "empty-name";
    case ProblemKind::EmptyValue:
        return "empty-value";
    case ProblemKind::DuplicateName:
        return "duplicate-name";
    case ProblemKind::UnknownName:
        return "unknown-name";
    case ProblemKind::NameCase:
        return "name-case";
    case ProblemKind::NonStringValue:
        return "non-string-value";
    case ProblemKind::InvalidValue:
        return "invalid-value";
    case ProblemKind::MissingRequiredSetting:
        // Named when HostAddress was the only required setting; pipelines match it.
        return "missing-host-address";
    case ProblemKind::TooLarge:
        return "too-large";
    }
    return "unknown";
}

std::size_t Utf8PrefixLength(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = static_cast<unsigned char>(text[i]) < 0x80 ? 1 : Utf8SequenceLength(text, i);
        if (length == 0) {
            break;
        }
        i += length;
    }
    return i;
}

std::string VisibleText(std::string_view text)
{
    if (IsPlainAscii(text)) {
        return std::string(text);
    }
    return VisibleUnits(Units(text, std::string_view::npos));
}

QString VisibleText(const QString& text)
{
    return QString::fromStdString(VisibleUnits(Units(text)));
}

std::string QuotedText(std::string_view text, std::size_t maxCharacters)
{
    // Most names and values need no escape.
    if (text.size() <= maxCharacters && IsPlainAscii(text)) {
        std::string quoted;
        quoted.reserve(text.size() + 2);
        quoted += '"';
        quoted += text;
        quoted += '"';
        return quoted;
    }
    bool complete = true;
    const std::u32string units = Units(text, maxCharacters, &complete);
    std::string quoted = "\"";
    for (const char32_t unit : units) {
        if (AppendShortEscape(unit, false, quoted)) {
            continue;
        }
        if (MadeVisible(unit)) {
            AppendEscape(unit, quoted);
        } else {
            AppendUtf8(unit, quoted);
        }
    }
    return quoted + (complete ? "\"" : "\"\xE2\x80\xA6");
}

std::string QuotedList(const std::vector<std::string>& texts)
{
    std::string list;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            list += i + 1 == texts.size() ? " or " : ", ";
        }
        list += QuotedText(texts[i]);
    }
    return list;
}

void AppendJsonText(std::string_view text, std::string& out)
{
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        // Printable ASCII but for quote and backslash goes as it is, in one piece.
        std::size_t plain = i;
        while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F && text[plain] != '"'
               && text[plain] != '\\') {
            ++plain;
        }
        if (plain > i) {
            out.append(text.substr(i, plain - i));
            i = plain;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        const char32_t unit = length == 0 ? char32_t(QChar::ReplacementCharacter) : DecodeUtf8(text.substr(i, length));
        i += length == 0 ? 1 : length;
        if (AppendShortEscape(unit, true, out)) {
            continue;
        }
        if (!MadeVisible(unit)) {
            AppendUtf8(unit, out);
        } else if (unit <= 0xFFFF) {
            out += "\\u";
            AppendHex(unit, 4, out);
        } else {
            // Beyond the first plane, JSON escapes a character as its UTF-16 pair.
            out += "\\u";
            AppendHex(QChar::highSurrogate(unit), 4, out);
            out += "\\u";
            AppendHex(QChar::lowSurrogate(unit), 4, out);
        }
    }
    out += '"';
}
