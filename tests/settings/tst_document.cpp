#include "globalize.h"
#include "setting_names.h"
#include "settings_catalogue.h"
#include "settings_document.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDocument : public QObject {
    Q_OBJECT

private:
    SettingsRows rows;

    void freshDocument()
    {
        rows.clear();
        SettingsJson = nullptr;
        SetSettingValue(rows, SettingName::HostAddress, "https://127.0.0.1:56569");
    }

private slots:
    void initTestCase()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void init() { freshDocument(); }

    void storedValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("boolean 1") << "SaveSpool" << "1" << "true";
        QTest::newRow("boolean 0") << "SaveSpool" << "0" << "false";
        QTest::newRow("boolean TRUE kept") << "SaveSpool" << "TRUE" << "TRUE";
        QTest::newRow("boolean False kept") << "EnableProxy" << "False" << "False";
        QTest::newRow("integer 1 kept") << "BlockCopies" << "1" << "1";
        QTest::newRow("integer 007 kept") << "BlockCopies" << "007" << "007";
        QTest::newRow("text 1 kept") << "WorkFolder" << "1" << "1";
        // A name outside the catalogue is stored as given, never rewritten.
        QTest::newRow("unknown name") << "NotASetting" << "1" << "1";
    }

    void storedValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, stored);
        SetSettingValue(rows, name.toStdString(), value.toStdString());
        QCOMPARE(QString::fromStdString(rows.at(name.toStdString())), stored);
        QVERIFY(SettingsJson[name.toStdString()].is_string());
        QCOMPARE(QString::fromStdString(SettingsJson[name.toStdString()].get<std::string>()), stored);
        QCOMPARE(SettingsJson.size(), rows.size());
    }

    void insertionOrderAndTableOrder()
    {
        SetSettingValue(rows, "ReleaserAddress", "https://10.0.0.2:8443");
        SetSettingValue(rows, "BlockCopies", "5");
        auto jsonNames = [] {
            QStringList names;
            for (const auto& item : SettingsJson.items()) {
                names << QString::fromStdString(item.key());
            }
            return names;
        };
        auto rowNames = [this] {
            QStringList names;
            for (const auto& [name, value] : rows) {
                names << QString::fromStdString(name);
            }
            return names;
        };
        QCOMPARE(jsonNames(), QStringList({"HostAddress", "ReleaserAddress", "BlockCopies"}));
        QCOMPARE(rowNames(), QStringList({"BlockCopies", "HostAddress", "ReleaserAddress"}));

        SetSettingValue(rows, "ReleaserAddress", "https://10.0.0.3:8443");
        QCOMPARE(jsonNames(), QStringList({"HostAddress", "ReleaserAddress", "BlockCopies"}));
        QCOMPARE(SettingsJson["ReleaserAddress"].get<std::string>(), std::string("https://10.0.0.3:8443"));

        RemoveSetting(rows, "ReleaserAddress");
        QCOMPARE(jsonNames(), QStringList({"HostAddress", "BlockCopies"}));
        QCOMPARE(rowNames(), QStringList({"BlockCopies", "HostAddress"}));
        RemoveSetting(rows, "ReleaserAddress");
        RemoveSetting(rows, "blockcopies"); // removal matches exactly
        QCOMPARE(jsonNames(), QStringList({"HostAddress", "BlockCopies"}));

        SetSettingValue(rows, "ReleaserAddress", "https://10.0.0.2:8443");
        QCOMPARE(jsonNames(), QStringList({"HostAddress", "BlockCopies", "ReleaserAddress"}));
    }

    void exactFileBytes()
    {
        SetSettingValue(rows, "WorkFolder", "C:\\Orvane\\Área de trabalho \"x\"/\t\b\f\r\n\x01\x1f\x7f");
        SetSettingValue(rows, "SaveSpool", "1");
        SetSettingValue(rows, "AuditingFolder", "审计 😀");
        RemoveSetting(rows, "SaveSpool");
        SetSettingValue(rows, "SaveSpool", "0");

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.json"));
        SaveJsonToWFile(path.toStdWString(), SettingsJson);
        const QByteArray expected =
            "{\r\n"
            "    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
            "    \"WorkFolder\": \"C:\\\\Orvane\\\\\xC3\x81rea de trabalho \\\"x\\\"/\\t\\b\\f\\r\\n\\u0001\\u001f\x7f\",\r\n"
            "    \"AuditingFolder\": \"\xE5\xAE\xA1\xE8\xAE\xA1 \xF0\x9F\x98\x80\",\r\n"
            "    \"SaveSpool\": \"false\"\r\n"
            "}\r\n";
        QCOMPARE(ReadFile(path), expected);

        // A second export replaces the whole file.
        RemoveSetting(rows, "WorkFolder");
        RemoveSetting(rows, "AuditingFolder");
        RemoveSetting(rows, "SaveSpool");
        SaveJsonToWFile(path.toStdWString(), SettingsJson);
        QCOMPARE(ReadFile(path), QByteArray("{\r\n    \"HostAddress\": \"https://127.0.0.1:56569\"\r\n}\r\n"));

        RemoveSetting(rows, "HostAddress");
        SaveJsonToWFile(path.toStdWString(), SettingsJson);
        QCOMPARE(ReadFile(path), QByteArray("{}\r\n"));
    }

    // The failure is an I/O failure of the stream category, as a stream's would be;
    // how every kind of target is written or refused is the export's test on a
    // real file system.
    void emptyPathFailsToOpen()
    {
        try {
            SaveJsonToWFile(std::wstring(), SettingsJson);
            QFAIL("no exception");
        } catch (const std::ios_base::failure& error) {
            QCOMPARE(QString::fromUtf8(error.what()),
                     QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: "
                                    "No such file or directory: "));
            QVERIFY(error.code() == std::io_errc::stream);
        }
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
