#include "i18n/globalize.h"
#include "settings/setting_names.h"
#include "settings/settings_catalogue.h"
#include "settings/value_validation.h"

#include <QTest>

class TestValidation : public QObject {
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
            QVERIFY2(name == SettingName::EnableAuditing
                         ? mapping.description.empty()
                         : mapping.description != name + "Description" && !mapping.description.empty(),
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

    void rules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("invalid");

        const QList<std::tuple<const char*, const char*, const char*, bool>> rows = {
            {"integer", "HttpTimeout", "30", false},
            {"integer negative", "HttpTimeout", "-1", true},
            {"integer leading blank", "HttpTimeout", " 30", true},
            {"integer empty", "HttpTimeout", "", true},
            {"integer trailing line feed", "HttpTimeout", "30\n", true},
            {"integer non-ASCII digits", "HttpTimeout", "\u0663\u0660", true},
            {"integer huge", "BlockCopies", "123456789012345678901234567890", false},
            {"cache 15", "ContingencyPrinterCache", "15", false},
            {"cache 20", "ContingencyPrinterCache", "20", false},
            {"cache 21", "ContingencyPrinterCache", "21", true},
            {"cache 05", "ContingencyPrinterCache", "05", true},
            {"cache 20 with line feed", "ContingencyPrinterCache", "20\n", true},
            {"cache lower-case name", "contingencyprintercache", "21", true},
            {"ordinary integer 21", "BlockCopies", "21", false},
            {"boolean true", "SaveSpool", "true", false},
            {"boolean 0", "SaveSpool", "0", false},
            {"boolean 1", "SaveSpool", "1", false},
            {"boolean 2", "SaveSpool", "2", true},
            {"boolean trailing blank", "SaveSpool", "true ", true},
            {"boolean empty", "SaveSpool", "", true},
            {"boolean combined", "SaveSpool", "truefalse", true},
            {"boolean long s look-alike", "SaveSpool", "fal\u017Fe", true},
            {"boolean mixed case", "SaveSpool", "tRuE", false},
            {"address http", "HostAddress", "http://10.0.0.1:8080", false},
            {"address host name", "ReleaserAddress", "https://print-srv.corp.local:443", false},
            {"address without port", "HostAddress", "https://127.0.0.1", true},
            {"address trailing slash", "HostAddress", "https://127.0.0.1:56569/", true},
            {"address upper-case scheme", "HostAddress", "HTTPS://127.0.0.1:56569", true},
            {"address user part", "HostAddress", "https://user@host:1", true},
            {"address empty port", "HostAddress", "https://host:", true},
            {"address line feed", "HostAddress", "https://host:1\n", true},
            {"text blanks only", "WorkFolder", "   ", false},
            {"text empty", "WorkFolder", "", false},
            {"text control characters", "AuditingFolder", "a\tb\nc", false},
            // Names are found in any letter case, but only a-z fold.
            {"name in lower case", "hostaddress", "https://h:1", false},
            {"name in mixed case", "enablepasswordREMEMBER", "1", false},
            {"unknown name", "NoSuchSetting", "1", true},
            {"name with blank", "SaveSpool ", "1", true},
            {"empty name", "", "1", true},
            {"name with non-ASCII look-alike", "Save\u017Fpool", "true", true},
            {"at sign is not a folded backtick", "@LLOWJOBTITLECHANGE", "1", true},
        };
        for (const auto& [row, name, value, invalid] : rows) {
            QTest::newRow(row) << QString::fromUtf8(name) << QString::fromUtf8(value) << invalid;
        }
    }

    void rules()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, invalid);
        QCOMPARE(IsSettingValueInvalid(GetSettingsMap(), name.toStdString(), value), invalid);
    }

    // No catalogue setting is Decimal; the rule itself still works on a catalogue
    // that has one. An unknown kind refuses nothing.
    void decimalRule()
    {
        SettingsMap map;
        map["Ratio"] = SettingMapping{SettingValueKind::Decimal, {}, true};
        map["Other"] = SettingMapping{static_cast<SettingValueKind>(9), {}, true};
        for (const auto& [value, invalid] : {std::pair{"1.5", false}, std::pair{"10.25", false}, std::pair{"1", true},
                                             std::pair{".5", true}, std::pair{"1,5", true}, std::pair{"1.", true}}) {
            QCOMPARE(IsSettingValueInvalid(map, "ratio", QString::fromLatin1(value)), invalid);
            QVERIFY(!IsSettingValueInvalid(map, "Other", QString::fromLatin1(value)));
        }
    }
};

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
