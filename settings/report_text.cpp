#include "settings/report_text.h"

namespace {

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

// Characters that change how the text around them is shown: C1 controls, line and
// paragraph separators, and the marks and overrides of bidirectional text.
bool HidesText(char32_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

const char* ProblemCode(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::MalformedJson:
        return "malformed-json";
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

std::string QuotedText(std::string_view text, std::size_t maxCharacters)
{
    static const char* const Hex = "0123456789abcdef";
    std::string quoted = "\"";
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (characters == maxCharacters) {
            return quoted + "\"\xE2\x80\xA6";
        }
        ++characters;
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceLength(text, i);
        const char32_t c = length > 0 ? DecodeUtf8(text.substr(i, length)) : 0;
        if (length == 0 || c < 0x20 || c == 0x7F) {
            switch (length == 0 ? 0 : c) {
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                quoted += {'\\', 'x', Hex[byte >> 4], Hex[byte & 0xF]};
                break;
            }
            ++i;
            continue;
        }
        if (HidesText(c)) {
            quoted += {'\\', 'u', Hex[(c >> 12) & 0xF], Hex[(c >> 8) & 0xF], Hex[(c >> 4) & 0xF], Hex[c & 0xF]};
        } else if (c == '"' || c == '\\') {
            quoted += {'\\', static_cast<char>(c)};
        } else {
            quoted.append(text.substr(i, length));
        }
        i += length;
    }
    return quoted + "\"";
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
