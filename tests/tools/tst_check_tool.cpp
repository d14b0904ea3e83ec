#include "globalize.h"
#include "name_suggestions.h"
#include "settings_catalogue.h"
#include "settings_file_check.h"

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
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("exported file") << QByteArray("{\r\n    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                                     "    \"SaveSpool\": \"true\"\r\n}\r\n")
                                       << QStringList();
        QTest::newRow("any order, compact, Boolean in capitals")
            << QByteArray("{\"SaveSpool\":\"FALSE\",\"HostAddress\":\"http://printhost.example:80\","
                          "\"BlockCopies\":\"007\"}")
            << QStringList();
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF{\"HostAddress\": \"https://h:1\"}")
                                         << QStringList();
        QTest::newRow("text takes anything but empty")
            << Object({Host, "'WorkFolder': 'C:\\\\Área\\n'", "'AuditingFolder': ' '"}) << QStringList();
        QTest::newRow("unknown name") << Object({Host, "'HostAdress': 'https://h:1'"})
                                      << QStringList{"unknown-name 2 HostAdress"};
        QTest::newRow("unknown name, empty value") << Object({Host, "'Foo': ''"})
                                                   << QStringList{"unknown-name 2 Foo", "empty-value 2 Foo"};
        QTest::newRow("invalid integer") << Object({Host, "'HttpTimeout': '-1'"})
                                         << QStringList{"invalid-value 2 HttpTimeout"};
        QTest::newRow("cache above 20, name in other case")
            << Object({Host, "'contingencyPrinterCache': '21'"})
            << QStringList{"name-case 2 contingencyPrinterCache", "invalid-value 2 contingencyPrinterCache"};
        QTest::newRow("HostAddress in other case is not missing") << Object({"'hostaddress': 'https://h:1'"})
                                                                  << QStringList{"name-case 1 hostaddress"};
        QTest::newRow("duplicate") << Object({Host, "'SaveSpool': '1'", "'SaveSpool': '0'"})
                                   << QStringList{"duplicate-name 3 SaveSpool"};
        QTest::newRow("duplicate in other case")
            << Object({Host, "'SaveSpool': '1'", "'SAVESPOOL': '0'"})
            << QStringList{"duplicate-name 3 SAVESPOOL", "name-case 3 SAVESPOOL"};
        QTest::newRow("duplicate HostAddress") << Object({Host, Host}) << QStringList{"duplicate-name 2 HostAddress"};
        QTest::newRow("number") << Object({Host, "'BlockCopies': 5"})
                                << QStringList{"non-string-value 2 BlockCopies"};
        QTest::newRow("empty text value") << Object({Host, "'WorkFolder': ''"})
                                          << QStringList{"empty-value 2 WorkFolder"};
        QTest::newRow("empty name") << Object({Host, "'': '1'"}) << QStringList{"empty-name 2 "};
        QTest::newRow("empty name and value") << Object({Host, "'': ''"})
                                              << QStringList{"empty-name-and-value 2 "};
        QTest::newRow("every problem, in member order")
            << Object({"'SaveSpol': '1'", "'HttpTimeout': 30", "'savespool': 'yes'",
                       "'SaveSpool': '1'"})
            << QStringList{"unknown-name 1 SaveSpol", "non-string-value 2 HttpTimeout", "name-case 3 savespool",
                           "invalid-value 3 savespool", "duplicate-name 4 SaveSpool", "missing-host-address"};

        QTest::newRow("empty file") << QByteArray() << QStringList{"malformed-json 1:1"};
        QTest::newRow("only blanks") << QByteArray("  \n ") << QStringList{"malformed-json 2:2"};
        QTest::newRow("trailing comma, CR LF")
            << QByteArray("{\r\n    \"HostAddress\": \"https://h:1\",\r\n}\r\n") << QStringList{"malformed-json 3:1"};
        // The parser stops at the end of the token it did not expect.
        QTest::newRow("line feed inside a string") << QByteArray("{\"WorkFolder\": \"a\nb\"}")
                                                   << QStringList{"malformed-json 1:18"};
        QTest::newRow("columns count characters") << QByteArray("{\"W\xC3\xB6\": 1 x}")
                                                  << QStringList{"malformed-json 1:10"};
        QTest::newRow("byte-order mark not counted") << QByteArray("\xEF\xBB\xBF{x}")
                                                     << QStringList{"malformed-json 1:2"};
        QTest::newRow("invalid UTF-8") << QByteArray("{\"HostAddress\": \"\xFF\"}")
                                       << QStringList{"malformed-json 1:18"};
        QTest::newRow("text after the object") << QByteArray("{} x") << QStringList{"malformed-json 1:4"};
        QTest::newRow("unclosed object") << QByteArray("{\n  \"HostAddress\": \"https://h:1\"")
                                         << QStringList{"malformed-json 2:31"};
        QTest::newRow("comment") << QByteArray("{\n  // host\n  \"HostAddress\": \"https://h:1\"\n}")
                                 << QStringList{"malformed-json 2:3"};
        QTest::newRow("NUL inside") << QByteArray("{\"HostAddress\"\0: \"https://h:1\"}", 32)
                                    << QStringList{"malformed-json 1:15"};
    }

    void problemsOfEachKind()
    {
        QFETCH(QByteArray, document);
        QFETCH(QStringList, expected);
        QCOMPARE(Summary(CheckSettingsText(SettingsCatalogue(), document.toStdString())), expected);
    }

    void suggestions_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("letter missing") << "HostAdress" << QStringList{"HostAddress"};
        QTest::newRow("case and a letter missing") << "hostadres" << QStringList{"HostAddress"};
        QTest::newRow("letters swapped") << "EnabelProxy" << QStringList{"EnableProxy"};
        QTest::newRow("blank inside") << "Host Address" << QStringList{"HostAddress"};
        QTest::newRow("two mistakes in a long name") << "DisableBidirectionnal" << QStringList{"DisableBiDirectional"};
        QTest::newRow("part of several names") << "Timeout" << QStringList{"HttpTimeout", "ZozadodoTimeout"};
        QTest::newRow("nearest first") << "Folder" << QStringList{"WorkFolder", "AuditingFolder"};
        QTest::newRow("too far from everything") << "xyz" << QStringList();
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
