#include "globalize.h"
#include "setting_names.h"
#include "settings_catalogue.h"
#include "settings_document.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>


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

};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
