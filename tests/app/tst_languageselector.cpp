#include "tests/support/widget_test_support.h"

#include "dialogs/basetablewidget.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "app/languageselectordialog.h"
#include "app/silentinstallhelperwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLocale>

#include <algorithm>
#include <memory>

class TestLanguageSelector : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LanguageSelectorDialog> selector;

    template <typename T>
    T* Child(const QString& name) const
    {
        return selector->findChild<T*>(name);
    }

    // The main window's title, tool tips and HostAddress description; empty when none is shown.
    QStringList MainWindowTexts() const
    {
        SilentInstallHelperWindow* window = selector->mainWindow();
        if (window == nullptr || !window->isVisible() || window->parentWidget() != nullptr) {
            return {};
        }
        QStringList texts{window->findChild<QLabel*>(QStringLiteral("lblSettings"))->text()};
        for (const char* name : {"btnAdd", "btnEdit", "btnDelete", "btnExport"}) {
            texts << window->findChild<QWidget*>(QLatin1String(name))->toolTip();
        }
        return texts << window->SettingsTable()->item(0, 2)->text();
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
        // What start-up does before it shows the selector; the selector ignores the system locale.
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        SettingsJson = nullptr;
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        selector = std::make_unique<LanguageSelectorDialog>();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(Child<QPushButton>("btnSelect")->text(), QStringLiteral("Select"));
        QCOMPARE(Child<QLabel>("lblLanguageSelectorTitle")->text(), QStringLiteral("Choose language"));
        QCOMPARE(Child<QComboBox>("cbxLanguages")->currentIndex(), 0);
        selector->show();
        selector->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(selector.get()));
    }

    void cleanup()
    {
        delete selector->mainWindow();
        selector.reset();
    }

    // English last: its toolkit texts must replace those of an earlier choice.
    void eachEntryOpensItsLanguage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("texts");
        // The save-file dialog's own label; empty: anything but the English text.
        QTest::addColumn<QString>("fileNameLabel");
        QTest::newRow("pt-BR") << 1 << QStringList{"Configurações", "Adicionar",
                                                   "Editar",        "Excluir",
                                                   "Exportar",      "Endereço para conexão com o Orvane Print Host."}
                               << "";
        QTest::newRow("es-ES") << 2
                               << QStringList{"Configuraciones", "Añadir",
                                              "Editar",          "Borrar",
                                              "Exportar",        "Dirección para la conexión con Orvane Print Host."}
                               << "";
        QTest::newRow("de-DE") << 3 << QStringList{"Einstellungen", "Hinzufügen",
                                                   "Bearbeiten",    "Löschen",
                                                   "Exportieren",   "Adresse für die Verbindung mit Orvane Print Host."}
                               << "Datei&name:";
        QTest::newRow("fr-FR") << 4
                               << QStringList{"Configurations", "Ajouter",  "Modifier",
                                              "Supprimer",      "Exporter", "Adresse de connexion à Orvane Print Host."}
                               << "";
        QTest::newRow("it-IT") << 5 << QStringList{"Impostazioni", "Aggiungi",
                                                   "Modifica",     "Elimina",
                                                   "Esporta",      "Indirizzo per la connessione a Orvane Print Host."}
                               << "";
        QTest::newRow("en-US") << 0 << QStringList{"Configurations", "Add",
                                                   "Edit",           "Delete",
                                                   "Export",         "Address for connection to Orvane Print Host."}
                               << "File &name:";
    }

    void eachEntryOpensItsLanguage()
    {
        QFETCH(int, index);
        QFETCH(QStringList, texts);
        QFETCH(QString, fileNameLabel);
        Child<QComboBox>("cbxLanguages")->setCurrentIndex(index);
        QTest::mouseClick(Child<QPushButton>("btnSelect"), Qt::LeftButton);
        QVERIFY(!selector->isVisible());
        QCOMPARE(MainWindowTexts(), texts);
#ifndef Q_OS_WIN // Windows ships no toolkit translations: its own save dialog speaks the system's language.
        const QString label = QCoreApplication::translate("QFileDialog", "File &name:");
        QVERIFY2(fileNameLabel.isEmpty() ? label != QStringLiteral("File &name:") : label == fileNameLabel,
                 qPrintable(label));
#else
        Q_UNUSED(fileNameLabel);
#endif
        // The selector itself was built in English and stays so.
        QCOMPARE(Child<QPushButton>("btnSelect")->text(), QStringLiteral("Select"));
    }

    // Return or Enter selects wherever the focus is; leaving loads nothing and leaves
    // no window, so the program ends (Escape with the default focus runs end to end).
    void returnSelectsOthersLeave_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");       // 0: a click
        QTest::addColumn<QString>("title"); // empty: no window
        for (const char* focus : {"lblLanguageSelectorTitle", "cbxLanguages", "btnSelect", "btnClose"}) {
            QTest::addRow("Return on %s", focus) << focus << int(Qt::Key_Return) << "Configurações";
            QTest::addRow("Enter on %s", focus) << focus << int(Qt::Key_Enter) << "Configurações";
        }
        QTest::newRow("Escape on btnClose") << "btnClose" << int(Qt::Key_Escape) << "";
        QTest::newRow("click on btnClose") << "btnClose" << 0 << "";
    }

    void returnSelectsOthersLeave()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, title);
        Child<QComboBox>("cbxLanguages")->setCurrentIndex(1);
        auto* target = Child<QWidget>(focus);
        target->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), target);
        if (key == 0) {
            QTest::mouseClick(target, Qt::LeftButton);
        } else {
            QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        }
        QVERIFY(!selector->isVisible());
        QCOMPARE(MainWindowTexts().value(0), title);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); }),
                 !title.isEmpty());
        QCOMPARE(Globalize::Translate(QStringLiteral("Add")), QString(title.isEmpty() ? "Add" : "Adicionar"));
    }
};

QTEST_MAIN(TestLanguageSelector)
#include "tst_languageselector.moc"
