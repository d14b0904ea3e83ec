#include "settings/json_members.h"

#include "settings/report_text.h"

#include <nlohmann/json.hpp>

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace {

using Json = nlohmann::json;

// The parser's explanation without its own prefix and position. It quotes the text
// it last read, which may be a whole long string; that part is cut.
std::string ParserExplanation(const std::string& what)
{
    // "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error ..."
    // or "[json.exception.out_of_range.406] number overflow parsing '1e999'".
    const std::size_t bracket = what.rfind("] ", what.find(' '));
    std::string explanation = bracket == std::string::npos ? what : what.substr(bracket + 2);
    if (explanation.compare(0, 12, "parse error ") == 0) {
        const std::size_t colon = explanation.find(": ");
        explanation.erase(0, colon == std::string::npos ? 0 : colon + 2);
    }
    if (!explanation.empty() && explanation[0] >= 'a' && explanation[0] <= 'z') {
        explanation[0] = static_cast<char>(explanation[0] - 'a' + 'A');
    }
    // The quoted input may hold anything: escaped and cut as names and values are.
    const std::size_t open = explanation.find('\'');
    const std::size_t close = explanation.rfind('\'');
    if (open != std::string::npos && close > open) {
        std::string quoted = QuotedText(std::string_view(explanation).substr(open + 1, close - open - 1));
        const bool cut = quoted.back() != '"';
        quoted = quoted.substr(1, quoted.rfind('"') - 1);
        explanation =
            explanation.substr(0, open + 1) + quoted + (cut ? "'\xE2\x80\xA6" : "'") + explanation.substr(close + 1);
    }
    // The quoted bytes need not be valid UTF-8.
    return QString::fromUtf8(explanation.data(), static_cast<qsizetype>(explanation.size())).toStdString();
}

// Line and column of a byte, both from 1; columns count characters, not bytes,
// and a byte-order mark, which editors do not show, is not counted.
std::pair<int, int> LineAndColumn(std::string_view text, std::size_t offset)
{
    std::size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int line = 1;
    int column = 1;
    for (; i < offset && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

// A character pointer that tells how far the parser has read, so that a nesting
// error can be placed.
class TrackedChar {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackedChar(const char* at, const char** reached)
        : at_(at)
        , reached_(reached)
    {
    }
    reference operator*() const { return *at_; }
    TrackedChar& operator++()
    {
        *reached_ = ++at_;
        return *this;
    }
    TrackedChar operator++(int)
    {
        TrackedChar before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackedChar& other) const { return at_ == other.at_; }
    bool operator!=(const TrackedChar& other) const { return at_ != other.at_; }

private:
    const char* at_;
    const char** reached_;
};

// Collects the top-level object's members from the parser's events, keeping
// repeated names (the library's own object would keep only the last) and nothing
// of nested values but their type. Deeper nesting than the limit stops the parse.
class MemberCollector {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    // `reached` is where the parser has read up to in the text starting at `start`;
    // `text` keeps the names and values, with room reserved for all of them.
    MemberCollector(const char* start, const char** reached, std::string& text)
        : start_(start)
        , reached_(reached)
        , text_(text)
    {
    }

    bool null() { return Scalar(MemberType::Null, "null"); }
    bool boolean(bool value) { return Scalar(MemberType::Boolean, value ? "true" : "false"); }
    bool number_integer(number_integer_t value) { return Scalar(MemberType::Number, std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) { return Scalar(MemberType::Number, std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) { return Scalar(MemberType::Number, text); }
    bool string(string_t& value) { return Scalar(MemberType::String, value); }
    bool binary(binary_t&) { return true; }
    bool start_object(std::size_t) { return Open(MemberType::Object); }
    bool start_array(std::size_t) { return Open(MemberType::Array); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(string_t& name)
    {
        if (depth_ == 1 && topType == MemberType::Object) {
            members.push_back({Kept(name), {}, MemberType::Null});
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error)
    {
        failed = true;
        errorOffset = position > 0 ? position - 1 : 0;
        errorText = error.what();
        return false;
    }

    bool failed = false;
    bool tooDeep = false;
    std::size_t errorOffset = 0; // byte where the parser stopped
    std::string errorText;
    MemberType topType = MemberType::Null;
    std::vector<Member> members;

private:
    bool Scalar(MemberType type, const std::string& text)
    {
        if (depth_ == 0) {
            topType = type;
        } else if (depth_ == 1 && topType == MemberType::Object && !members.empty()) {
            members.back().type = type;
            members.back().value = Kept(text);
        }
        return true;
    }
    // The text appended to the kept names and values. No string is longer than its
    // JSON source, so the room reserved for the source is never exceeded and what
    // was kept never moves.
    std::string_view Kept(const std::string& text)
    {
        if (text_.size() + text.size() > text_.capacity()) {
            throw std::length_error("member text beyond its source");
        }
        const std::size_t start = text_.size();
        text_ += text;
        return std::string_view(text_).substr(start);
    }
    bool Open(MemberType type)
    {
        if (depth_ == 0) {
            topType = type;
        } else if (depth_ == 1 && topType == MemberType::Object && !members.empty()) {
            members.back().type = type;
        }
        if (++depth_ > kMaxJsonNesting) {
            tooDeep = true;
            errorOffset = static_cast<std::size_t>(*reached_ - start_) - 1;
            return false;
        }
        return true;
    }
    bool Close()
    {
        --depth_;
        return true;
    }

    int depth_ = 0;
    const char* start_;
    const char** reached_;
    std::string& text_;
};

// Where and why the bytes are not UTF-8 text, if they are not: text in UTF-16 or
// UTF-32 (with or without a byte-order mark; JSON text begins with an ASCII
// character, so a NUL byte among the first two tells them), or the first byte
// that no UTF-8 sequence explains.
std::optional<std::pair<std::size_t, std::string>> NotUtf8(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100; };
    const auto some = [&](std::size_t i) { return at(i) != 0 && at(i) != 0x100; };
    const char* encoding = nullptr;
    if ((at(0) == 0 && at(1) == 0 && at(2) == 0 && some(3))
        || (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)) {
        encoding = "UTF-32 (big-endian)";
    } else if ((at(0) == 0 && some(1)) || (at(0) == 0xFE && at(1) == 0xFF)) {
        encoding = "UTF-16 (big-endian)";
    } else if ((some(0) && at(1) == 0) || (at(0) == 0xFF && at(1) == 0xFE)) {
        encoding = at(2) == 0 && at(3) == 0 ? "UTF-32 (little-endian)" : "UTF-16 (little-endian)";
    }
    if (encoding != nullptr) {
        return std::pair<std::size_t, std::string>(0, std::string("Found ") + encoding + " text.");
    }
    const std::size_t bad = Utf8PrefixLength(bytes);
    if (bad < bytes.size()) {
        return std::pair<std::size_t, std::string>(bad, "Found the byte " + VisibleText(bytes.substr(bad, 1)) + ".");
    }
    return std::nullopt;
}

} // namespace

const char* ArticleTypeName(MemberType type)
{
    // In the order of MemberType.
    static const std::array<const char*, 6> names{"a string", "a number", "a boolean", "null", "an object", "an array"};
    const auto index = static_cast<std::size_t>(type);
    return index < names.size() ? names[index] : names[0];
}

JsonMembers ReadJsonMembers(std::string_view bytes)
{
    JsonMembers result;
    if (const std::optional<std::pair<std::size_t, std::string>> foreign = NotUtf8(bytes)) {
        result.notUtf8 = true;
        result.error = foreign->second;
        std::tie(result.line, result.column) = LineAndColumn(bytes, foreign->first);
        return result;
    }
    // The parser takes a NUL byte for the end of the input, so it only sees what
    // comes before one; a NUL byte anywhere is malformed.
    const std::size_t nul = std::min(bytes.find('\0'), bytes.size());
    const char* reached = bytes.data();
    auto text = std::make_shared<std::string>();
    text->reserve(bytes.size());
    MemberCollector collector(bytes.data(), &reached, *text);
    // A file may hold millions of members; at most one per five bytes ("":0,). The
    // room is only reserved: what is not used is never touched.
    collector.members.reserve(bytes.size() / 5 + 1);
    bool parsed = false;
    try {
        parsed =
            Json::sax_parse(TrackedChar(bytes.data(), &reached), TrackedChar(bytes.data() + nul, &reached), &collector);
    } catch (const std::exception& error) {
        // The parser reports its errors through the collector; anything else (memory)
        // is still this file's problem, not the end of the run.
        collector.failed = true;
        collector.errorOffset = static_cast<std::size_t>(reached - bytes.data());
        collector.errorText = error.what();
    }

    result.topType = collector.topType;
    if (!parsed || nul < bytes.size()) {
        std::size_t offset = collector.errorOffset;
        if (collector.failed && collector.errorOffset < nul) {
            result.error = ParserExplanation(collector.errorText);
        } else if (collector.tooDeep) {
            result.error = "Nested too deeply (more than " + std::to_string(kMaxJsonNesting) + " levels)";
        } else if (nul < bytes.size()) {
            offset = nul;
            result.error = "Unexpected NUL byte";
        } else {
            // The text stops inside a value: an empty file, "{", a string without its end.
            offset = nul;
            result.error = "Unexpected end of file";
        }
        std::tie(result.line, result.column) = LineAndColumn(bytes, offset);
        return result;
    }
    result.parsed = true;
    if (collector.topType == MemberType::Object) {
        result.members = std::move(collector.members);
        result.text = std::move(text);
    }
    return result;
}
