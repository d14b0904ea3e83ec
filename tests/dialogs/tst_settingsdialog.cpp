#include "widget_test_support.h"

#include "fonts.h"
#include "globalize.h"
#include "settingsdialog.h"
#include "window_utils.h"

#include <QAccessible>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QStringListModel>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int PlainHeight = 340;
constexpr int PlainButtonTop = 294;
constexpr int MessageHeight = 378;
constexpr int MessageButtonTop = 332;

const QString AllFieldsAreRequired = QStringLiteral("Fill in all the fields correctly.");
const QString NameFieldRequired = QStringLiteral("The Name field is required.");
const QString ValueFieldRequired = QStringLiteral("The Value field is required.");
const QString SettingAlreadyExist = QStringLiteral("A setting with this name already exists.");
const QString InvalidSettingName = QStringLiteral("Invalid configuration name.");
const QString InvalidSettingValue = QStringLiteral("Invalid configuration value.");

// The dialog's widgets, found by object name as a user of the form sees them.
struct Form {
    explicit Form(QDialog* dialog)
        : dialog(dialog)
        , name(dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName")))
        , value(dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue")))
        , action(dialog->findChild<QPushButton*>(QStringLiteral("btnAction")))
        , cancel(dialog->findChild<QPushButton*>(QStringLiteral("btnCancel")))
        , title(dialog->findChild<QLabel*>(QStringLiteral("lblSettingActionTitle")))
        , info(dialog->findChild<QLabel*>(QStringLiteral("lblSettingActionInfo")))
        , nameLabel(dialog->findChild<QLabel*>(QStringLiteral("lblSettingName")))
        , valueLabel(dialog->findChild<QLabel*>(QStringLiteral("lblSettingValue")))
        , message(dialog->findChild<QTextEdit*>())
    {
    }

    bool complete() const
    {
        return name && value && action && cancel && title && info && nameLabel && valueLabel && message;
    }

    // The text the user sees under the fields; empty while no message shows.
    QString shownMessage() const { return message->isVisible() ? message->toPlainText() : QString(); }

    QStringList completions() const
    {
        auto* model = qobject_cast<QStringListModel*>(name->completer() ? name->completer()->model() : nullptr);
        return model ? model->stringList() : QStringList();
    }

    QDialog* dialog;
    QLineEdit* name;
    QLineEdit* value;
    QPushButton* action;
    QPushButton* cancel;
    QLabel* title;
    QLabel* info;
    QLabel* nameLabel;
    QLabel* valueLabel;
    QTextEdit* message;
};

// Replaces a field's text the way a user does: select everything, then type.
void Retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(edit, text);
    }
}

