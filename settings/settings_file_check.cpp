#include "settings/settings_file_check.h"

#include "i18n/globalize.h"
#include "settings/name_suggestions.h"
#include "settings/setting_names.h"
#include "i18n/translation_keys.h"

#include <nlohmann/json.hpp>

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <istream>
#include <iterator>
#include <tuple>
#include <unordered_map>

namespace {

using Json = nlohmann::json;

std::string Text(const QString& key)
{
    return Globalize::Translate(key).toStdString();
}

std::string QuotedList(const std::vector<std::string>& names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            list += i + 1 == names.size() ? " or " : ", ";
        }
        list += QuotedText(names[i]);
    }
    return list;
}

const char* ArticleTypeName(MemberType type)
{
    // In the order of MemberType.
    static const std::array<const char*, 6> names{"a string", "a number", "a boolean", "null", "an object", "an array"};
    const auto index = static_cast<std::size_t>(type);
    return index < names.size() ? names[index] : names[0];
}

std::string FoundValue(const Member& member)
{
    if (member.type != MemberType::Boolean && member.type != MemberType::Number) {
        return ArticleTypeName(member.type);
    }
    // The likely intent: the same text in quotes.
    const std::string quoted = QuotedText(member.value);
    return std::string(member.type == MemberType::Boolean ? "the literal " : "the number ")
        + (member.value.size() > kMaxQuotedCharacters ? quoted : member.value) + " (write " + quoted + ")";
}

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
        explanation = explanation.substr(0, open + 1) + quoted + (cut ? "'\xE2\x80\xA6" : "'")
            + explanation.substr(close + 1);
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

    TrackedChar(const char* at, const char** reached) : at_(at), reached_(reached) {}
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

    // `reached` is where the parser has read up to in the text starting at `start`.
    MemberCollector(const char* start, const char** reached) : start_(start), reached_(reached) {}

    bool null() { return Scalar(MemberType::Null, "null"); }
    bool boolean(bool value) { return Scalar(MemberType::Boolean, value ? "true" : "false"); }
    bool number_integer(number_integer_t value) { return Scalar(MemberType::Number, std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) { return Scalar(MemberType::Number, std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) { return Scalar(MemberType::Number, text); }
    bool string(string_t& value) { return Scalar(MemberType::String, std::move(value)); }
    bool binary(binary_t&) { return true; }
    bool start_object(std::size_t) { return Open(MemberType::Object); }
    bool start_array(std::size_t) { return Open(MemberType::Array); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(string_t& name)
    {
        if (depth_ == 1 && topType == MemberType::Object) {
            members.push_back({std::move(name), {}, MemberType::Null});
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
    bool Scalar(MemberType type, std::string text)
    {
        if (depth_ == 0) {
            topType = type;
        } else if (depth_ == 1 && topType == MemberType::Object && !members.empty()) {
            members.back().type = type;
            members.back().value = std::move(text);
        }
        return true;
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
};

Problem DocumentProblem(ProblemKind kind, std::string message, std::string detail = {})
{
    Problem problem;
    problem.kind = kind;
    problem.message = std::move(message);
    problem.detail = std::move(detail);
    return problem;
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
    case ProblemKind::MissingHostAddress:
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

namespace {

// The checks of CheckMembers, each problem handed to `report` as it is found.
void CheckMembersTo(const SettingsMap& catalogue, const std::vector<Member>& members, NameCase nameCase,
                    const std::string& place, const ProblemReport& report)
{
    // Looked up once: a file may hold many thousands of members.
    std::unordered_map<int, std::string> messages;
    for (const ProblemKind kind :
         {ProblemKind::EmptyNameAndValue, ProblemKind::EmptyName, ProblemKind::EmptyValue, ProblemKind::DuplicateName,
          ProblemKind::UnknownName, ProblemKind::NameCase, ProblemKind::NonStringValue, ProblemKind::InvalidValue}) {
        messages.emplace(static_cast<int>(kind), Text(ProblemMessageKey(kind)));
    }
    auto message = [&messages](ProblemKind kind) -> const std::string& { return messages.at(static_cast<int>(kind)); };

    // The first member of each name, letter case folded, and how the details quote it.
    std::unordered_map<std::string, std::pair<std::size_t, std::string>> firstOfName;
    std::string folded;

    for (std::size_t index = 0; index < members.size(); ++index) {
        const Member& member = members[index];
        auto problem = [&](ProblemKind kind, std::string detail = {}) {
            Problem found;
            found.kind = kind;
            found.position = static_cast<int>(index + 1);
            found.name = member.name;
            found.message = message(kind);
            found.detail = std::move(detail);
            return found;
        };

        const bool isString = member.type == MemberType::String;
        // Duplicates are found by the name with its letter case folded, as the
        // catalogue looks names up.
        std::size_t firstIndex = index;
        if (!member.name.empty()) {
            folded.assign(member.name);
            std::transform(folded.begin(), folded.end(), folded.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
            firstIndex = firstOfName.try_emplace(folded, index, std::string()).first->second.first;
        }
        const QString value = isString ? QString::fromStdString(member.value) : QString();
        std::vector<Problem> found;
        for (const ProblemKind kind :
             PairProblems(catalogue, member.name, isString ? &value : nullptr, firstIndex != index)) {
            Problem& one = found.emplace_back(problem(kind));
            if (kind == ProblemKind::DuplicateName) {
                std::string& quoted = firstOfName.at(folded).second;
                if (quoted.empty()) {
                    quoted = QuotedText(members[firstIndex].name);
                }
                one.detail = place + " " + std::to_string(firstIndex + 1) + " has the same name, " + quoted + ".";
            } else if (kind == ProblemKind::UnknownName) {
                one.suggestions = SuggestSettingNames(catalogue, member.name);
                if (!one.suggestions.empty()) {
                    one.detail = "Did you mean " + QuotedList(one.suggestions) + "?";
                }
            } else if (kind == ProblemKind::InvalidValue) {
                const auto entry = FindSetting(catalogue, member.name);
                one.detail = "Expected " + ValueRuleOf(entry->first, entry->second.kind).description + "; found "
                               + QuotedText(member.value) + ".";
            }
        }
        if (nameCase == NameCase::MustMatch && !member.name.empty()) {
            const auto entry = FindSetting(catalogue, member.name);
            if (entry != catalogue.end() && entry->first != member.name) {
                found.push_back(problem(ProblemKind::NameCase, "Letter case differs from the setting "
                                                                   + QuotedText(entry->first) + "; write it that way."));
            }
        }
        if (!isString) {
            found.push_back(
                problem(ProblemKind::NonStringValue, "Expected a JSON string; found " + FoundValue(member) + "."));
        }
        // A report lists what is wrong with the name before what is wrong with the value.
        std::stable_partition(found.begin(), found.end(), [](const Problem& one) {
            return one.kind != ProblemKind::EmptyValue && one.kind != ProblemKind::InvalidValue
                   && one.kind != ProblemKind::NonStringValue;
        });
        for (Problem& one : found) {
            report(std::move(one));
        }
    }
}

// Parses the text and checks it, handing each problem to `report`; returns the
// members, or none after a problem of the whole document.
std::vector<Member> CheckTextTo(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    if (bytes.size() > kMaxSettingsFileBytes) {
        report(DocumentProblem(ProblemKind::TooLarge, "The file is too large.",
                               "A settings file holds at most " + std::to_string(kMaxSettingsFileBytes / (1024 * 1024))
                                   + " MiB."));
        return {};
    }

    // The parser takes a NUL byte for the end of the input, so it only sees what
    // comes before one; a NUL byte anywhere is malformed.
    const std::size_t nul = std::min(bytes.find('\0'), bytes.size());
    const char* reached = bytes.data();
    MemberCollector collector(bytes.data(), &reached);
    bool parsed = false;
    try {
        parsed = Json::sax_parse(TrackedChar(bytes.data(), &reached), TrackedChar(bytes.data() + nul, &reached),
                                 &collector);
    } catch (const std::exception& error) {
        // The parser reports its errors through the collector; anything else (memory)
        // is still this file's problem, not the end of the run.
        collector.failed = true;
        collector.errorOffset = static_cast<std::size_t>(reached - bytes.data());
        collector.errorText = error.what();
    }
    if (!parsed || nul < bytes.size()) {
        Problem problem = DocumentProblem(ProblemKind::MalformedJson, "Malformed JSON.");
        std::size_t offset = collector.errorOffset;
        if (collector.failed && collector.errorOffset < nul) {
            problem.detail = ParserExplanation(collector.errorText);
        } else if (collector.tooDeep) {
            problem.detail = "Nested too deeply (more than " + std::to_string(kMaxJsonNesting) + " levels)";
        } else {
            offset = nul;
            problem.detail = "Unexpected NUL byte";
        }
        std::tie(problem.line, problem.column) = LineAndColumn(bytes, offset);
        report(std::move(problem));
        return {};
    }
    if (collector.topType != MemberType::Object) {
        report(DocumentProblem(ProblemKind::NotAnObject,
                               std::string("A settings file holds one JSON object; this one holds ")
                                   + ArticleTypeName(collector.topType) + "."));
        return {};
    }

    CheckMembersTo(catalogue, collector.members, NameCase::MustMatch, "Member", report);
    const bool hasHostAddress = std::any_of(
        collector.members.begin(), collector.members.end(),
        [](const Member& member) { return EqualsIgnoringAsciiCase(member.name, SettingName::HostAddress); });
    if (!hasHostAddress) {
        report(DocumentProblem(ProblemKind::MissingHostAddress,
                               "The setting " + QuotedText(SettingName::HostAddress) + " is required."));
    }
    return std::move(collector.members);
}

} // namespace

std::vector<Problem> CheckMembers(const SettingsMap& catalogue, const std::vector<Member>& members,
                                  NameCase nameCase, const std::string& place)
{
    std::vector<Problem> problems;
    CheckMembersTo(catalogue, members, nameCase, place,
                   [&](Problem&& problem) { problems.push_back(std::move(problem)); });
    return problems;
}

SettingsFileContent ReadSettingsText(const SettingsMap& catalogue, std::string_view bytes)
{
    SettingsFileContent content;
    content.members = CheckTextTo(
        catalogue, bytes, [&](Problem&& problem) { content.problems.push_back(std::move(problem)); });
    const std::vector<Member>& members = content.members;
    auto problem = content.problems.cbegin();
    for (std::size_t index = 0; index < members.size(); ++index) {
        const int position = static_cast<int>(index + 1);
        bool loadable = true;
        for (; problem != content.problems.cend() && problem->position == position; ++problem) {
            loadable = loadable && problem->kind == ProblemKind::NameCase;
        }
        if (loadable) {
            content.valid.emplace_back(FindSetting(catalogue, members[index].name)->first, members[index].value);
        }
    }
    return content;
}

std::vector<Problem> CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes)
{
    std::vector<Problem> problems;
    CheckSettingsText(catalogue, bytes, [&](Problem&& problem) { problems.push_back(std::move(problem)); });
    return problems;
}

void CheckSettingsText(const SettingsMap& catalogue, std::string_view bytes, const ProblemReport& report)
{
    CheckTextTo(catalogue, bytes, report);
}

namespace {

template <typename ReadChunk>
FileReadResult ReadBounded(std::size_t limit, ReadChunk readChunk)
{
    FileReadResult result;
    char buffer[65536];
    for (;;) {
        // One byte past the limit is enough to know the input is too large.
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - result.bytes.size());
        const long long got = readChunk(buffer, wanted);
        if (got < 0) {
            result.status = FileReadStatus::Failed;
            result.bytes.clear();
            return result;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(got));
        if (result.bytes.size() > limit) {
            result.status = FileReadStatus::TooLarge;
            result.bytes.clear();
            result.error = "larger than " + (limit % (1024 * 1024) == 0 ? std::to_string(limit / (1024 * 1024)) + " MiB"
                                                                        : std::to_string(limit) + " bytes")
                + ", the limit for a settings file";
            return result;
        }
        if (got == 0) {
            result.status = FileReadStatus::Read;
            return result;
        }
    }
}

} // namespace

FileReadResult ReadFileBounded(const QString& path, std::size_t limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FileReadResult result;
        result.error = file.errorString().toStdString();
        return result;
    }
    std::string error;
    FileReadResult result = ReadBounded(limit, [&](char* buffer, std::size_t size) -> long long {
        const qint64 got = file.read(buffer, static_cast<qint64>(size));
        if (got < 0) {
            error = file.errorString().toStdString();
        }
        return got;
    });
    if (result.status == FileReadStatus::Failed) {
        result.error = error;
    }
    return result;
}

FileReadResult ReadStreamBounded(std::istream& in, std::size_t limit)
{
    FileReadResult result = ReadBounded(limit, [&](char* buffer, std::size_t size) -> long long {
        in.read(buffer, static_cast<std::streamsize>(size));
        return in.bad() ? -1 : static_cast<long long>(in.gcount());
    });
    if (result.status == FileReadStatus::Failed) {
        result.error = "read error";
    }
    return result;
}
