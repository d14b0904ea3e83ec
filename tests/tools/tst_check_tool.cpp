#include "i18n/globalize.h"
#include "settings/name_suggestions.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_file_check.h"

#include <QTest>

namespace {

// One line per problem: its code, the member's number and name, and for
// malformed JSON the line and column.
QStringList Summary(const std::vector<Problem>& problems)
{
    QStringList lines;
    for (const Problem& problem : problems) {
        QString line = QString::fromLatin1(ProblemCode(problem.kind));
        if (problem.position > 0) {
            line += QStringLiteral(" %1 %2").arg(problem.position).arg(QString::fromStdString(problem.name));
        }
        if (problem.kind == ProblemKind::MalformedJson) {
            line += QStringLiteral(" %1:%2").arg(problem.line).arg(problem.column);
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
        row("text takes anything but empty",
            Object({Host, "'WorkFolder': 'C:\\\\Área\\n'", "'AuditingFolder': ' '"}), "");
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
        row("empty file", "", "malformed-json 1:1");
        row("only blanks", "  \n ", "malformed-json 2:2");
        row("trailing comma, CR LF", "{\r\n    \"HostAddress\": \"https://h:1\",\r\n}\r\n", "malformed-json 3:1");
        row("line feed inside a string", "{\"WorkFolder\": \"a\nb\"}", "malformed-json 1:18");
        row("columns count characters", "{\"W\xC3\xB6\": 1 x}", "malformed-json 1:10");
        row("byte-order mark not counted", "\xEF\xBB\xBF{x}", "malformed-json 1:2");
        row("invalid UTF-8", "{\"HostAddress\": \"\xFF\"}", "malformed-json 1:18");
        row("text after the object", "{} x", "malformed-json 1:4");
        row("unclosed object", "{\n  \"HostAddress\": \"https://h:1\"", "malformed-json 2:31");
        row("comment", "{\n  // host\n  \"HostAddress\": \"https://h:1\"\n}", "malformed-json 2:3");
        row("NUL inside", QByteArray("{\"HostAddress\"\0: \"https://h:1\"}", 32), "malformed-json 1:15");
    }

    void problemsOfEachKind()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QCOMPARE(Summary(ReadSettingsText(SettingsCatalogue(), document.toStdString()).problems).join("; "), expected);
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
