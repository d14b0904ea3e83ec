#include "widget_test_support.h"

#include "basetablewidget.h"
#include "fonts.h"
#include "globalize.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "fileexporteddialog.h"
#include "fileproblemsdialog.h"
#include "languageselectordialog.h"
#include "removesettingsdialog.h"
#include "replacesettingsdialog.h"
#include "setting_names.h"
#include "settingsdialog.h"
#include "silentinstallhelperwindow.h"

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QTextEdit>
#include <QFile>
#include <QFileDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>


#include <algorithm>
#include <iterator>
#include <memory>

namespace {

const QString HostAddressDescription = QStringLiteral("Address for connection to Orvane Print Host.");

// What a modal dialog showed when it opened.
struct ModalView {
    bool opened = false;
    QString className;
    QString title;
    QString name;
    bool nameEnabled = true;
    QString value;
};

ModalView Observe(QWidget* modal)
{
    ModalView view;
    view.opened = true;
    view.className = QString::fromLatin1(modal->metaObject()->className());
    if (auto* title = modal->findChild<QLabel*>(QStringLiteral("lblSettingActionTitle"))) {
        view.title = title->text();
    }
    if (auto* name = modal->findChild<QLineEdit*>(QStringLiteral("txbSettingName"))) {
        view.name = name->text();
        view.nameEnabled = name->isEnabled();
    }
    if (auto* value = modal->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"))) {
        view.value = value->text();
    }
    return view;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SilentInstallHelperWindow> window;

    template <typename T>
    T* Child(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* Button(const char* name) const { return Child<QToolButton>(name); }
    QTableWidget* Table() const { return window->SettingsTable(); }

    QStringList Names() const { return ColumnTexts(Table(), 0); }

    int RowOf(const QString& name) const { return Names().indexOf(name); }

    // Adds a setting the way a user does: the add button, typing, the action button.
    // With `paste`, name and value come through the clipboard and the paste key;
    // `message` receives the validation message shown at the end.
    bool AddThroughEditor(const QString& name, const QString& value, bool paste = false, QString* message = nullptr)
    {
        bool actionEnabled = false;
        auto enter = [paste](QLineEdit* edit, const QString& text) {
            if (paste) {
                QGuiApplication::clipboard()->setText(text);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            } else {
                QTest::keyClicks(edit, text);
            }
        };
        auto fillIn = [&](QWidget* dialog) {
            auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName"));
            auto* valueEdit = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"));
            auto* action = dialog->findChild<QPushButton*>(QStringLiteral("btnAction"));
            auto* shown = dialog->findChild<QTextEdit*>();
            if (nameEdit == nullptr || valueEdit == nullptr || action == nullptr || shown == nullptr) {
                return;
            }
            enter(nameEdit, name);
            ClosePopups();
            enter(valueEdit, value);
            // Nothing is cut or dropped: the field holds every character entered.
            actionEnabled = action->isEnabled() && valueEdit->text() == value;
            if (message != nullptr) {
                *message = shown->isVisible() ? shown->toPlainText() : QString();
            }
            QTest::keyClick(valueEdit, Qt::Key_Return);
        };
        const bool opened = RunWithModal([this] { QTest::mouseClick(Button("btnAdd"), Qt::LeftButton); }, fillIn);
        return opened && actionEnabled && RowOf(name) >= 0;
    }

    // Exports through the button and the save dialog; returns the notice left open.
    QWidget* ExportTo(const QString& path, QString* filters = nullptr)
    {
        RunWithModal([this] { QTest::mouseClick(Button("btnExport"), Qt::LeftButton); }, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                return;
            }
            if (filters != nullptr) {
                *filters = dialog->nameFilters().join(QLatin1Char('|'));
            }
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        return QApplication::activeModalWidget();
    }

    static QByteArray FileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static bool WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    // The open notice: its title and info, and each row as "name|value|problem".
    static QStringList NoticeLines(QWidget* notice)
    {
        QStringList lines;
        if (notice == nullptr || QString::fromLatin1(notice->metaObject()->className()) != "FileProblemsDialog") {
            return {QStringLiteral("<no notice>")};
        }
        lines << notice->findChild<QLabel*>(QStringLiteral("lblFileProblemsTitle"))->text()
              << notice->findChild<QLabel*>(QStringLiteral("lblFileProblemsInfo"))->text();
        auto* table = notice->findChild<QTableWidget*>(QStringLiteral("tblProblems"));
        for (int row = 0; table->isVisibleTo(notice) && row < table->rowCount(); ++row) {
            lines << table->item(row, 0)->text() + '|' + table->item(row, 1)->text() + '|' + table->item(row, 2)->text();
        }
        return lines;
    }

    void SelectRowByClick(int row, int column = 0)
    {
        QTableWidget* table = Table();
        const QRect cell = table->visualItemRect(table->item(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

private slots:
    void initTestCase()
    {
        QuietOffscreenNotices();
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsJson = nullptr;
        window = std::make_unique<SilentInstallHelperWindow>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup()
    {
        window.reset();
        Globalize::LoadLanguage(DefaultLocaleId);
    }

    void startsWithHostAddressOnly()
    {
        QTableWidget* table = Table();
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->columnCount(), 3);
        const QStringList expected{QStringLiteral("HostAddress"), QStringLiteral("https://127.0.0.1:56569"),
                                   HostAddressDescription};
        for (int column = 0; column < 3; ++column) {
            QVERIFY(table->item(0, column) != nullptr);
            QCOMPARE(table->item(0, column)->text(), expected[column]);
            QCOMPARE(table->item(0, column)->toolTip(), expected[column]);
        }
        QVERIFY(table->selectedItems().isEmpty());
        QCOMPARE(SettingsJson.dump(), std::string("{\"HostAddress\":\"https://127.0.0.1:56569\"}"));

        QVERIFY(Button("btnAdd")->isEnabled());
        QVERIFY(Button("btnExport")->isEnabled());
        QVERIFY(!Button("btnEdit")->isEnabled());
        QVERIFY(!Button("btnDelete")->isEnabled());

        QCOMPARE(QApplication::focusWidget(), Child<QLabel>("lblSettings"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Orvane Print Agent - Silent Install Helper"));
        QCOMPARE(Child<QLabel>("lblSettings")->text(), QStringLiteral("Configurations"));


        // Icon-only buttons: screen readers announce the tool tip.
        const QStringList toolTips{"Add", "Edit", "Delete", "Export"};
        const char* names[] = {"btnAdd", "btnEdit", "btnDelete", "btnExport"};
        for (int i = 0; i < 4; ++i) {
            QToolButton* button = Button(names[i]);
            QCOMPARE(button->toolTip(), toolTips[i]);
            QCOMPARE(button->accessibleName(), button->toolTip());
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->iconSize(), QSize(22, 22));
        }
    }

    void rowsInByteWiseNameOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("values");
        // Byte order puts "SNMP..." before "Save..." and both after "HostAddress".
        QTest::newRow("ascending") << QStringList{"BlockCopies", "SNMPQueryInterval", "SaveSpool", "XLSInsertionMode"}
                                   << QStringList{"2", "30", "0", "1"};
        QTest::newRow("descending") << QStringList{"XLSInsertionMode", "SaveSpool", "SNMPQueryInterval", "BlockCopies"}
                                    << QStringList{"1", "0", "30", "2"};
        QTest::newRow("mixed") << QStringList{"SaveSpool", "BlockCopies", "XLSInsertionMode", "SNMPQueryInterval"}
                               << QStringList{"0", "2", "1", "30"};
    }

    void rowsInByteWiseNameOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY2(AddThroughEditor(names[i], values[i]), qPrintable(names[i]));
        }
        QCOMPARE(Names(),
                 (QStringList{"BlockCopies", "HostAddress", "SNMPQueryInterval", "SaveSpool", "XLSInsertionMode"}));
        QCOMPARE(ColumnTexts(Table(), 1),
                 (QStringList{"2", "https://127.0.0.1:56569", "30", "false", "1"}));
        // Every known setting has its description, taken from the catalogue.
        const SettingsMap catalogue = GetSettingsMap();
        const QStringList descriptions = ColumnTexts(Table(), 2);
        for (int row = 0; row < Names().size(); ++row) {
            QCOMPARE(descriptions[row],
                     QString::fromStdString(catalogue.at(Names()[row].toStdString()).description));
        }
        // The export keeps the order of insertion instead.
        QStringList jsonOrder;
        for (const auto& item : SettingsJson.items()) {
            jsonOrder << QString::fromStdString(item.key());
        }
        QCOMPARE(jsonOrder, QStringList{"HostAddress"} + names);
        // Edit and delete stay off after every refill.
        QVERIFY(!Button("btnEdit")->isEnabled());
        QVERIFY(!Button("btnDelete")->isEnabled());
        QVERIFY(Table()->selectedItems().isEmpty());
    }

    void selectionDrivesEditAndDelete()
    {
        QVERIFY(AddThroughEditor("SaveSpool", "1"));

        SelectRowByClick(RowOf("HostAddress"), 1);
        QVERIFY(Button("btnEdit")->isEnabled());
        QVERIFY(!Button("btnDelete")->isEnabled());
        QVERIFY(window->SettingsTable()->HasRowSelection());

        SelectRowByClick(RowOf("SaveSpool"), 2);
        QVERIFY(Button("btnEdit")->isEnabled());
        QVERIFY(Button("btnDelete")->isEnabled());

        // A selection made by the program counts as well.
        Table()->selectRow(RowOf("HostAddress"));
        QVERIFY(!Button("btnDelete")->isEnabled());
        QVERIFY(Button("btnEdit")->isEnabled());

        // Clearing the selection leaves the buttons as they were.
        Table()->clearSelection();
        QVERIFY(Button("btnEdit")->isEnabled());
        QVERIFY(!Button("btnDelete")->isEnabled());
    }

    void editRequests_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("opens");
        for (const char* trigger : {"Return on window", "Enter on window", "Return in table", "Enter in table",
                                    "edit button"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, SaveSpool").arg(QLatin1String(trigger))))
                << trigger << "SaveSpool" << true;
            QTest::newRow(qPrintable(QStringLiteral("%1, HostAddress").arg(QLatin1String(trigger))))
                << trigger << "HostAddress" << true;
            QTest::newRow(qPrintable(QStringLiteral("%1, nothing selected").arg(QLatin1String(trigger))))
                << trigger << "" << false;
        }
    }

    void editRequests()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, selected);
        QFETCH(bool, opens);
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        if (!selected.isEmpty()) {
            SelectRowByClick(RowOf(selected));
        }
        QWidget* target = trigger.endsWith(QLatin1String("in table")) ? static_cast<QWidget*>(Table()) : window.get();
        const Qt::Key key = trigger.startsWith(QLatin1String("Enter")) ? Qt::Key_Enter : Qt::Key_Return;
        const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;

        ModalView view;
        const bool opened = RunWithModal(
            [&] {
                if (trigger == QLatin1String("edit button")) {
                    QTest::mouseClick(Button("btnEdit"), Qt::LeftButton);
                } else {
                    QTest::keyClick(target, key, modifiers);
                }
            },
            [&](QWidget* modal) { view = Observe(modal); });

        QCOMPARE(opened, opens);
        if (opens) {
            QCOMPARE(view.className, QStringLiteral("SettingsDialog"));
            QCOMPARE(view.title, QStringLiteral("Edit record"));
            QCOMPARE(view.name, selected);
            QVERIFY(!view.nameEnabled);
            QCOMPARE(view.value, Table()->item(RowOf(selected), 1)->text());
        }
        // Closing the editor without saving changes nothing.
        QCOMPARE(Names(), (QStringList{"HostAddress", "SaveSpool"}));
        QCOMPARE(SettingsJson.size(), std::size_t(2));
    }

    void editSavesNewValue()
    {
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        SelectRowByClick(RowOf("SaveSpool"));
        bool saved = false;
        QVERIFY(RunWithModal([&] { QTest::keyClick(window.get(), Qt::Key_Return); },
                             [&](QWidget* dialog) {
                                 auto* value = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"));
                                 auto* action = dialog->findChild<QPushButton*>(QStringLiteral("btnAction"));
                                 value->clear();
                                 QTest::keyClicks(value, QStringLiteral("0"));
                                 saved = action->isEnabled();
                                 action->click();
                             }));
        QVERIFY(saved);
        QCOMPARE(Table()->item(RowOf("SaveSpool"), 1)->text(), QStringLiteral("false"));
        QCOMPARE(SettingsJson["SaveSpool"].get<std::string>(), std::string("false"));
        // The save refilled the table: nothing selected, edit and delete off.
        QVERIFY(Table()->selectedItems().isEmpty());
        QVERIFY(!Button("btnEdit")->isEnabled());
        QVERIFY(!Button("btnDelete")->isEnabled());
    }

    void doubleClickOpensEdit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("column");
        for (int column = 0; column < 3; ++column) {
            QTest::newRow(qPrintable(QStringLiteral("SaveSpool column %1").arg(column))) << "SaveSpool" << column;
            QTest::newRow(qPrintable(QStringLiteral("HostAddress column %1").arg(column))) << "HostAddress" << column;
        }
    }

