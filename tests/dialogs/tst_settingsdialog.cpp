#include "tests/support/widget_test_support.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "dialogs/settingsdialog.h"

#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>
#include <QTest>
#include <QTextEdit>

namespace {

constexpr int PlainHeight = 340;
constexpr int PlainButtonTop = 294;
constexpr int MessageHeight = 378;
constexpr int MessageButtonTop = 332;

// The dialog's widgets, found by object name as a user of the form sees them.
struct Form {
    explicit Form(QDialog* dialog)
        : dialog(dialog)
        , name(dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName")))
        , value(dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue")))
        , action(dialog->findChild<QPushButton*>(QStringLiteral("btnAction")))
        , cancel(dialog->findChild<QPushButton*>(QStringLiteral("btnCancel")))
        , message(dialog->findChild<QTextEdit*>())
    {
    }

    // The text the user sees under the fields; empty while no message shows.
    QString shownMessage() const { return message->isVisible() ? message->toPlainText() : QString(); }

    // Steps: "N:text" retypes the name field, "V:text" the value field (select
    // everything, then type); "N:" and "V:" erase the field.
    void type(const QStringList& steps) const
    {
        for (const QString& step : steps) {
            QLineEdit* field = step.startsWith(QLatin1String("N:")) ? name : value;
            field->setFocus(Qt::MouseFocusReason);
            field->selectAll();
            if (step.size() == 2) {
                QTest::keyClick(field, Qt::Key_Backspace);
            } else {
                QTest::keyClicks(field, step.mid(2));
            }
            QCOMPARE(field->text(), step.mid(2));
        }
    }

    // Size and button positions of the plain or the message state; the action
    // button is enabled exactly while no message shows.
    void checkLayout(const bool withMessage, const int growth = 0) const
    {
        const int height = withMessage ? MessageHeight + growth : PlainHeight;
        const int buttonTop = withMessage ? MessageButtonTop + growth : PlainButtonTop;
        QCOMPARE(dialog->size(), QSize(350, height));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(action->geometry(), QRect(34, buttonTop, 148, 32));
        QCOMPARE(cancel->geometry(), QRect(190, buttonTop, 148, 32));
        QCOMPARE(message->isVisible(), withMessage);
        QCOMPARE(action->isEnabled(), !withMessage);
        if (withMessage) {
            QCOMPARE(message->geometry(), QRect(34, 286, 303, 31 + growth));
            // The whole text is visible: nothing is laid out below the area's bottom.
            QVERIFY(message->document()->size().height() <= message->height());
        }
    }

    QDialog* dialog;
    QLineEdit* name;
    QLineEdit* value;
    QPushButton* action;
    QPushButton* cancel;
    QTextEdit* message;
};

Form AddForm(SettingsDialog& dialog)
{
    dialog.SetupAddSetting();
    return Form(&dialog);
}

// The add dialog over a stand-in main window.
struct AddDialog {
    explicit AddDialog(const std::vector<std::pair<std::string, std::string>>& extraRows = {})
        : host(extraRows)
    {
    }

    bool show() { return Activate(host) && Activate(dialog); }

    TestHost host;
    SettingsDialog dialog{&host, &host.rows, &host.catalogue};
    Form form = AddForm(dialog);
};

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

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

    void validationMessages_data()
    {
        QTest::addColumn<QStringList>("steps");
        // The message shown, or "+" and the row that the action button then saves.
        QTest::addColumn<QString>("message");

        const QString allFields = QStringLiteral("Fill in all the fields correctly.");
        const QString nameRequired = QStringLiteral("The Name field is required.");
        const QString valueRequired = QStringLiteral("The Value field is required.");
        const QString exists = QStringLiteral("A setting with this name already exists.");
        const QString invalidName = QStringLiteral("Invalid configuration name.");
        const QString invalidValue = QStringLiteral("Invalid configuration value.");
        QTest::newRow("name typed, value empty") << QStringList{"N:S"} << valueRequired;
        QTest::newRow("value typed, name empty") << QStringList{"V:1"} << nameRequired;
        QTest::newRow("both erased") << QStringList{"N:S", "N:"} << allFields;
        QTest::newRow("name erased") << QStringList{"N:SaveSpool", "V:1", "N:"} << nameRequired;
        QTest::newRow("value erased") << QStringList{"N:SaveSpool", "V:1", "V:"} << valueRequired;
        QTest::newRow("unknown name waits for the value") << QStringList{"N:Nonsense"} << valueRequired;
        QTest::newRow("existing name waits for the value") << QStringList{"N:HostAddress"} << valueRequired;
        // A name already in the list, in other case and with a value it would refuse.
        QTest::newRow("existing name first") << QStringList{"N:hostaddress", "V:x"} << exists;
        // The name is judged before the value.
        QTest::newRow("unknown name") << QStringList{"N:Nonsense", "V:1"} << invalidName;
        QTest::newRow("trailing blank") << QStringList{"N:SaveSpool ", "V:1"} << invalidName;
        QTest::newRow("blank name is not empty") << QStringList{"N: ", "V:1"} << invalidName;
        QTest::newRow("invalid boolean") << QStringList{"N:SaveSpool", "V:maybe"} << invalidValue;
        QTest::newRow("blank value is not empty") << QStringList{"N:SaveSpool", "V: "} << invalidValue;
        // Saved under the catalogue's name; a Boolean's 1 and 0 as true and false, other values as typed.
        QTest::newRow("name in other case") << QStringList{"N:savespool", "V:1"} << "+SaveSpool=true";
        QTest::newRow("Boolean as typed") << QStringList{"N:SaveSpool", "V:TRUE"} << "+SaveSpool=TRUE";
        QTest::newRow("not suggested but known") << QStringList{"N:ENABLEPROXY", "V:False"} << "+EnableProxy=False";
        QTest::newRow("value first, then name") << QStringList{"V:007", "N:BlockCopies"} << "+BlockCopies=007";
        QTest::newRow("fixed after a message") << QStringList{"N:SaveSpool", "V:maybe", "V:0"} << "+SaveSpool=false";
    }

    void validationMessages()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        const bool accepted = message.startsWith('+');
        AddDialog editor;
        QVERIFY(editor.show());
        editor.form.type(steps);
        QCOMPARE(editor.form.shownMessage(), accepted ? QString() : message);
        editor.form.checkLayout(!accepted);
        // Validation alone never touches the document.
        QCOMPARE(RowTexts(editor.host.rows), QStringList{"HostAddress=https://127.0.0.1:56569"});
        QCOMPARE(editor.host.refreshCount, 0);
        if (accepted) {
            QTest::mouseClick(editor.form.action, Qt::LeftButton);
            QVERIFY(!editor.dialog.isVisible());
            QCOMPARE(editor.host.refreshCount, 1);
            QCOMPARE(RowTexts(editor.host.rows).size(), 2);
            QVERIFY(RowTexts(editor.host.rows).contains(message.mid(1)));
        }
    }

