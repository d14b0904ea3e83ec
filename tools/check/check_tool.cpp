#include "tools/check/check_tool.h"

#include "tools/check/compose.h"
#include "i18n/globalize.h"
#include "i18n/locales.h"
#include "settings/bounded_read.h"
#include "settings/report_text.h"
#include "settings/settings_file_check.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"
#include "tools/check/settings_schema.h"
#include "i18n/translation_keys.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifndef SIH_VERSION
#define SIH_VERSION "unknown"
#endif

namespace {

using Json = nlohmann::ordered_json;

const std::string ProgramName = "silent-install-helper-check";

const char* const HelpText =
    R"(Usage: silent-install-helper-check [--lang LOCALE] COMMAND [ARGUMENTS]

Checks and writes the settings file that an unattended installation of the
Orvane Print Agent reads, with the catalogue, rules and messages of
Silent Install Helper.

Commands:
  validate [--json] FILE...      check settings files ("-" reads standard input)
  compose [-o FILE] [--from FILE] NAME=VALUE...
                                 write the settings file that the program's export
                                 writes for the same entries
  schema                         print a JSON Schema (draft 2020-12) of the file
  list [--json]                  print the catalogue: name, rule, suggested,
                                 description

Options:
  --lang LOCALE        language of messages and descriptions: @LOCALES@
  --json               validate, list: print JSON for other tools
  -o, --output FILE    compose: write FILE, replacing it only once complete,
                       instead of standard output
  --from FILE          compose: start from the settings of FILE, as the program
                       opens it; NAME=VALUE replaces a value in place or appends
  -h, --help           print this help
  --version            print the version

Exit status: 0 every file valid, 1 a problem was found, 2 usage or I/O error.
)";

struct Invocation {
    QString command;
    QStringList operands;
    std::vector<int> operandArguments; // each operand's index among the arguments
    QString language = QStringLiteral("en-US");
    bool json = false;
    std::optional<QString> output;
    int outputArgument = -1;
    std::optional<QString> from;
    int fromArgument = -1;
    std::vector<std::string> rawArguments; // as the system passed them
    std::vector<bool> utf8;                // whether each of them is valid UTF-8
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string message;
};

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

// A file as text output names it: as given, unless it holds something that could
// be taken for more output (control characters, quotes, ": ", blanks at the ends);
// then quoted and escaped, but never cut.
std::string Label(const std::string& file)
{
    const std::string quoted = QuotedText(file, std::string::npos);
    const bool plain = !file.empty() && quoted.size() == file.size() + 2 && file.find('"') == std::string::npos
        && file.find(": ") == std::string::npos && file.front() != ' ' && file.back() != ' ';
    return plain ? file : quoted;
}

// The file an argument names, in the platform's form: on POSIX its bytes as given,
// which need not be UTF-8.
NativePath ArgumentPath(const std::string& argument)
{
#ifdef _WIN32
    return NativePathOf(QString::fromStdString(argument));
#else
    return argument;
#endif
}

std::string JsonString(std::string_view text)
{
    std::string json;
    AppendJsonText(text, json);
    return json;
}

