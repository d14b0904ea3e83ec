#include "i18n/globalize.h"
#include "settings/name_suggestions.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"

#include <nlohmann/json.hpp>

#include <QTest>

namespace {

// One line per problem: its code, the member's number and name, and for text
// that is not JSON or not UTF-8 the line, the column and why.
QStringList Summary(const std::vector<Problem>& problems)
{
    QStringList lines;
    for (const Problem& problem : problems) {
        QString line = QString::fromLatin1(ProblemCode(problem.kind));
        if (problem.position > 0) {
            line += QStringLiteral(" %1 %2").arg(problem.position).arg(QString::fromStdString(problem.name));
        }
        if (problem.kind == ProblemKind::MalformedJson || problem.kind == ProblemKind::NotUtf8) {
            line += QStringLiteral(" %1:%2 %3")
                        .arg(problem.line)
                        .arg(problem.column)
                        .arg(QString::fromStdString(problem.detail));
        }
        lines << line;
    }
    return lines;
}

const QString Host = QStringLiteral("\"HostAddress\": \"https://10.0.0.5:56569\"");

// A JSON object from members written with apostrophes for quotes, for legibility.
QByteArray Object(const QStringList& members)
{
    const QString joined = members.join(QStringLiteral(", "));
    return ("{" + QString(joined).replace(QLatin1Char('\''), QLatin1Char('"')) + "}").toUtf8();
}

} // namespace