    // However many lines a message takes, dialog, buttons and area grow together.
    void messagesInEveryLanguageFitTheGrownDialog()
    {
        for (const int locale : {1046, 3082, 1031, 1036, 1040, 2052}) {
            Globalize::LoadLanguage(locale);
            AddDialog editor;
            QVERIFY(editor.show());
            for (const auto& [steps, key] :
                 QList<QPair<QStringList, QString>>{{{"N:S"}, "ValueFieldRequired"},
                                                    {{"N:", "V:1"}, "NameFieldRequired"},
                                                    {{"V:"}, "AllFieldsAreRequired"},
                                                    {{"N:hostAddress", "V:1"}, "SettingAlreadyExist"},
                                                    {{"N:Nonsense"}, "InvalidSettingName"},
                                                    {{"N:SaveSpool", "V:2"}, "InvalidSettingValue"}}) {
                editor.form.type(steps);
                QCOMPARE(editor.form.shownMessage(), Globalize::Translate(key));
                const int growth = editor.dialog.height() - MessageHeight;
                QVERIFY2(growth >= 0, qPrintable(key));
                editor.form.checkLayout(true, growth);
            }
            editor.form.type({"V:1"});
            editor.form.checkLayout(false);
        }
    }

    void completionList()
    {
        AddDialog editor({{SettingName::SaveSpool, "true"}});
        QVERIFY(editor.show());
        const Form& form = editor.form;
        QCOMPARE(form.name->completer()->caseSensitivity(), Qt::CaseInsensitive);
        const auto check = [&form] {
            // 56 settings, 3 of them not suggested, minus the 2 rows of the document.
            const QStringList list = qobject_cast<QStringListModel*>(form.name->completer()->model())->stringList();
            QCOMPARE(list.size(), 51);
            for (const QString& name :
                 QStringList{"HostAddress", "SaveSpool", "EnableProxy", "EnableAuditing", "AuditingFolder"}) {
                QVERIFY2(!list.contains(name), qPrintable(name));
            }
            // Sorted once each, byte-wise: upper-case letters before lower-case ones.
            QStringList sorted = list;
            sorted.sort();
            sorted.removeDuplicates();
            QCOMPARE(list, sorted);
            QVERIFY(list.indexOf(QStringLiteral("SNMPQueryInterval"))
                    < list.indexOf(QStringLiteral("ScheduledInventory")));
        };
        check();

        // Every change builds the list afresh; typing offers case-insensitive matches.
        QTest::keyClicks(form.name, QStringLiteral("blockc"));
        check();
        QCOMPARE(form.name->completer()->currentCompletion(), QStringLiteral("BlockCopies"));
        // A typed but unsaved name stays on offer: only rows of the document are left out.
        QTest::keyClicks(form.name, QStringLiteral("opies"));
        QTest::keyClicks(form.value, QStringLiteral("2"));
        check();
    }

    void fastTypingLosesNoKey()
    {
        AddDialog editor;
        QVERIFY(editor.show());
        const Form& form = editor.form;
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

        // No receiver: every key goes where the window system delivers it, to the
        // completion list while that is open, otherwise to the focused field.
        QWidget* const delivered = nullptr;
        QTest::keyClicks(delivered, QStringLiteral("SaveSpool"));
        QVERIFY(form.name->completer()->popup()->isVisible());
        QCOMPARE(popupHides.count, 0);
        qApp->removeEventFilter(&popupHides);
        QTest::keyClick(delivered, Qt::Key_Tab);
        QTest::keyClicks(delivered, QStringLiteral("1"));
        QCOMPARE(form.name->text(), QStringLiteral("SaveSpool"));
        QCOMPARE(form.value->text(), QStringLiteral("1"));
        QTest::keyClick(delivered, Qt::Key_Return);
        QVERIFY(!editor.dialog.isVisible());
        QVERIFY(RowTexts(editor.host.rows).contains(QStringLiteral("SaveSpool=true")));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
