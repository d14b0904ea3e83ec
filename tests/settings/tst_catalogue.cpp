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

    void descriptionsFollowLanguage()
    {
        const SettingsMap english = GetSettingsMap();
        QCOMPARE(english.at("HostAddress").description, std::string("Address for connection to Orvane Print Host."));
        QCOMPARE(english.at("EnableAuditing").description, std::string());
        for (const auto& [name, mapping] : english) {
            if (name != SettingName::EnableAuditing) {
                QVERIFY2(!mapping.description.empty() && mapping.description != name + "Description", name.c_str());
            }
        }

        Globalize::LoadLanguage(1046);
        SettingsDataMapper();
        const SettingsMap portuguese = GetSettingsMap();
        QCOMPARE(portuguese.size(), std::size_t(56));
        QVERIFY(portuguese.at("HostAddress").description != english.at("HostAddress").description);
        QCOMPARE(portuguese.at("EnableAuditing").description, std::string());
        // A copy taken earlier keeps its texts.
        QCOMPARE(english.at("HostAddress").description, std::string("Address for connection to Orvane Print Host."));

        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        QCOMPARE(GetSettingsMap().at("HostAddress").description, english.at("HostAddress").description);
    }

    void findSetting_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("exact") << QByteArray("HostAddress") << QByteArray("HostAddress");
        QTest::newRow("lower case") << QByteArray("hostaddress") << QByteArray("HostAddress");
        QTest::newRow("upper case") << QByteArray("HOSTADDRESS") << QByteArray("HostAddress");
        QTest::newRow("mixed") << QByteArray("enablepasswordREMEMBER") << QByteArray("EnablePasswordRemember");
        QTest::newRow("trailing blank") << QByteArray("HostAddress ") << QByteArray();
        QTest::newRow("inner blank") << QByteArray("Host Address") << QByteArray();
        QTest::newRow("leading blank") << QByteArray(" HostAddress") << QByteArray();
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