std::string Dump(const Json& json)
{
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// Fills `invocation`; the first operand is the command. Throws UsageError.
void ParseArguments(const QStringList& arguments, Invocation& invocation)
{
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (invocation.command.isEmpty()) {
                invocation.command = argument;
            } else {
                invocation.operands << argument;
                invocation.operandArguments.push_back(i);
            }
            continue;
        }
        // "--name=value" or "--name value".
        auto value = [&](const QString& name) {
            if (argument.startsWith(name + QLatin1Char('='))) {
                return argument.mid(name.size() + 1);
            }
            if (i + 1 >= arguments.size()) {
                throw UsageError{"option " + Utf8(argument) + " needs a value"};
            }
            return arguments[++i];
        };
        // A file option names one file: not none, and not two.
        auto takeFile =
            [&](std::optional<QString>& file, int& fileArgument, const std::string& name, const QString& given) {
            if (file) {
                throw UsageError{"option " + name + " given more than once"};
            }
            if (given.isEmpty()) {
                throw UsageError{"option " + name + " needs a file name"};
            }
            file = given;
            fileArgument = i;
        };
        auto is = [&](const char* name) {
            return argument == QLatin1String(name) || argument.startsWith(QLatin1String(name) + QLatin1Char('='));
        };
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            invocation.help = true;
        } else if (argument == QLatin1String("--version")) {
            invocation.version = true;
        } else if (argument == QLatin1String("--json")) {
            invocation.json = true;
        } else if (is("--lang")) {
            invocation.language = value(QStringLiteral("--lang"));
        } else if (argument == QLatin1String("-o") || is("--output")) {
            takeFile(invocation.output, invocation.outputArgument, "-o/--output",
                     argument == QLatin1String("-o") ? value(QStringLiteral("-o")) : value(QStringLiteral("--output")));
        } else if (is("--from")) {
            takeFile(invocation.from, invocation.fromArgument, "--from", value(QStringLiteral("--from")));
        } else {
            throw UsageError{"unknown option " + QuotedText(Utf8(argument))};
        }
    }
}

std::int32_t LocaleIdOf(QString language)
{
    language.replace(QLatin1Char('_'), QLatin1Char('-'));
    std::string known;
    for (const SupportedLocale& locale : SupportedLocales) {
        const QString tag = QString::fromLatin1(locale.tag.data(), static_cast<qsizetype>(locale.tag.size()));
        if (tag.compare(language, Qt::CaseInsensitive) == 0) {
            return locale.id;
        }
        known += (known.empty() ? "" : ", ") + std::string(locale.tag);
    }
    throw UsageError{"unknown language " + QuotedText(Utf8(language)) + "; use one of " + known};
}

// A problem as a line of text output says it, appended to `text`.
void AppendProblemText(const Problem& problem, const char* place, std::string& text)
{
    if (problem.kind == ProblemKind::MalformedJson || problem.kind == ProblemKind::NotUtf8) {
        text += "line ";
        text += std::to_string(problem.line);
        text += ", column ";
        text += std::to_string(problem.column);
        text += ": ";
    } else if (problem.position > 0) {
        text += place;
        text += ' ';
        text += std::to_string(problem.position);
        text += ' ';
        text += QuotedText(problem.name);
        text += ": ";
    }
    text += problem.message;
    if (!problem.detail.empty()) {
        text += ' ';
        text += problem.detail;
    }
}

std::string ProblemText(const Problem& problem, const char* place)
{
    std::string text;
    AppendProblemText(problem, place, text);
    return text;
}

// One problem of the JSON report, as its "problems" list holds it (the object's
// braces 8 blanks in), appended to `report`.
void AppendProblemJson(const Problem& problem, std::string& report)
{
    bool first = true;
    auto field = [&](const char* name) {
        report += first ? "        {\n          \"" : ",\n          \"";
        report += name;
        report += "\": ";
        first = false;
    };
    field("code");
    AppendJsonText(ProblemCode(problem.kind), report);
    if (problem.position > 0) {
        field("member");
        report += std::to_string(problem.position);
        field("name");
        AppendJsonText(problem.name, report);
    }
    if (problem.kind == ProblemKind::MalformedJson || problem.kind == ProblemKind::NotUtf8) {
        field("line");
        report += std::to_string(problem.line);
        field("column");
        report += std::to_string(problem.column);
    }
    field("message");
    AppendJsonText(problem.message, report);
    if (!problem.detail.empty()) {
        field("detail");
        AppendJsonText(problem.detail, report);
    }
    if (problem.kind == ProblemKind::UnknownName) {
        field("suggestions");
        report += "[";
        for (std::size_t i = 0; i < problem.suggestions.size(); ++i) {
            report += i == 0 ? "\n            " : ",\n            ";
            AppendJsonText(problem.suggestions[i], report);
        }
        report += problem.suggestions.empty() ? "]" : "\n          ]";
    }
    report += "\n        }";
}

