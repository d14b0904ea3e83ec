#include "dialog_test_support.h"

#include "fonts.h"
#include "globalize.h"
#include "removesettingsdialog.h"

#include <QLabel>
#include <QTest>

class TestRemoveDialog : public QObject {
    Q_OBJECT

private:
    // A host with three rows whose table has the keyboard walk on row 1.
    static void PrepareHost(TestHost& host)
    {
        host.table->setFocus(Qt::TabFocusReason);
        QTest::keyClick(host.table, Qt::Key_Down);
    }

    static const std::vector<std::pair<std::string, std::string>>& Rows()
    {
        static const std::vector<std::pair<std::string, std::string>> rows{
            {SettingName::SaveSpool, "true"},
            {SettingName::BlockCopies, "3"},
        };
        return rows;
    }

private slots:
    void initTestCase()
    {
        MuteOffscreenPlatformNotices();
        FontUtil::Setup();
    }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void cleanup()
    {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    }

    void opens()
    {
        TestHost host(Rows());
        QVERIFY(Activate(host));
        RemoveSettingsDialog dialog(&host, &host.rows, SettingName::SaveSpool);
        QVERIFY(dialog.isModal());
        QVERIFY(Activate(dialog));

        QCOMPARE(dialog.size(), QSize(350, 200));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Orvane Print Agent - Silent Install Helper"));
        auto* title = dialog.findChild<QLabel*>(QStringLiteral("lblRemoveSettingTitle"));
        auto* info = dialog.findChild<QLabel*>(QStringLiteral("lblRemoveSettingInfo"));
        auto* confirm = dialog.findChild<QPushButton*>(QStringLiteral("btnConfirm"));
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("btnCancel"));
        QVERIFY(title && info && confirm && cancel);
        QCOMPARE(title->text(), QStringLiteral("Confirm removal"));
        QCOMPARE(info->text(), QStringLiteral("Are you sure you want to remove this sequence value?"));
        QCOMPARE(confirm->text(), QStringLiteral("Confirm"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        // No button shows focus at first, and Enter goes to the default button.
        QCOMPARE(QApplication::focusWidget(), title);
        QVERIFY(confirm->isDefault());
        QVERIFY(!confirm->autoDefault());
    }

    void confirmRemoves_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("enter right after opening") << true;
        QTest::newRow("confirm button") << false;
    }

    void confirmRemoves()
    {
        QFETCH(bool, byEnter);
        TestHost host(Rows());
        QVERIFY(Activate(host));
        PrepareHost(host);
        QVERIFY(host.table->hasRowSelection);
        RemoveSettingsDialog dialog(&host, &host.rows, SettingName::SaveSpool);

        bool leftOpen = true;
        auto poll = WhenModal<RemoveSettingsDialog>(
            [&](RemoveSettingsDialog* modal) {
                QCOMPARE(modal, &dialog);
                QVERIFY(WaitUntilActive(modal));
                QWidget* focus = QApplication::focusWidget();
                QVERIFY(focus != nullptr);
                QCOMPARE(focus->objectName(), QStringLiteral("lblRemoveSettingTitle"));
                if (byEnter) {
                    QTest::keyClick(focus, Qt::Key_Return);
                } else {
                    QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("btnConfirm")), Qt::LeftButton);
                }
            },
            &leftOpen);
        dialog.exec();
        QVERIFY(!poll->isActive());
        QVERIFY(!leftOpen);

        QCOMPARE(RowTexts(host.rows),
                 QStringList({QString::fromStdString("BlockCopies=3"),
                              QString::fromStdString("HostAddress=" + DefaultHostAddress)}));
        QCOMPARE(SettingsJson.dump(), "{\"HostAddress\":\"" + DefaultHostAddress + "\",\"BlockCopies\":\"3\"}");
        QCOMPARE(host.refreshCount, 1);
        QCOMPARE(host.table->rowCount(), 2);
        QVERIFY(!host.table->hasRowSelection);

        // The next keyboard step in the table starts at row 0 again.
        host.table->setFocus(Qt::OtherFocusReason);
        host.table->selectRow(1);
        QTest::keyClick(host.table, Qt::Key_Down);
        QCOMPARE(host.table->currentRow(), 0);
    }

    void leavingRemovesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel button") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("window close") << "close";
    }

    void leavingRemovesNothing()
    {
        QFETCH(QString, how);
        TestHost host(Rows());
        QVERIFY(Activate(host));
        PrepareHost(host);
        const SettingsRows rowsBefore = host.rows;
        const std::string jsonBefore = SettingsJson.dump();
        RemoveSettingsDialog dialog(&host, &host.rows, SettingName::SaveSpool);

        bool leftOpen = true;
        auto poll = WhenModal<RemoveSettingsDialog>(
            [&](RemoveSettingsDialog* modal) {
                if (how == QLatin1String("cancel")) {
                    QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("btnCancel")), Qt::LeftButton);
                } else if (how == QLatin1String("escape")) {
                    QVERIFY(WaitUntilActive(modal));
                    QCOMPARE(QApplication::focusWidget()->window(), modal);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                } else {
                    QVERIFY(modal->close());
                }
            },
            &leftOpen);
        dialog.exec();
        QVERIFY(!poll->isActive());
        QVERIFY(!leftOpen);
        QCOMPARE(host.rows, rowsBefore);
        QCOMPARE(SettingsJson.dump(), jsonBefore);
        QCOMPARE(host.refreshCount, 0);
        QVERIFY(host.table->hasRowSelection);
    }

};

QTEST_MAIN(TestRemoveDialog)
#include "tst_removedialog.moc"