class TestCheckTool : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void problemsOfEachKind_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected"); // problems, "; " between them
        const auto row = [](const char* name, const QByteArray& document, const char* expected) {
            QTest::newRow(name) << document << QString::fromLatin1(expected);
        };
        row("exported file",
            "{\r\n    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n    \"SaveSpool\": \"true\"\r\n}\r\n", "");
        row("any order, compact",
            "{\"SaveSpool\":\"FALSE\",\"HostAddress\":\"http://h.example:80\",\"BlockCopies\":\"007\"}", "");
        row("text takes anything but empty", Object({Host, "'WorkFolder': 'C:\\\\Área\\n'", "'AuditingFolder': ' '"}),
            "");
        row("unknown name", Object({Host, "'HostAdress': 'https://h:1'"}), "unknown-name 2 HostAdress");
        row("unknown name, empty value", Object({Host, "'Foo': ''"}), "unknown-name 2 Foo; empty-value 2 Foo");
        row("cache above 20, name in other case", Object({Host, "'contingencyPrinterCache': '21'"}),
            "name-case 2 contingencyPrinterCache; invalid-value 2 contingencyPrinterCache");
        row("HostAddress in other case is not missing", Object({"'hostaddress': 'https://h:1'"}),
            "name-case 1 hostaddress");
        row("duplicate", Object({Host, "'SaveSpool': '1'", "'SaveSpool': '0'"}), "duplicate-name 3 SaveSpool");
        row("duplicate in other case", Object({Host, "'SaveSpool': '1'", "'SAVESPOOL': '0'"}),
            "duplicate-name 3 SAVESPOOL; name-case 3 SAVESPOOL");
        row("empty name", Object({Host, "'': '1'"}), "empty-name 2 ");
        row("empty name and value", Object({Host, "'': ''"}), "empty-name-and-value 2 ");
        row("every problem, in member order",
            Object({"'SaveSpol': '1'", "'HttpTimeout': 30", "'savespool': 'yes'", "'SaveSpool': '1'"}),
            "unknown-name 1 SaveSpol; non-string-value 2 HttpTimeout; name-case 3 savespool; "
            "invalid-value 3 savespool; duplicate-name 4 SaveSpool; missing-host-address");
        // Malformed: where the parser stops, at the end of the token it did not expect.
        row("empty file", "", "malformed-json 1:1 Unexpected end of file");
        row("only blanks", "  \n ", "malformed-json 2:2 Unexpected end of file");
        row("an opening brace", "{", "malformed-json 1:2 Unexpected end of file");
        row("cut in a string", "{\"HostAddress\": \"https:", "malformed-json 1:24 Unexpected end of file");
        row("trailing comma, CR LF", "{\r\n    \"HostAddress\": \"https://h:1\",\r\n}\r\n",
            "malformed-json 3:1 Syntax error while parsing object key - unexpected '}'; expected string literal");
        row("line feed inside a string", "{\"WorkFolder\": \"a\nb\"}",
            "malformed-json 1:18 Syntax error while parsing value - invalid string: control character U+000A (LF) "
            "must be escaped to \\u000A or \\n; last read: '\\\"a<U+000A>'");
        row("columns count characters", "{\"W\xC3\xB6\": 1 x}",
            "malformed-json 1:10 Syntax error while parsing object - invalid literal; last read: '1 x'; expected '}'");
        row("byte-order mark not counted", "\xEF\xBB\xBF{x}",
            "malformed-json 1:2 Syntax error while parsing object key - invalid literal; last read: '\\ufeff{x'; "
            "expected string literal");
        row("text after the object", "{} x",
            "malformed-json 1:4 Syntax error while parsing value - invalid literal; last read: '{} x'; expected end of "
            "input");
        row("unclosed object", "{\n  \"HostAddress\": \"https://h:1\"", "malformed-json 2:31 Unexpected end of file");
        row("comment", "{\n  // host\n  \"HostAddress\": \"https://h:1\"\n}",
            "malformed-json 2:3 Syntax error while parsing object key - invalid literal; last read: '{<U+000A>  /'; "
            "expected string literal");
        row("NUL inside", QByteArray("{\"HostAddress\"\0: \"https://h:1\"}", 32),
            "malformed-json 1:15 Unexpected NUL byte");
        // Not UTF-8: another encoding, with or without a byte-order mark, or a byte no UTF-8 sequence explains.
        row("invalid UTF-8", "{\"HostAddress\": \"\xFF\"}", "not-utf8 1:18 Found the byte \\xff.");
        row("Latin-1", "{\"WorkFolder\": \"C:\\\\\xC1rea\"}", "not-utf8 1:21 Found the byte \\xc1.");
        row("UTF-16 without byte-order mark", QByteArray("{\0}\0", 4),
            "not-utf8 1:1 Found UTF-16 (little-endian) text.");
        row("UTF-16 big-endian", QByteArray("\0{\0}", 4), "not-utf8 1:1 Found UTF-16 (big-endian) text.");
        row("UTF-16 with byte-order mark", QByteArray("\xFF\xFE{\0}\0", 6),
            "not-utf8 1:1 Found UTF-16 (little-endian) text.");
        row("UTF-32", QByteArray("{\0\0\0}\0\0\0", 8), "not-utf8 1:1 Found UTF-32 (little-endian) text.");
    }

    void problemsOfEachKind()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QCOMPARE(Summary(ReadSettingsText(SettingsCatalogue(), document.toStdString()).problems).join("; "), expected);
    }

    // One rule for what is made visible, in its three forms: as the window shows a
    // text, quoted in the tool's messages, and in its JSON report. Two texts that
    // differ never look the same; nothing that hides, reorders or breaks text
    // stays raw.
    void shownText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("visible");
        QTest::addColumn<QByteArray>("quoted");
        QTest::addColumn<QByteArray>("json");
        const auto row =
            [](const char* name, const char* text, const char* visible, const char* quoted, const char* json) {
            QTest::newRow(name) << QByteArray(text) << QByteArray(visible) << QByteArray(quoted) << QByteArray(json);
        };
        row("letters and a folder path", "C:\\\xC3\x81rea\\\xE5\xAE\xA1 \xF0\x9F\x98\x80",
            "C:\\\xC3\x81rea\\\xE5\xAE\xA1 \xF0\x9F\x98\x80", "\"C:\\\\\xC3\x81rea\\\\\xE5\xAE\xA1 \xF0\x9F\x98\x80\"",
            "\"C:\\\\\xC3\x81rea\\\\\xE5\xAE\xA1 \xF0\x9F\x98\x80\"");
        row("bidirectional override", "\xE2\x80\xAESaveSpool", "\\u202eSaveSpool", "\"\\u202eSaveSpool\"",
            "\"\\u202eSaveSpool\"");
        row("zero-width and format characters",
            "Save\xE2\x80\x8B\xC2\xAD\xE2\x81\xA0\xEF\xBB\xBF\xD8\x9C\xE2\x81\xA6Spool",
            "Save\\u200b\\u00ad\\u2060\\ufeff\\u061c\\u2066Spool",
            "\"Save\\u200b\\u00ad\\u2060\\ufeff\\u061c\\u2066Spool\"",
            "\"Save\\u200b\\u00ad\\u2060\\ufeff\\u061c\\u2066Spool\"");
        row("controls and separators",
            "a\xE2\x80\xA8"
            "b\xE2\x80\xA9"
            "c\n\x1B\x7F\xC2\x85",
            "a\\u2028b\\u2029c\\x0a\\x1b\\x7f\\u0085", "\"a\\u2028b\\u2029c\\n\\x1b\\x7f\\u0085\"",
            "\"a\\u2028b\\u2029c\\n\\u001b\\u007f\\u0085\"");
        row("blanks other than the space",
            "a\xC2\xA0"
            "b\xE3\x80\x80"
            "c d",
            "a\\u00a0b\\u3000c d", "\"a\\u00a0b\\u3000c d\"", "\"a\\u00a0b\\u3000c d\"");
        row("variation selector and tag", "x\xEF\xB8\x8F\xF3\xA0\x81\x81", "x\\ufe0f\\U000e0041",
            "\"x\\ufe0f\\U000e0041\"", "\"x\\ufe0f\\udb40\\udc41\"");
        row("an escape written out", "a\\u200bb", "a\\\\u200bb", "\"a\\\\u200bb\"", "\"a\\\\u200bb\"");
        row("a backslash before an escape", "C:\\\xE2\x80\xAE", "C:\\\\\\u202e", "\"C:\\\\\\u202e\"",
            "\"C:\\\\\\u202e\"");
        row("bytes that are not UTF-8", "caf\xE9\xFF.json", "caf\\xe9\\xff.json", "\"caf\\xe9\\xff.json\"",
            "\"caf\xEF\xBF\xBD\xEF\xBF\xBD.json\"");
    }

    void shownText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, visible);
        QFETCH(QByteArray, quoted);
        QFETCH(QByteArray, json);
        const std::string bytes = text.toStdString();
        QCOMPARE(QByteArray::fromStdString(VisibleText(bytes)), visible);
        QCOMPARE(QByteArray::fromStdString(QuotedText(bytes)), quoted);
        std::string written;
        AppendJsonText(bytes, written);
        QCOMPARE(QByteArray::fromStdString(written), json);
        // The window's form is the same rule.
        if (Utf8PrefixLength(bytes) == bytes.size()) {
            QCOMPARE(VisibleText(QString::fromUtf8(text)).toUtf8(), visible);
        }
        // What a JSON reader reads is the text itself.
        if (Utf8PrefixLength(bytes) == bytes.size()) {
            QCOMPARE(nlohmann::json::parse(written).get<std::string>(), bytes);
        }
    }

    void suggestions_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("letter missing") << "HostAdress" << QStringList{"HostAddress"};
        QTest::newRow("case and a letter missing") << "hostadres" << QStringList{"HostAddress"};
        QTest::newRow("letters swapped") << "EnabelProxy" << QStringList{"EnableProxy"};
        QTest::newRow("two mistakes in a long name") << "DisableBidirectionnal" << QStringList{"DisableBiDirectional"};
        QTest::newRow("part of several names") << "Timeout" << QStringList{"HttpTimeout", "ZozadodoTimeout"};
        QTest::newRow("nearest first") << "Folder" << QStringList{"WorkFolder", "AuditingFolder"};
        QTest::newRow("three letters are no hint") << "Use" << QStringList();
        QTest::newRow("128 bytes") << QString(117, 'x') + "HostAddress" << QStringList{"HostAddress"};
        QTest::newRow("longer names get none") << QString(118, 'x') + "HostAddress" << QStringList();
    }

    void suggestions()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QStringList names;
        for (const std::string& name : SuggestSettingNames(SettingsCatalogue(), typed.toStdString())) {
            names << QString::fromStdString(name);
        }
        QCOMPARE(names, expected);
    }
};

QTEST_GUILESS_MAIN(TestCheckTool)
#include "tst_check_tool.moc"