// Checks one file, handing its problems to `report` as they are found; whatever
// goes wrong while checking it is one of them, so the other files are still
// checked and the report stays whole. Returns whether there was a problem.
bool CheckFile(const SettingsMap& catalogue, const std::string& text, const std::function<void(const Problem&)>& report)
{
    bool found = false;
    try {
        CheckSettingsText(catalogue, text, [&](Problem&& problem) {
            found = true;
            report(problem);
        });
    } catch (const std::exception& error) {
        Problem problem;
        problem.kind = ProblemKind::MalformedJson;
        problem.message = "Malformed JSON.";
        problem.detail = std::string("Could not be checked: ") + error.what();
        problem.line = 1;
        problem.column = 1;
        found = true;
        report(problem);
    }
    return found;
}

// Output written in pieces of a useful size as it is produced: a file with very
// many problems is never held as one report.
class ReportStream {
public:
    explicit ReportStream(std::ostream& out)
        : out_(out)
    {
    }
    ~ReportStream() { Flush(); }

    std::string& Text() { return text_; }
    void Written()
    {
        if (text_.size() >= 1 << 16) {
            Flush();
        }
    }
    void Flush()
    {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

private:
    std::ostream& out_;
    std::string text_;
};

// Both reports are written as the check goes. The JSON report therefore gives
// "valid" after "problems" and after "files", once it is known.
int Validate(const Invocation& invocation, std::istream& in, std::ostream& out, std::ostream& err)
{
    if (invocation.operands.isEmpty()) {
        throw UsageError{"validate needs at least one FILE"};
    }
    const SettingsMap& catalogue = SettingsCatalogue();
    bool problemsFound = false;
    bool readFailed = false;
    ReportStream report(out);
    std::string& text = report.Text();
    if (invocation.json) {
        text += "{\n  \"files\": [";
    }
    for (std::size_t operand = 0; operand < invocation.operandArguments.size(); ++operand) {
        const std::size_t argument = static_cast<std::size_t>(invocation.operandArguments[operand]);
        // The file as given: its bytes are opened, and shown escaped where they are not UTF-8.
        const std::string& path = invocation.rawArguments[argument];
        const bool standardInput = path == "-";
        const std::string file = standardInput ? "<stdin>" : path;
        const std::string label = Label(file) + ": ";
        if (invocation.json) {
            text += operand == 0 ? "\n    {\n      \"file\": " : ",\n    {\n      \"file\": ";
            AppendJsonText(invocation.utf8[argument] ? file : VisibleText(file), text);
        }
        FileReadResult input =
            standardInput ? ReadStreamBounded(in) : ReadFileBounded(ArgumentPath(path), FileKinds::Any);
        if (input.status != FileReadStatus::Read) {
            report.Flush();
            err << ProgramName << ": cannot read " << QuotedText(file, std::string::npos) << ": " << input.error
                << "\n";
            readFailed = true;
            if (invocation.json) {
                text += ",\n      \"error\": " + JsonString(input.error) + ",\n      \"valid\": false\n    }";
            }
            continue;
        }
        if (invocation.json) {
            text += ",\n      \"problems\": [";
        }
        bool first = true;
        const bool found = CheckFile(catalogue, input.bytes, [&](const Problem& problem) {
            if (invocation.json) {
                text += first ? "\n" : ",\n";
                AppendProblemJson(problem, text);
            } else {
                text += label;
                AppendProblemText(problem, "member", text);
                text += '\n';
            }
            first = false;
            report.Written();
        });
        problemsFound = problemsFound || found;
        if (invocation.json) {
            text += found ? "\n      ],\n      \"valid\": false\n    }" : "],\n      \"valid\": true\n    }";
        } else if (!found) {
            text += label + "valid\n";
        }
        report.Written();
    }
    if (invocation.json) {
        text += std::string("\n  ],\n  \"valid\": ") + (problemsFound || readFailed ? "false" : "true") + "\n}\n";
    }
    report.Flush();
    if (readFailed) {
        return CheckExit::UsageOrIo;
    }
    return problemsFound ? CheckExit::Problems : CheckExit::Valid;
}

int Compose(const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    // Decoding would turn such bytes into U+FFFD, and the file would hold other
    // text than was given.
    auto notUtf8 = [&](int argument, const std::string& what) {
        err << ProgramName << ": compose: " << what << " "
            << QuotedText(invocation.rawArguments[static_cast<std::size_t>(argument)], std::string::npos)
            << " is not valid UTF-8; nothing written\n";
        return CheckExit::UsageOrIo;
    };
    if (invocation.output && !invocation.utf8[static_cast<std::size_t>(invocation.outputArgument)]) {
        return notUtf8(invocation.outputArgument, "the output file name");
    }
    for (std::size_t i = 0; i < invocation.operandArguments.size(); ++i) {
        if (!invocation.utf8[static_cast<std::size_t>(invocation.operandArguments[i])]) {
            return notUtf8(invocation.operandArguments[i], "argument " + std::to_string(i + 1));
        }
    }

    std::vector<NameValue> pairs;
    for (int i = 0; i < invocation.operands.size(); ++i) {
        const QString& operand = invocation.operands[i];
        const int equals = operand.indexOf(QLatin1Char('='));
        if (equals < 0) {
            throw UsageError{"compose: argument " + std::to_string(i + 1) + " " + QuotedText(Utf8(operand))
                             + " is not NAME=VALUE"};
        }
        pairs.emplace_back(Utf8(operand.left(equals)), Utf8(operand.mid(equals + 1)));
    }
    // The file is read as the program opens it; any problem validate would report
    // refuses it, but for a missing required setting, which goes first as in the program.
    std::vector<NameValue> opened;
    bool refused = false;
    if (invocation.from) {
        // The bytes given, after "--from=" when the value came with it.
        std::string label = invocation.rawArguments[static_cast<std::size_t>(invocation.fromArgument)];
        if (label.compare(0, 7, "--from=") == 0) {
            label.erase(0, 7);
        }
        const FileReadResult input = ReadFileBounded(ArgumentPath(label), FileKinds::Any);
        if (input.status != FileReadStatus::Read) {
            err << ProgramName << ": cannot read " << QuotedText(label, std::string::npos) << ": " << input.error
                << "\n";
            return CheckExit::UsageOrIo;
        }
        SettingsFileContent content = ReadSettingsText(SettingsCatalogue(), input.bytes);
        for (const Problem& problem : content.problems) {
            if (problem.kind != ProblemKind::MissingRequiredSetting) {
                err << ProgramName << ": compose: " << Label(label) << ": " << ProblemText(problem, "member") << "\n";
                refused = true;
            }
        }
        opened = std::move(content.valid);
    }
    const ComposedSettings composed = ComposeSettings(SettingsCatalogue(), pairs, opened);
    if (refused || !composed.problems.empty()) {
        for (const Problem& problem : composed.problems) {
            err << ProgramName << ": compose: " << ProblemText(problem, "argument") << "\n";
        }
        return CheckExit::Problems;
    }
    if (invocation.output) {
        try {
            SaveJsonToWFile(invocation.output->toStdWString(), composed.document);
        } catch (const std::exception& error) {
            err << ProgramName << ": cannot write " << QuotedText(Utf8(*invocation.output), std::string::npos) << ": "
                << error.what() << "\n";
            return CheckExit::UsageOrIo;
        }
        return CheckExit::Valid;
    }
    out << SerializeSettings(composed.document);
    return CheckExit::Valid;
}

// Terminal columns of UTF-8 text: East Asian wide characters take two.
std::size_t DisplayWidth(const std::string& text)
{
    const std::u32string characters = QString::fromStdString(text).toStdU32String();
    std::size_t width = 0;
    for (const char32_t c : characters) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
            || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

int List(const Invocation& invocation, std::ostream& out)
{
    const SettingsMap& catalogue = SettingsCatalogue();
    if (invocation.json) {
        Json list = Json::array();
        for (const auto& [name, mapping] : catalogue) {
            list.push_back(Json{{"name", name},
                                {"kind", KindName(mapping.kind)},
                                {"rule", ValueRuleOf(mapping).description},
                                {"suggested", mapping.suggested},
                                {"description", mapping.description}});
        }
        out << Dump(list);
        return CheckExit::Valid;
    }

    std::vector<std::array<std::string, 4>> rows;
    rows.push_back({Utf8(Globalize::Translate(TranslationKey::Name)), "Rule", "Suggested",
                    Utf8(Globalize::Translate(TranslationKey::Description))});
    for (const auto& [name, mapping] : catalogue) {
        rows.push_back({name, ValueRuleOf(mapping).shortName, mapping.suggested ? "yes" : "no", mapping.description});
    }
    std::array<std::size_t, 3> widths{};
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            line += row[column] + std::string(widths[column] - DisplayWidth(row[column]) + 2, ' ');
        }
        line += row[3];
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out << line << "\n";
    }
    return CheckExit::Valid;
}