    void doubleClickOpensEdit()
    {
        QFETCH(QString, name);
        QFETCH(int, column);
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        QTableWidget* table = Table();
        const QRect cell = table->visualItemRect(table->item(RowOf(name), column));
        ModalView view;
        // A real double-click: press, release, double-click, release.
        auto doubleClick = [&] {
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, cell.center());
        };
        QVERIFY(RunWithModal(doubleClick,
                             [&](QWidget* modal) { view = Observe(modal); }));
        QCOMPARE(view.title, QStringLiteral("Edit record"));
        QCOMPARE(view.name, name);
        QVERIFY(!view.nameEnabled);
    }

    void deleteRequests_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("remaining");
        const QStringList all{"BlockCopies", "HostAddress", "SaveSpool"};
        const QStringList withoutSpool{"BlockCopies", "HostAddress"};
        QTest::newRow("key, nothing selected") << "" << "key" << "" << false << all;
        QTest::newRow("key, HostAddress") << "HostAddress" << "key" << "" << false << all;
        QTest::newRow("button, HostAddress") << "HostAddress" << "button" << "" << false << all;
        QTest::newRow("key in table, HostAddress") << "HostAddress" << "table key" << "" << false << all;
        QTest::newRow("key, confirm") << "SaveSpool" << "key" << "btnConfirm" << true << withoutSpool;
        QTest::newRow("key in table, confirm") << "SaveSpool" << "table key" << "btnConfirm" << true << withoutSpool;
        QTest::newRow("button, confirm") << "SaveSpool" << "button" << "btnConfirm" << true << withoutSpool;
        QTest::newRow("key, cancel") << "SaveSpool" << "key" << "btnCancel" << true << all;
    }

    void deleteRequests()
    {
        QFETCH(QString, selected);
        QFETCH(QString, trigger);
        QFETCH(QString, answer);
        QFETCH(bool, opens);
        QFETCH(QStringList, remaining);
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        QVERIFY(AddThroughEditor("BlockCopies", "2"));
        if (!selected.isEmpty()) {
            SelectRowByClick(RowOf(selected));
        }
        QString className;
        const bool opened = RunWithModal(
            [&] {
                if (trigger == QLatin1String("button")) {
                    QTest::mouseClick(Button("btnDelete"), Qt::LeftButton);
                } else {
                    QTest::keyClick(trigger == QLatin1String("key") ? static_cast<QWidget*>(window.get()) : Table(),
                                    Qt::Key_Delete);
                }
            },
            [&](QWidget* modal) {
                className = QString::fromLatin1(modal->metaObject()->className());
                if (auto* button = modal->findChild<QPushButton*>(answer)) {
                    button->click();
                }
            });
        QCOMPARE(opened, opens);
        if (opens) {
            QCOMPARE(className, QStringLiteral("RemoveSettingsDialog"));
        }
        QCOMPARE(Names(), remaining);
        QCOMPARE(SettingsJson.size(), std::size_t(remaining.size()));
        QCOMPARE(SettingsJson.contains("SaveSpool"), remaining.contains("SaveSpool"));
        if (answer == QLatin1String("btnConfirm")) {
            QVERIFY(Table()->selectedItems().isEmpty());
            QVERIFY(!Button("btnEdit")->isEnabled());
            QVERIFY(!Button("btnDelete")->isEnabled());
            QVERIFY(!window->SettingsTable()->HasRowSelection());
        }
    }

    void exportButtonWritesDocument()
    {
        QVERIFY(AddThroughEditor("BlockCopies", "007"));
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("settings.json"));
        QString filters = QStringLiteral("<none>");
        QWidget* notice = ExportTo(path, &filters);
        QCOMPARE(filters, QStringLiteral("(*.json)"));

        // The notice stays open, modal, after the export returned.
        QVERIFY(notice != nullptr);
        QCOMPARE(QString::fromLatin1(notice->metaObject()->className()), QStringLiteral("FileExportedDialog"));
        QCOMPARE(notice->parentWidget(), window.get());
        auto* info = notice->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"));
        QVERIFY(info != nullptr);
        QCOMPARE(info->text(), QStringLiteral("File exported successfully."));
        notice->close();

        QCOMPARE(FileBytes(path), QByteArray("{\r\n"
                                             "    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                             "    \"BlockCopies\": \"007\",\r\n"
                                             "    \"SaveSpool\": \"true\"\r\n"
                                             "}\r\n"));
    }

    // Valid members load in file order with their values as written; every other
    // member is listed and left out; the export then writes exactly the loaded
    // file, and opening that and exporting again changes no byte.
    void openedFileLoadsValidMembersAndListsTheRest()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString opened = folder.filePath(QStringLiteral("hand-written.json"));
        QVERIFY(WriteFile(opened, "{\n"
                                  "  \"ReleaserAddress\": \"https://releaser.example.com:8443\",\n"
                                  "  \"HostAddress\": \"https://10.0.0.5:56569\",\n"
                                  "  \"SaveSpool\": \"yes\",\n"
                                  "  \"EnableProxy\": \"1\",\n"
                                  "  \"NoSuchSetting\": \"1\",\n"
                                  "  \"BlockCopies\": \"007\",\n"
                                  "  \"blockcopies\": \"9\",\n"
                                  "  \"HttpTimeout\": 30,\n"
                                  "  \"WorkFolder\": \"C:\\\\Orvane\\\\\u00c4rbeit\\t/x\"\n"
                                  "}"));
        window->OpenSettingsFile(opened);

        QCOMPARE(NoticeLines(QApplication::activeModalWidget()),
                 (QStringList{"Problems in the settings file",
                              "hand-written.json\nThe valid settings of the file were loaded. The entries below "
                              "were left out or changed:",
                              "SaveSpool|yes|Invalid configuration value.",
                              "NoSuchSetting|1|Invalid configuration name.",
                              "blockcopies|9|A setting with this name already exists.",
                              "HttpTimeout|30|The value must be text in double quotes."}));
        QApplication::activeModalWidget()->close();
        // Byte-wise name order in the table, as after typing them in.
        QCOMPARE(Names(), (QStringList{"BlockCopies", "EnableProxy", "HostAddress", "ReleaserAddress", "WorkFolder"}));
        QCOMPARE(ColumnTexts(Table(), 1).at(1), QStringLiteral("1"));
        QCOMPARE(ColumnTexts(Table(), 2).at(2), HostAddressDescription);
        QVERIFY(!Button("btnEdit")->isEnabled());

        const QByteArray loaded("{\r\n"
                                "    \"ReleaserAddress\": \"https://releaser.example.com:8443\",\r\n"
                                "    \"HostAddress\": \"https://10.0.0.5:56569\",\r\n"
                                "    \"EnableProxy\": \"1\",\r\n"
                                "    \"BlockCopies\": \"007\",\r\n"
                                "    \"WorkFolder\": \"C:\\\\Orvane\\\\\xc3\x84rbeit\\t/x\"\r\n"
                                "}\r\n");
        const QString exported = folder.filePath(QStringLiteral("exported.json"));
        ExportTo(exported)->close();
        QCOMPARE(FileBytes(exported), loaded);

        // A file the program wrote: no notice, and the same bytes back.
        QVERIFY(AddThroughEditor("SaveSpool", "0"));
        window->OpenSettingsFile(exported);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(!Names().contains(QStringLiteral("SaveSpool")));
        const QString again = folder.filePath(QStringLiteral("again.json"));
        ExportTo(again)->close();
        QCOMPARE(FileBytes(again), loaded);

        // Without HostAddress, it comes first at its default, and the notice says so.
        QVERIFY(WriteFile(opened, "{\"SaveSpool\": \"true\"}"));
        window->OpenSettingsFile(opened);
        QCOMPARE(NoticeLines(QApplication::activeModalWidget()).mid(2),
                 QStringList{"HostAddress|https://127.0.0.1:56569|Missing from the file; added with its default value."});
        QApplication::activeModalWidget()->close();
        QCOMPARE(SettingsJson.dump(),
                 std::string("{\"HostAddress\":\"https://127.0.0.1:56569\",\"SaveSpool\":\"true\"}"));

        // Thousands of bad members: the notice lists the first ones and counts the rest.
        QByteArray many("{\"HostAddress\": \"https://10.0.0.5:56569\"");
        for (int i = 0; i < 600; ++i) {
            many += ", \"Unknown" + QByteArray::number(i) + "\": \"1\"";
        }
        QVERIFY(WriteFile(opened, many + '}'));
        window->OpenSettingsFile(opened);
        const QStringList lines = NoticeLines(QApplication::activeModalWidget());
        QApplication::activeModalWidget()->close();
        QCOMPARE(lines.size(), 2 + 501);
        QCOMPARE(lines.at(2 + 499), QStringLiteral("Unknown499|1|Invalid configuration name."));
        QCOMPARE(lines.last(), QStringLiteral("||100 more entries are not shown."));
    }

    // A file that cannot be loaded as a whole changes nothing and says why, in
    // the chosen language.
    void refusedFileKeepsDocument()
    {
        Globalize::LoadLanguage(1031);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        const std::string before = SettingsJson.dump();
        const QString path = folder.filePath(QStringLiteral("bad.json"));
        const struct {
            QByteArray bytes;
            QString message;
        } cases[] = {
            {"{\n  \"SaveSpool\": \"true\"\n  \"BlockCopies\": \"1\"\n}",
             "Die Datei ist kein gültiges JSON: Fehler in Zeile 3, Spalte 15. Es wurde nichts geladen."},
            {"[\"SaveSpool\"]", "Die Datei enthält kein JSON-Objekt mit Einstellungen. Es wurde nichts geladen."},
            {"{\"WorkFolder\": \"C:\\\\\xc4rbeit\"}", "Die Datei ist kein UTF-8-Text. Es wurde nichts geladen."},
            {{}, "Die Datei kann nicht gelesen werden. Es wurde nichts geladen."},
        };
        for (const auto& [bytes, message] : cases) {
            QFile::remove(path);
            QVERIFY(bytes.isNull() || WriteFile(path, bytes));
            window->OpenSettingsFile(path);
            const QStringList lines = NoticeLines(QApplication::activeModalWidget());
            QCOMPARE(lines.value(0), QStringLiteral("Datei nicht geöffnet"));
            QVERIFY2(lines.value(1).startsWith(QStringLiteral("bad.json\n") + message), qPrintable(lines.value(1)));
            QCOMPARE(lines.size(), 2);
            QApplication::activeModalWidget()->close();
            QCOMPARE(SettingsJson.dump(), before);
            QCOMPARE(Table()->rowCount(), 2);
        }
    }

    // A dropped .json file: asked about when it would replace changes, refused
    // drags for anything else.
    void droppedFile()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("Dropped.JSON"));
        QVERIFY(WriteFile(path, "{\"HostAddress\": \"https://10.0.0.5:56569\", \"BlockCopies\": \"2\"}"));
        auto drop = [this](const QString& file) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file)});
            const QPointF position(430, 300);
            QDragEnterEvent enter(position.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &enter);
            if (!enter.isAccepted()) {
                return false;
            }
            QDropEvent dropped(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &dropped);
            return dropped.isAccepted();
        };
        const QString text = folder.filePath(QStringLiteral("notes.txt"));
        QVERIFY(WriteFile(text, "{}"));
        QVERIFY(!drop(text));

        // Unchanged since the start: no question.
        QVERIFY(drop(path));
        QTRY_COMPARE(Names(), (QStringList{"BlockCopies", "HostAddress"}));

        QVERIFY(AddThroughEditor("SaveSpool", "1"));
        for (const char* button : {"btnCancel", "btnConfirm"}) {
            QString question;
            QVERIFY(drop(path));
            QVERIFY(RunWithModal([] { QTest::qWait(50); }, [&](QWidget* modal) {
                question = modal->findChild<QLabel*>(QStringLiteral("lblReplaceSettingsTitle"))->text();
                QTest::mouseClick(modal->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
            }));
            QCOMPARE(question, QStringLiteral("Open settings file"));
            QCOMPARE(Names().contains(QStringLiteral("SaveSpool")), qstrcmp(button, "btnCancel") == 0);
        }
        QCOMPARE(SettingsJson.dump(), std::string("{\"HostAddress\":\"https://10.0.0.5:56569\",\"BlockCopies\":\"2\"}"));
    }

    // Every window and dialog puts its looks back on a theme change, and only then:
    // the live theme sends ThemeChange to each top-level widget.
    void everyWindowRestylesOnThemeChange_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("eventType");
        for (const char* name : {"main window", "editor", "remove question", "export notice", "problems notice",
                                 "replace question", "language selector"}) {
            QTest::newRow(name) << name << int(QEvent::ThemeChange);
        }
        QTest::newRow("editor, palette change") << "editor" << int(QEvent::PaletteChange);
        QTest::newRow("main window, style change") << "main window" << int(QEvent::StyleChange);
    }

    void everyWindowRestylesOnThemeChange()
    {
        QFETCH(QString, window);
        QFETCH(int, eventType);
        SettingsRows rows;
        SettingsMap catalogue = GetSettingsMap();
        std::unique_ptr<QWidget> owned;
        QWidget* shown = this->window.get();
        if (window == QLatin1String("editor")) {
            auto* editor = new SettingsDialog(this->window.get(), &rows, &catalogue);
            editor->SetupAddSetting();
            shown = editor;
        } else if (window == QLatin1String("remove question")) {
            shown = new RemoveSettingsDialog(this->window.get(), &rows, SettingName::SaveSpool);
        } else if (window == QLatin1String("export notice")) {
            shown = new FileExportedDialog(QStringLiteral("done"), this->window.get());
        } else if (window == QLatin1String("problems notice")) {
            shown = new FileProblemsDialog(this->window.get(), QStringLiteral("t"), QStringLiteral("i"), {});
        } else if (window == QLatin1String("replace question")) {
            shown = new ReplaceSettingsDialog(this->window.get());
        } else if (window == QLatin1String("language selector")) {
            owned = std::make_unique<LanguageSelectorDialog>();
            shown = owned.get();
        }
        // Guarded: a restyle may rebuild a part, such as a combo box's popup.
        QList<QPointer<QWidget>> styled;
        QStringList sheets;
        QList<QWidget*> widgets = shown->findChildren<QWidget*>();
        widgets << shown;
        for (QWidget* widget : widgets) {
            // A hidden part may carry a sheet that no theme changes (the editor's red
            // message area, set once when it is made).
            if (!widget->styleSheet().isEmpty() && widget->isVisibleTo(shown)) {
                styled << widget;
                sheets << widget->styleSheet();
                widget->setStyleSheet(QString());
            }
        }
        QVERIFY2(styled.size() >= 3, qPrintable(window));
        QEvent change(static_cast<QEvent::Type>(eventType));
        QApplication::sendEvent(shown, &change);
        for (int i = 0; i < styled.size(); ++i) {
            if (styled[i]) {
                QCOMPARE(styled[i]->styleSheet(), eventType == QEvent::ThemeChange ? sheets[i] : QString());
            }
        }
    }

    // Hostile values are kept whole and exported exactly: every line end and control
    // character of a value is escaped, so the only raw ones are the layout's CR LF.
    void hostileValuesAreExportedExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QString controls = QStringLiteral("start");
        for (char16_t c = 1; c < 0x20; ++c) {
            controls += QChar(c);
        }
        controls += QString(QChar(0x7f)) + QChar(0x85) + QStringLiteral("end");
        QTest::newRow("1 MB") << "WorkFolder"
                              << QStringLiteral("C:\\Orvane\\\"spool\"\tfila \u00e9 a\u00e7\u00e3o \U0001F600 ").repeated(40000);
        QTest::newRow("1 MB of digits") << "BlockCopies" << QString(1 << 20, QLatin1Char('7'));
        QTest::newRow("control characters") << "WorkFolder" << controls;
        QTest::newRow("tabs and line breaks")
            << "EnabledDriverList" << QStringLiteral("first\tsecond\nthird\r\nfourth\rfifth\u2028sixth\u2029");
        QTest::newRow("NUL inside") << "WorkFolder" << QStringLiteral("before") + QChar(0) + QStringLiteral("after");
        QTest::newRow("quotes and backslashes")
            << "WorkFolder" << QStringLiteral("C:\\Program Files\\\"Orvane\"\\\\server\\share\\ \\u0041 \\n '' \"\"");
        QTest::newRow("right-to-left marks")
            << "AuthenticationExceptionList"
            << QStringLiteral("\u200F\u05e9\u05dc\u05d5\u05dd\u202E abc\u202C \u0645\u0631\u062d\u0628\u0627\u200E\u2067x\u2069\u061C");
        QTest::newRow("emoji and combining marks")
            << "WorkFolder" << QStringLiteral("\U0001F469\u200D\U0001F467 \U0001F1E7\U0001F1F7 e\u0301 a\u0308\u0323 \uFE0F");
    }

    void hostileValuesAreExportedExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QVERIFY(AddThroughEditor(name, value, true));
        QVERIFY(Table()->item(RowOf(name), 1)->text() == value);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("hostile.json"));
        ExportTo(path)->close();
        const QByteArray bytes = FileBytes(path);
        QCOMPARE(bytes.count("\r\n"), 4);
        QCOMPARE(std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                 std::ptrdiff_t(8));
        const auto parsed = nlohmann::ordered_json::parse(bytes.begin(), bytes.end(), nullptr, false);
        QVERIFY(parsed.is_object() && parsed.size() == 2);
        QVERIFY(QString::fromStdString(parsed.value(name.toStdString(), std::string())) == value);
    }

    // Names that only look like a setting are refused, and Enter does not save them.
    void hiddenCharacterNamesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        const QChar nul(0);
        QTest::newRow("NUL after") << QStringLiteral("SaveSpool") + nul;
        QTest::newRow("NUL inside") << QStringLiteral("Save") + nul + QStringLiteral("Spool");
        QTest::newRow("line feed after") << QStringLiteral("SaveSpool\n");
        QTest::newRow("tab inside") << QStringLiteral("Save\tSpool");
        QTest::newRow("right-to-left mark before") << QStringLiteral("\u200FSaveSpool");
        QTest::newRow("zero-width space inside") << QStringLiteral("Save\u200BSpool");
        QTest::newRow("combining mark after") << QStringLiteral("SaveSpool\u0301");
        QTest::newRow("full-width letters") << QStringLiteral("\uff33\uff41\uff56\uff45\uff33\uff50\uff4f\uff4f\uff4c");
        QTest::newRow("dotless i") << QStringLiteral("DisableParser").replace(QLatin1Char('i'), QChar(0x131));
        QTest::newRow("1 MB name") << QStringLiteral("SaveSpool").repeated(120000);
    }

    void hiddenCharacterNamesAreRefused()
    {
        QFETCH(QString, name);
        QString message;
        QVERIFY(!AddThroughEditor(name, QStringLiteral("1"), true, &message));
        QCOMPARE(message, QStringLiteral("Invalid configuration name."));
        QCOMPARE(SettingsJson.size(), std::size_t(1));
        QCOMPARE(Table()->rowCount(), 1);
    }

};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