std::string JsonText()
{
    return SettingsJson.dump();
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

private:
    // Checks size, button positions and message area of the plain (no message)
    // or the message state with the given growth. The action button is enabled
    // exactly while no message shows, except in add mode before the first change
    // (actionChecked false).
    static void CheckLayout(const Form& form, const bool withMessage, const int growth = 0,
                            const bool actionChecked = true)
    {
        const int height = withMessage ? MessageHeight + growth : PlainHeight;
        const int buttonTop = withMessage ? MessageButtonTop + growth : PlainButtonTop;
        QCOMPARE(form.dialog->size(), QSize(350, height));
        QCOMPARE(form.dialog->minimumSize(), QSize(350, height));
        QCOMPARE(form.dialog->maximumSize(), QSize(350, height));
        QCOMPARE(form.action->geometry(), QRect(34, buttonTop, 148, 32));
        QCOMPARE(form.cancel->geometry(), QRect(190, buttonTop, 148, 32));
        QCOMPARE(form.message->isVisible(), withMessage);
        if (actionChecked) {
            QCOMPARE(form.action->isEnabled(), !withMessage);
        }
        if (withMessage) {
            QCOMPARE(form.message->geometry(), QRect(34, 286, 303, 31 + growth));
            // The whole text is visible: nothing is laid out below the area's bottom.
            QVERIFY(form.message->document()->size().height() <= form.message->height());
        }
    }

private slots:
    void initTestCase()
    {
        QuietOffscreenNotices();
        FontUtil::Setup();
    }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void cleanup()
    {
        // A failed check may leave a dialog up; none may leak into the next test.
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    }

    void validationMessages_data()
    {
        // Steps: "N:text" types into the name field, "V:text" into the value
        // field; "N:" and "V:" erase the field.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message"); // empty: input accepted

        QTest::newRow("name typed, value empty") << QStringList{"N:S"} << ValueFieldRequired;
        QTest::newRow("value typed, name empty") << QStringList{"V:1"} << NameFieldRequired;
        QTest::newRow("both erased") << QStringList{"N:S", "N:"} << AllFieldsAreRequired;
        QTest::newRow("name erased") << QStringList{"N:SaveSpool", "V:1", "N:"} << NameFieldRequired;
        QTest::newRow("value erased") << QStringList{"N:SaveSpool", "V:1", "V:"} << ValueFieldRequired;
        QTest::newRow("unknown name waits for the value") << QStringList{"N:Nonsense"} << ValueFieldRequired;
        QTest::newRow("existing name") << QStringList{"N:HostAddress", "V:https://host:1"} << SettingAlreadyExist;
        QTest::newRow("existing name, lower case") << QStringList{"N:hostaddress", "V:x"} << SettingAlreadyExist;
        QTest::newRow("unknown name") << QStringList{"N:Nonsense", "V:1"} << InvalidSettingName;
        QTest::newRow("leading blank") << QStringList{"N: SaveSpool", "V:1"} << InvalidSettingName;
        QTest::newRow("trailing blank") << QStringList{"N:SaveSpool ", "V:1"} << InvalidSettingName;
        QTest::newRow("blank name is not empty") << QStringList{"N: ", "V:1"} << InvalidSettingName;
        QTest::newRow("invalid boolean") << QStringList{"N:SaveSpool", "V:maybe"} << InvalidSettingValue;
        QTest::newRow("blank value is not empty") << QStringList{"N:SaveSpool", "V: "} << InvalidSettingValue;
        QTest::newRow("invalid integer") << QStringList{"N:BlockCopies", "V:3x"} << InvalidSettingValue;
        QTest::newRow("invalid address") << QStringList{"N:ReleaserAddress", "V:host:1"} << InvalidSettingValue;
        QTest::newRow("valid boolean") << QStringList{"N:SaveSpool", "V:1"} << QString();
        QTest::newRow("name in other case") << QStringList{"N:savespool", "V:TRUE"} << QString();
        QTest::newRow("not suggested but known") << QStringList{"N:EnableProxy", "V:false"} << QString();
        QTest::newRow("text setting") << QStringList{"N:WorkFolder", "V:C:\\Work"} << QString();
        QTest::newRow("value first, then name") << QStringList{"V:5", "N:BlockCopies"} << QString();
        QTest::newRow("fixed after a message") << QStringList{"N:SaveSpool", "V:maybe", "V:0"} << QString();
    }

    void validationMessages()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);

        TestHost host;
        QVERIFY(Activate(host));
        SettingsDialog dialog(&host, &host.rows, &host.catalogue);
        dialog.SetupAddSetting();
        const Form form(&dialog);
        QVERIFY(form.complete());
        QVERIFY(Activate(dialog));

        for (const QString& step : steps) {
            QLineEdit* field = step.startsWith(QLatin1String("N:")) ? form.name : form.value;
            field->setFocus(Qt::MouseFocusReason);
            Retype(field, step.mid(2));
            QCOMPARE(field->text(), step.mid(2));
        }
        QCOMPARE(form.shownMessage(), message);
        CheckLayout(form, !message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(form.message->alignment(), Qt::AlignHCenter);
            QVERIFY(form.message->isReadOnly());
            QCOMPARE(form.message->textInteractionFlags(), Qt::NoTextInteraction);
            QCOMPARE(form.message->focusPolicy(), Qt::NoFocus);
            QVERIFY(form.message->styleSheet().contains(QLatin1String("#e04441")));
        }
        // Validation alone never touches the document.
        QCOMPARE(RowTexts(host.rows), QStringList{QString::fromStdString("HostAddress=" + DefaultHostAddress)});
        QCOMPARE(host.refreshCount, 0);
    }

    void messagesInEveryLanguageFitTheGrownDialog_data()
    {
        QTest::addColumn<int>("locale");
        for (const int locale : {1033, 1046, 3082, 1031, 1036, 1040, 2052}) {
            QTest::newRow(Globalize::LocaleFileName(locale).c_str()) << locale;
        }
    }

    void messagesInEveryLanguageFitTheGrownDialog()
    {
        QFETCH(int, locale);
        Globalize::LoadLanguage(locale);
        TestHost host;
        QVERIFY(Activate(host));
        SettingsDialog dialog(&host, &host.rows, &host.catalogue);
        dialog.SetupAddSetting();
        const Form form(&dialog);
        QVERIFY(Activate(dialog));

        const QList<QPair<QStringList, QString>> cases{
            {{"N:S"}, "ValueFieldRequired"},           {{"N:", "V:1"}, "NameFieldRequired"},
            {{"V:"}, "AllFieldsAreRequired"},          {{"N:hostAddress", "V:1"}, "SettingAlreadyExist"},
            {{"N:Nonsense"}, "InvalidSettingName"},    {{"N:SaveSpool", "V:2"}, "InvalidSettingValue"},
        };
        for (const auto& [steps, key] : cases) {
            for (const QString& step : steps) {
                Retype(step.startsWith(QLatin1String("N:")) ? form.name : form.value, step.mid(2));
            }
            QCOMPARE(form.shownMessage(), Globalize::Translate(key));
            // However many lines the text takes, dialog, buttons and area grow together.
            const int growth = dialog.height() - MessageHeight;
            QVERIFY2(growth >= 0, qPrintable(key));
            CheckLayout(form, true, growth);
        }
        Retype(form.value, QStringLiteral("1"));
        CheckLayout(form, false);
    }

    void saving_data()
    {
        QTest::addColumn<QString>("typedName");
        QTest::addColumn<QString>("typedValue");
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("storedValue");

        QTest::newRow("boolean 1") << "SaveSpool" << "1" << "SaveSpool" << "true";
        QTest::newRow("boolean 0, lower case name") << "savespool" << "0" << "SaveSpool" << "false";
        QTest::newRow("boolean as typed") << "SaveSpool" << "TRUE" << "SaveSpool" << "TRUE";
        QTest::newRow("other case") << "enablepasswordremember" << "1" << "EnablePasswordRemember" << "true";
        QTest::newRow("integer kept as text") << "BlockCopies" << "007" << "BlockCopies" << "007";
        QTest::newRow("not suggested") << "ENABLEPROXY" << "False" << "EnableProxy" << "False";
    }

    void saving()
    {
        QFETCH(QString, typedName);
        QFETCH(QString, typedValue);
        QFETCH(QString, storedName);
        QFETCH(QString, storedValue);

        TestHost host({{SettingName::ReleaserAddress, "http://r:1"}});
        QVERIFY(Activate(host));
        SettingsDialog dialog(&host, &host.rows, &host.catalogue);
        dialog.SetupAddSetting();

        bool leftOpen = true;
        QVERIFY(RunWithModal([&] { dialog.exec(); }, [&](QWidget* modal) {
            QCOMPARE(modal, &dialog);
            const Form form(&dialog);
            QTest::keyClicks(form.name, typedName);
            form.value->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(form.value, typedValue);
            QVERIFY(form.action->isEnabled());
            QCOMPARE(host.refreshCount, 0);
            QTest::mouseClick(form.action, Qt::LeftButton);
            leftOpen = dialog.isVisible();
        }));
        QVERIFY(!leftOpen);

        QCOMPARE(host.refreshCount, 1);
        const std::string key = storedName.toStdString();
        QCOMPARE(host.rows.size(), std::size_t(3));
        QVERIFY(host.rows.count(key) == 1);
        QCOMPARE(QString::fromStdString(host.rows.at(key)), storedValue);
        // The exported document gets the same pair, appended as a string member.
        QCOMPARE(JsonText(), "{\"HostAddress\":\"" + DefaultHostAddress + "\",\"ReleaserAddress\":\"http://r:1\",\""
                                 + key + "\":\"" + storedValue.toStdString() + "\"}");
        // The refill ran after the save, so the table shows the new row.
        QCOMPARE(host.table->rowCount(), 3);
        QVERIFY(!host.table->findItems(storedName, Qt::MatchExactly).isEmpty());
    }

    void completionList()
    {
        TestHost host({{SettingName::SaveSpool, "true"}});
        QVERIFY(Activate(host));
        SettingsDialog dialog(&host, &host.rows, &host.catalogue);
        dialog.SetupAddSetting();
        const Form form(&dialog);
        QVERIFY(Activate(dialog));

        const auto check = [&form](const QStringList& absent) {
            const QStringList list = form.completions();
            // 56 settings, 3 of them not suggested, minus the rows already in the list.
            QCOMPARE(list.size(), 53 - absent.size());
            for (const QString& name : absent + QStringList{"EnableProxy", "EnableAuditing", "AuditingFolder"}) {
                QVERIFY2(!list.contains(name), qPrintable(name));
            }
            std::vector<std::string> names;
            for (const QString& name : list) {
                names.push_back(name.toStdString());
            }
            QVERIFY(std::is_sorted(names.begin(), names.end()));
            QVERIFY(std::adjacent_find(names.begin(), names.end()) == names.end());
            QCOMPARE(form.name->completer()->caseSensitivity(), Qt::CaseInsensitive);
        };
        check({"HostAddress", "SaveSpool"});
        QVERIFY(form.completions().contains(QStringLiteral("BlockCopies")));
        // Byte-wise, not alphabetical: upper-case letters sort before lower-case ones.
        QVERIFY(form.completions().indexOf(QStringLiteral("SNMPQueryInterval"))
                < form.completions().indexOf(QStringLiteral("ScheduledInventory")));
        QCOMPARE(form.completions().first(), QStringLiteral("AllowJobTitleChange"));

        // Every change builds the list afresh; typing offers case-insensitive matches.
        QTest::keyClicks(form.name, QStringLiteral("blockc"));
        check({"HostAddress", "SaveSpool"});
        QCOMPARE(form.name->completer()->completionPrefix(), QStringLiteral("blockc"));
        QCOMPARE(form.name->completer()->currentCompletion(), QStringLiteral("BlockCopies"));

        // A typed but unsaved name stays on offer: only rows of the document are left out.
        QTest::keyClicks(form.name, QStringLiteral("opies"));
        QTest::keyClicks(form.value, QStringLiteral("2"));
        check({"HostAddress", "SaveSpool"});
    }

    void fastTypingLosesNoKey()
    {
        TestHost host;
        QVERIFY(Activate(host));
        SettingsDialog dialog(&host, &host.rows, &host.catalogue);
        dialog.SetupAddSetting();
        const Form form(&dialog);
        QVERIFY(Activate(dialog));
        QVERIFY(form.name->hasFocus());

        // A completion list closed between two keys is where a fast typist's next key
        // went lost: the list must stay open while the name is typed.
        struct PopupHideCounter : QObject {
            int count = 0;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                auto* widget = qobject_cast<QWidget*>(watched);
                count += event->type() == QEvent::Hide && widget != nullptr && widget->windowType() == Qt::Popup;
                return false;
            }
        } popupHides;
        qApp->installEventFilter(&popupHides);

        // No receiver named: every key goes where the window system delivers it, to
        // the completion list while that is open, otherwise to the focused field.
        // Nothing waits between the keys.
        QWidget* const delivered = nullptr;
        QTest::keyClicks(delivered, QStringLiteral("SaveSpool"));
        QCOMPARE(form.name->text(), QStringLiteral("SaveSpool"));
        QVERIFY(form.name->completer()->popup()->isVisible());
        QCOMPARE(popupHides.count, 0);
        qApp->removeEventFilter(&popupHides);

        QTest::keyClick(delivered, Qt::Key_Tab);
        QVERIFY(form.value->hasFocus());
        QVERIFY(!form.name->completer()->popup()->isVisible());
        QTest::keyClicks(delivered, QStringLiteral("1"));
        QCOMPARE(form.value->text(), QStringLiteral("1"));
        QCOMPARE(form.name->text(), QStringLiteral("SaveSpool"));
        QCOMPARE(form.shownMessage(), QString());
        QVERIFY(form.action->isEnabled());

        QTest::keyClick(delivered, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(host.refreshCount, 1);
        QCOMPARE(host.rows.at(SettingName::SaveSpool), std::string("true"));
    }

};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
