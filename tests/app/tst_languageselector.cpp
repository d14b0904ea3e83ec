#include "widget_test_support.h"

#include "basetablewidget.h"
#include "fonts.h"
#include "globalize.h"
#include "languageselectordialog.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "silentinstallhelperwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <memory>

class TestLanguageSelector : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LanguageSelectorDialog> selector;

    template <typename T>
    T* Child(const char* name) const
    {
        return selector->findChild<T*>(QString::fromLatin1(name));
    }

    void Open()
    {
        selector = std::make_unique<LanguageSelectorDialog>();
        selector->show();
        selector->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(selector.get()));
    }

    static bool AnyWindowVisible()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
    }

private slots:
    void initTestCase()
    {
        QuietOffscreenNotices();
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
    }

    void init()
    {
        // What start-up does before it shows the selector.
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        SettingsJson = nullptr;
        Open();
    }

    void cleanup()
    {
        if (selector) {
            delete selector->mainWindow();
        }
        selector.reset();
        QLocale::setDefault(QLocale::c());
    }

    void textsStayEnglishWhateverTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("pt_BR") << "pt_BR";
        QTest::newRow("de_DE") << "de_DE";
    }

    void textsStayEnglishWhateverTheLocale()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        LanguageSelectorDialog other;
        QCOMPARE(other.findChild<QPushButton*>(QStringLiteral("btnSelect"))->text(), QStringLiteral("Select"));
        QCOMPARE(other.findChild<QLabel*>(QStringLiteral("lblLanguageSelectorTitle"))->text(),
                 QStringLiteral("Choose language"));
        QCOMPARE(other.findChild<QComboBox*>(QStringLiteral("cbxLanguages"))->currentIndex(), 0);
    }

    void returnSelects_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        for (const char* focus : {"lblLanguageSelectorTitle", "cbxLanguages", "btnSelect", "btnClose"}) {
            QTest::newRow(qPrintable(QStringLiteral("Return on %1").arg(QLatin1String(focus))))
                << focus << int(Qt::Key_Return);
            QTest::newRow(qPrintable(QStringLiteral("Enter on %1").arg(QLatin1String(focus))))
                << focus << int(Qt::Key_Enter);
        }
    }

    void returnSelects()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        auto* target = selector->findChild<QWidget*>(focus);
        QVERIFY(target != nullptr);
        target->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

        QVERIFY(!selector->isVisible());
        SilentInstallHelperWindow* window = selector->mainWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QVERIFY(window->parentWidget() == nullptr);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lblSettings"))->text(), QStringLiteral("Configurations"));
        QCOMPARE(window->SettingsTable()->item(0, 2)->text(),
                 QStringLiteral("Address for connection to Orvane Print Host."));
    }

    void eachEntryOpensItsLanguage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("toolTips");
        QTest::addColumn<QString>("description");
        // The save-file dialog's own label; empty: anything but the English text.
        QTest::addColumn<QString>("fileNameLabel");
        QTest::newRow("en-US") << 0 << "Configurations" << QStringList{"Add", "Edit", "Delete", "Export"}
                               << "Address for connection to Orvane Print Host." << "File &name:";
        QTest::newRow("pt-BR") << 1 << "Configurações" << QStringList{"Adicionar", "Editar", "Excluir", "Exportar"}
                               << "Endereço para conexão com o Orvane Print Host." << "";
        QTest::newRow("es-ES") << 2 << "Configuraciones" << QStringList{"Añadir", "Editar", "Borrar", "Exportar"}
                               << "Dirección para la conexión con Orvane Print Host." << "";
        QTest::newRow("de-DE") << 3 << "Einstellungen"
                               << QStringList{"Hinzufügen", "Bearbeiten", "Löschen", "Exportieren"}
                               << "Adresse für die Verbindung mit Orvane Print Host." << "Datei&name:";
        QTest::newRow("fr-FR") << 4 << "Configurations" << QStringList{"Ajouter", "Modifier", "Supprimer", "Exporter"}
                               << "Adresse de connexion à Orvane Print Host." << "";
        QTest::newRow("it-IT") << 5 << "Impostazioni" << QStringList{"Aggiungi", "Modifica", "Elimina", "Esporta"}
                               << "Indirizzo per la connessione a Orvane Print Host." << "";
    }

    void eachEntryOpensItsLanguage()
    {
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QStringList, toolTips);
        QFETCH(QString, description);
        QFETCH(QString, fileNameLabel);
        Child<QComboBox>("cbxLanguages")->setCurrentIndex(index);
        QTest::mouseClick(Child<QPushButton>("btnSelect"), Qt::LeftButton);

        QVERIFY(!selector->isVisible());
        SilentInstallHelperWindow* window = selector->mainWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lblSettings"))->text(), title);
        QStringList shown;
        for (const char* name : {"btnAdd", "btnEdit", "btnDelete", "btnExport"}) {
            shown << window->findChild<QWidget*>(QString::fromLatin1(name))->toolTip();
        }
        QCOMPARE(shown, toolTips);
        QCOMPARE(window->SettingsTable()->item(0, 2)->text(), description);
        const QString label = QCoreApplication::translate("QFileDialog", "File &name:");
        if (fileNameLabel.isEmpty()) {
            QVERIFY2(label != QStringLiteral("File &name:"), qPrintable(label));
        } else {
            QCOMPARE(label, fileNameLabel);
        }
        // The selector itself was built in English and stays so.
        QCOMPARE(Child<QPushButton>("btnSelect")->text(), QStringLiteral("Select"));
    }

    void leavingWithoutSelecting_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("Escape with focus on Close") << "Escape on btnClose";
        QTest::newRow("Close button") << "button";
        QTest::newRow("title bar close") << "close";
    }

    void leavingWithoutSelecting()
    {
        QFETCH(QString, how);
        Child<QComboBox>("cbxLanguages")->setCurrentIndex(1);
        if (how == QLatin1String("Escape")) {
            QTest::keyClick(selector.get(), Qt::Key_Escape);
        } else if (how == QLatin1String("Escape on btnClose")) {
            Child<QWidget>("btnClose")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(Child<QWidget>("btnClose"), Qt::Key_Escape);
        } else if (how == QLatin1String("button")) {
            QTest::mouseClick(Child<QPushButton>("btnClose"), Qt::LeftButton);
        } else {
            QVERIFY(selector->close());
        }
        QVERIFY(!selector->isVisible());
        QVERIFY(selector->mainWindow() == nullptr);
        // No window is left, so the program's event loop ends (checked end to end).
        QVERIFY(!AnyWindowVisible());
        // The chosen language was not loaded.
        QCOMPARE(Globalize::Translate(QStringLiteral("Add")), QStringLiteral("Add"));
    }
};

QTEST_MAIN(TestLanguageSelector)
#include "tst_languageselector.moc"
