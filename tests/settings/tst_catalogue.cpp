#include "globalize.h"
#include "setting_names.h"
#include "settings_catalogue.h"

#include <QTest>

#include <algorithm>

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    // Every setting but EnableAuditing has a description of its own, in the loaded language.
    void descriptionsFollowLanguage()
    {
        const std::string english = "Address for connection to Orvane Print Host.";
        for (const auto& [name, mapping] : GetSettingsMap()) {
            QVERIFY2(name == SettingName::EnableAuditing ? mapping.description.empty()
                                                         : mapping.description != name + "Description"
                         && !mapping.description.empty(),
                     name.c_str());
        }
        QCOMPARE(GetSettingsMap().at("HostAddress").description, english);
        Globalize::LoadLanguage(1046);
        SettingsDataMapper();
        QVERIFY(GetSettingsMap().at("HostAddress").description != english);
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        QCOMPARE(GetSettingsMap().at("HostAddress").description, english);
    }

    void findSetting_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("exact") << QByteArray("HostAddress") << QByteArray("HostAddress");
        QTest::newRow("lower case") << QByteArray("hostaddress") << QByteArray("HostAddress");
        QTest::newRow("mixed") << QByteArray("enablepasswordREMEMBER") << QByteArray("EnablePasswordRemember");
        QTest::newRow("trailing blank") << QByteArray("HostAddress ") << QByteArray();
        QTest::newRow("prefix only") << QByteArray("Host") << QByteArray();
        QTest::newRow("empty") << QByteArray("") << QByteArray();
        // Only a-z fold: a dotless capital I or a Kelvin sign does not stand for a letter.
        QTest::newRow("non-ASCII look-alike") << QByteArray("Saveſpool") << QByteArray();
        QTest::newRow("non-letter bytes differ") << QByteArray("SaveSpool\0", 10) << QByteArray();
        QTest::newRow("at sign is not a folded backtick") << QByteArray("@LLOWJOBTITLECHANGE") << QByteArray();
    }

    void findSetting()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, expected);
        const SettingsMap map = GetSettingsMap();
        const auto found = FindSetting(map, name.toStdString());
        if (expected.isEmpty()) {
            QVERIFY(found == map.end());
        } else {
            QVERIFY(found != map.end());
            QCOMPARE(QByteArray::fromStdString(found->first), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
