#include "tests/support/widget_test_support.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"

#include <QTest>

namespace {

QList<int> SelectedRows(const QTableWidget* table)
{
    QList<int> selected;
    for (const QModelIndex& index : table->selectionModel()->selectedRows()) {
        selected.append(index.row());
    }
    return selected;
}

} // namespace

class TestSettingsTable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { FontUtil::Setup(); }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void keyboardWalk_data()
    {
        // Steps after Tab from the add button into the table: keys, "Reset" (what
        // the main window does after every refill), "Refill" (a full refill, then
        // Reset) and "Click1" (a click on row 1, then the window's selection note).
        QTest::addColumn<bool>("singleRow");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("selectedRow"); // -1: nothing selected, focus back on the add button

        QTest::newRow("tab in selects row 0") << false << QStringList() << 0;
        QTest::newRow("down") << false << QStringList{"Down"} << 1;
        QTest::newRow("tab") << false << QStringList{"Tab"} << 1;
        QTest::newRow("down, tab to last row") << false << QStringList{"Down", "Tab"} << 2;
        QTest::newRow("down, up") << false << QStringList{"Down", "Up"} << 0;
        QTest::newRow("down past last row leaves") << false << QStringList{"Down", "Down", "Down"} << -1;
        QTest::newRow("tab past last row leaves") << false << QStringList{"Tab", "Tab", "Tab"} << -1;
        QTest::newRow("up on first row leaves") << false << QStringList{"Up"} << -1;
        QTest::newRow("single row: down leaves") << true << QStringList{"Down"} << -1;
        QTest::newRow("single row: up leaves") << true << QStringList{"Up"} << -1;
        QTest::newRow("reset, down starts at row 0") << false << QStringList{"Down", "Down", "Reset", "Down"} << 0;
        QTest::newRow("reset, tab starts at row 0") << false << QStringList{"Down", "Down", "Reset", "Tab"} << 0;
        QTest::newRow("refill, then two steps") << false << QStringList{"Down", "Refill", "Tab", "Tab"} << 1;
        QTest::newRow("click, then down") << false << QStringList{"Click1", "Down"} << 2;
    }

    void keyboardWalk()
    {
        QFETCH(bool, singleRow);
        QFETCH(QStringList, steps);
        QFETCH(int, selectedRow);

        TestHost host(singleRow ? std::vector<std::pair<std::string, std::string>>()
                                : std::vector<std::pair<std::string, std::string>>{{SettingName::SaveSpool, "true"},
                                                                                   {SettingName::BlockCopies, "3"}});
        QVERIFY(Activate(host));
        host.addButton->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(host.addButton, Qt::Key_Tab);
        QVERIFY(host.table->hasFocus());
        QCOMPARE(SelectedRows(host.table), QList<int>{0});

        for (const QString& step : steps) {
            if (step == QLatin1String("Click1")) {
                const QRect cell = host.table->visualRect(host.table->model()->index(1, 0));
                QTest::mouseClick(host.table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
                QCOMPARE(SelectedRows(host.table), QList<int>{1});
                host.table->NoteRowSelected();
                continue;
            }
            if (step == QLatin1String("Refill")) {
                host.RefreshSettingsTable();
            }
            if (step == QLatin1String("Refill") || step == QLatin1String("Reset")) {
                host.table->ResetRowSelection();
                continue;
            }
            const Qt::Key key = step == QLatin1String("Down") ? Qt::Key_Down
                : step == QLatin1String("Up")                 ? Qt::Key_Up
                                                              : Qt::Key_Tab;
            QTest::keyClick(host.table, key);
        }
        QCOMPARE(SelectedRows(host.table), selectedRow < 0 ? QList<int>() : QList<int>{selectedRow});
        QCOMPARE(host.table->HasRowSelection(), selectedRow >= 0);
        QCOMPARE(host.addButton->hasFocus(), selectedRow < 0);
        if (selectedRow >= 0) {
            QCOMPARE(host.table->currentRow(), selectedRow);
        }
        // The walking keys are the table's own: none of them reaches the window.
        QVERIFY(host.receivedKeys.isEmpty());

        if (selectedRow < 0) {
            // Coming back by Tab starts at row 0 again.
            QTest::keyClick(host.addButton, Qt::Key_Tab);
            QCOMPARE(SelectedRows(host.table), QList<int>{0});
            QVERIFY(host.table->HasRowSelection());
        }
    }
};

QTEST_MAIN(TestSettingsTable)
#include "tst_settingstable.moc"