int Run(const std::vector<std::string>& rawArguments, std::istream& in, std::ostream& out, std::ostream& err)
{
    Invocation invocation;
    invocation.rawArguments = rawArguments;
    QStringList arguments;
    for (const std::string& raw : rawArguments) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        arguments << decoder(QByteArrayView(raw.data(), static_cast<qsizetype>(raw.size())));
        invocation.utf8.push_back(!decoder.hasError());
    }
    ParseArguments(arguments, invocation);
    if (invocation.help) {
        // The locale list comes from the table, wrapped under its option.
        std::string help = HelpText;
        std::string locales;
        std::size_t lineLength = std::string("  --lang LOCALE        language of messages and descriptions: ").size();
        for (std::size_t i = 0; i < SupportedLocales.size(); ++i) {
            std::string word = std::string(SupportedLocales[i].tag) + (i == 0 ? " (default)" : "");
            word += i + 2 < SupportedLocales.size() ? "," : i + 2 == SupportedLocales.size() ? " or" : "";
            if (lineLength + 1 + word.size() > 80) {
                locales += "\n                      ";
                lineLength = 22;
            }
            locales += (locales.empty() ? "" : " ") + word;
            lineLength += 1 + word.size();
        }
        help.replace(help.find("@LOCALES@"), 9, locales);
        out << help;
        return CheckExit::Valid;
    }
    if (invocation.version) {
        out << ProgramName << " " << SIH_VERSION << "\n";
        return CheckExit::Valid;
    }

    const std::string command = Utf8(invocation.command);
    if (command.empty()) {
        throw UsageError{"no command given"};
    }
    if (command != "validate" && command != "compose" && command != "schema" && command != "list") {
        throw UsageError{"unknown command " + QuotedText(command)};
    }
    if (invocation.json && command != "validate" && command != "list") {
        throw UsageError{"--json is not an option of " + command};
    }
    if (invocation.output && command != "compose") {
        throw UsageError{"-o is not an option of " + command};
    }
    if (invocation.from && command != "compose") {
        throw UsageError{"--from is not an option of " + command};
    }
    if ((command == "schema" || command == "list") && !invocation.operands.isEmpty()) {
        throw UsageError{command + " takes no arguments"};
    }

    Globalize::LoadLanguage(LocaleIdOf(invocation.language));
    SettingsDataMapper();

    if (command == "validate") {
        return Validate(invocation, in, out, err);
    }
    if (command == "compose") {
        return Compose(invocation, out, err);
    }
    if (command == "schema") {
        out << Dump(SettingsSchema(SettingsCatalogue()));
        return CheckExit::Valid;
    }
    return List(invocation, out);
}

} // namespace

int RunCheckTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err)
{
    int code = CheckExit::Valid;
    try {
        code = Run(arguments, in, out, err);
    } catch (const UsageError& error) {
        err << ProgramName << ": " << error.message << "\n"
            << "Try \"" << ProgramName << " --help\".\n";
        return CheckExit::UsageOrIo;
    } catch (const std::exception& error) {
        err << ProgramName << ": " << error.what() << "\n";
        return CheckExit::UsageOrIo;
    }
    out.flush();
    if (!out) {
        err << ProgramName << ": cannot write the output\n";
        return CheckExit::UsageOrIo;
    }
    return code;
}
