#include "check_tool.h"
#include "globalize.h"
#include "name_suggestions.h"
#include "settings_file_check.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "settings_schema.h"
#include "value_validation.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <sstream>
#include <utility>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

Outcome Run(const QStringList& arguments, const std::string& input = {})
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    Outcome outcome;
    outcome.code = RunCheckTool(arguments, in, out, err);
    outcome.out = QString::fromStdString(out.str());
    outcome.err = QString::fromStdString(err.str());
    return outcome;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

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

// JSON values compared as text: Qt Test cannot print the library's type.
QString Text(const Json& json)
{
    return QString::fromStdString(json.dump());
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
    void init()
    {
        // Every run of the tool loads its language; direct calls expect English.
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
        QTest::newRow("unknown name, value not judged") << Object({Host, "'NotASetting': '?'"})
                                                        << QStringList{"unknown-name 2 NotASetting"};
        QTest::newRow("unknown name, empty value") << Object({Host, "'Foo': ''"})
                                                   << QStringList{"unknown-name 2 Foo", "empty-value 2 Foo"};
        QTest::newRow("invalid integer") << Object({Host, "'HttpTimeout': '-1'"})
                                         << QStringList{"invalid-value 2 HttpTimeout"};
        QTest::newRow("value ending in a line feed") << Object({Host, "'HttpTimeout': '30\\n'"})
                                                     << QStringList{"invalid-value 2 HttpTimeout"};
        QTest::newRow("Boolean with a leading blank") << Object({Host, "'SaveSpool': ' true'"})
                                                      << QStringList{"invalid-value 2 SaveSpool"};
        QTest::newRow("address with a path") << Object({"'HostAddress': 'https://h:1/api'"})
                                             << QStringList{"invalid-value 1 HostAddress"};
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
        QTest::newRow("literal true") << Object({Host, "'SaveSpool': true"})
                                      << QStringList{"non-string-value 2 SaveSpool"};
        QTest::newRow("null") << Object({Host, "'WorkFolder': null"})
                              << QStringList{"non-string-value 2 WorkFolder"};
        QTest::newRow("object") << Object({Host, "'WorkFolder': {'a': 'b'}"})
                                << QStringList{"non-string-value 2 WorkFolder"};
        QTest::newRow("array") << Object({Host, "'WorkFolder': ['a']"})
                               << QStringList{"non-string-value 2 WorkFolder"};
        QTest::newRow("HostAddress missing") << Object({"'SaveSpool': '1'"})
                                             << QStringList{"missing-host-address"};
        QTest::newRow("empty object") << QByteArray("{}") << QStringList{"missing-host-address"};
        QTest::newRow("empty text value") << Object({Host, "'WorkFolder': ''"})
                                          << QStringList{"empty-value 2 WorkFolder"};
        QTest::newRow("empty Boolean value") << Object({Host, "'SaveSpool': ''"})
                                             << QStringList{"empty-value 2 SaveSpool"};
        QTest::newRow("empty name") << Object({Host, "'': '1'"}) << QStringList{"empty-name 2 "};
        QTest::newRow("empty name and value") << Object({Host, "'': ''"})
                                              << QStringList{"empty-name-and-value 2 "};
        QTest::newRow("array document") << QByteArray("[]") << QStringList{"not-an-object"};
        QTest::newRow("string document") << QByteArray("\"HostAddress\"") << QStringList{"not-an-object"};
        QTest::newRow("null document") << QByteArray("null") << QStringList{"not-an-object"};
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
        QTest::newRow("missing colon") << QByteArray("{\"HostAddress\" \"x\"}") << QStringList{"malformed-json 1:18"};
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
        // Nothing may follow the value, not even the NUL byte the parser would stop at.
        QTest::newRow("NUL after the object") << QByteArray("{\"HostAddress\": \"https://h:1\"}\0x", 32)
                                              << QStringList{"malformed-json 1:31"};
        QTest::newRow("NUL inside") << QByteArray("{\"HostAddress\"\0: \"https://h:1\"}", 32)
                                    << QStringList{"malformed-json 1:15"};
        QTest::newRow("number beyond a double") << Object({Host, "'BlockCopies': 1e400"})
                                                << QStringList{"malformed-json 1:62"};
        // 64 levels of nesting are read; the 65th opening bracket is where it stops.
        QTest::newRow("nesting at the limit")
            << Object({Host, "'WorkFolder': " + QByteArray(63, '[') + QByteArray(63, ']')})
            << QStringList{"non-string-value 2 WorkFolder"};
        QTest::newRow("nesting beyond the limit")
            << Object({Host, "'WorkFolder': " + QByteArray(64, '[') + QByteArray(64, ']')})
            << QStringList{"malformed-json 1:120"};
    }

    void problemsOfEachKind()
    {
        QFETCH(QByteArray, document);
        QFETCH(QStringList, expected);
        QCOMPARE(Summary(CheckSettingsText(SettingsCatalogue(), document.toStdString())), expected);
    }

    void reportTextAndLanguage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("invalidName");
        QTest::addColumn<QString>("invalidValue");
        QTest::addColumn<QString>("alreadyExists");
        QTest::addColumn<QString>("valueRequired");

        const QStringList english{"Invalid configuration name.", "Invalid configuration value.",
                                  "A setting with this name already exists.", "The Value field is required."};
        const QStringList german{"Ungültiger Konfigurationsname.", "Ungültiger Konfigurationswert.",
                                 "Eine Einstellung mit diesem Namen existiert bereits.",
                                 "Das Feld Wert ist erforderlich."};
        const QList<std::pair<QStringList, QStringList>> rows{
            {{}, english},
            {{"--lang", "en-US"}, english},
            {{"--lang", "pt-BR"},
             {"Nome de configuração inválido.", "Valor de configuração inválido.",
              "Uma configuração com esse nome já existe.", "O campo Valor é obrigatório."}},
            {{"--lang", "es-ES"},
             {"Nombre de configuración no válido.", "Valor de configuración no válido.",
              "Ya existe un ajuste con este nombre.", "El campo Valor es obligatorio."}},
            {{"--lang", "de-DE"}, german},
            {{"--lang=de_de"}, german},
            {{"--lang", "fr-FR"},
             {"Nom de configuration invalide.", "Valeur de configuration invalide.",
              "Une configuration avec ce nom existe déjà.", "Le champ Valeur est obligatoire."}},
            {{"--lang", "it-IT"},
             {"Nome di configurazione non valido.", "Valore di configurazione non valido.",
              "Esiste già una configurazione con questo nome.", "Il campo Valore è obbligatorio."}},
            {{"--lang", "zh-CN"},
             {"配置名称无效。", "配置值无效。", "已存在具有此名称的设置。", "值 \"字段为必填字段。"}},
        };
        for (const auto& [options, texts] : rows) {
            QTest::newRow(qPrintable(options.isEmpty() ? QStringLiteral("default") : options.join(' ')))
                << options << texts[0] << texts[1] << texts[2] << texts[3];
        }
    }

    void reportTextAndLanguage()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, invalidName);
        QFETCH(QString, invalidValue);
        QFETCH(QString, alreadyExists);
        QFETCH(QString, valueRequired);

        const Outcome outcome =
            Run(options + QStringList{"validate", "-"},
                Object({Host, "'HostAdress': '1'", "'SaveSpool': 'yes'", "'SaveSpool': '1'",
                        "'WorkFolder': ''"})
                    .toStdString());
        QCOMPARE(outcome.code, CheckExit::Problems);
        QCOMPARE(outcome.err, QString());
        const QString expected =
            "<stdin>: member 2 \"HostAdress\": " + invalidName + " Did you mean \"HostAddress\"?\n"
            "<stdin>: member 3 \"SaveSpool\": " + invalidValue
            + " Expected true, false, 1 or 0, in any letter case; found \"yes\".\n"
              "<stdin>: member 4 \"SaveSpool\": " + alreadyExists + " Member 3 has the same name, \"SaveSpool\".\n"
              "<stdin>: member 5 \"WorkFolder\": " + valueRequired + "\n";
        QCOMPARE(outcome.out, expected);
    }

    void suggestions_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("letter missing") << "HostAdress" << QStringList{"HostAddress"};
        QTest::newRow("case and a letter missing") << "hostadres" << QStringList{"HostAddress"};
        QTest::newRow("letter missing at the end") << "SaveSpol" << QStringList{"SaveSpool"};
        QTest::newRow("letters swapped") << "EnabelProxy" << QStringList{"EnableProxy"};
        QTest::newRow("wrong letter") << "ForceMonoConvertion" << QStringList{"ForceMonoConversion"};
        QTest::newRow("letter doubled") << "SNMPQueryIntervall" << QStringList{"SNMPQueryInterval"};
        QTest::newRow("blank inside") << "Host Address" << QStringList{"HostAddress"};
        QTest::newRow("trailing blank") << "WorkFolder " << QStringList{"WorkFolder"};
        QTest::newRow("two mistakes in a long name") << "DisableBidirectionnal" << QStringList{"DisableBiDirectional"};
        QTest::newRow("part of a name") << "Proxy" << QStringList{"EnableProxy"};
        QTest::newRow("part of several names") << "Timeout" << QStringList{"HttpTimeout", "ZozadodoTimeout"};
        QTest::newRow("nearest first") << "Folder" << QStringList{"WorkFolder", "AuditingFolder"};
        QTest::newRow("too far from everything") << "xyz" << QStringList();
        QTest::newRow("start of a name") << "Save" << QStringList{"SaveSpool"};
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

    void jsonReport()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.json"));
        const QString bad = dir.filePath(QStringLiteral("bad.json"));
        const QString broken = dir.filePath(QStringLiteral("broken.json"));
        WriteFile(good, Object({Host}));
        WriteFile(bad, Object({Host, "'Hostadres': '1'", "'BlockCopies': 3"}));
        WriteFile(broken, "{\n  \"HostAddress\": \"https://h:1\",\n}");

        const Outcome outcome = Run({"validate", "--lang", "fr-FR", "--json", good, bad, broken});
        QCOMPARE(outcome.code, CheckExit::Problems);
        const Json report = Json::parse(outcome.out.toStdString());
        const Json expected = {
            {"valid", false},
            {"files",
             {{{"file", good.toStdString()}, {"valid", true}, {"problems", Json::array()}},
              {{"file", bad.toStdString()},
               {"valid", false},
               {"problems",
                {{{"code", "unknown-name"},
                  {"member", 2},
                  {"name", "Hostadres"},
                  {"message", "Nom de configuration invalide."},
                  {"detail", "Did you mean \"HostAddress\"?"},
                  {"suggestions", {"HostAddress"}}},
                 {{"code", "non-string-value"},
                  {"member", 3},
                  {"name", "BlockCopies"},
                  {"message", "Valeur de configuration invalide."},
                  {"detail", "Expected a JSON string; found the number 3 (write \"3\")."}}}}},
              {{"file", broken.toStdString()},
               {"valid", false},
               {"problems",
                {{{"code", "malformed-json"},
                  {"line", 3},
                  {"column", 1},
                  {"message", "Malformed JSON."},
                  {"detail", "Syntax error while parsing object key - unexpected '}'; expected string literal"}}}}}}}};
        QCOMPARE(QString::fromStdString(report.dump(2)), QString::fromStdString(expected.dump(2)));

        const Outcome unreadable = Run({"validate", "--json", good, dir.filePath(QStringLiteral("none.json"))});
        QCOMPARE(unreadable.code, CheckExit::UsageOrIo);
        const Json partial = Json::parse(unreadable.out.toStdString());
        QCOMPARE(Text(partial["valid"]), Text(Json(false)));
        QCOMPARE(Text(partial["files"][0]["valid"]), Text(Json(true)));
        QCOMPARE(Text(partial["files"][1]["valid"]), Text(Json(false)));
        QCOMPARE(Text(partial["files"][1]["error"]), Text(Json("No such file or directory")));
    }

};

QTEST_GUILESS_MAIN(TestCheckTool)
#include "tst_check_tool.moc"
