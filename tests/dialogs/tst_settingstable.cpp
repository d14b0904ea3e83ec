#include "widget_test_support.h"

#include "fonts.h"
#include "globalize.h"

#include <QHeaderView>
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

const std::vector<std::pair<std::string, std::string>> TwoMoreRows{
    {SettingName::SaveSpool, "true"},
    {SettingName::BlockCopies, "3"},
};

} // namespace

class TestSettingsTable : public QObject {
    Q_OBJECT

private:
    // Moves the focus into the table the way the user does: Tab from the add button.
    static void TabIntoTable(TestHost& host)
    {
        host.addButton->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(host.addButton, Qt::Key_Tab);
    }

private slots:
    void initTestCase() { FontUtil::Setup(); }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void keyboardWalk_data()
    {
        QTest::addColumn<int>("extraRows");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("selectedRow"); // -1: nothing selected
        QTest::addColumn<bool>("hasRowSelection");
        QTest::addColumn<bool>("focusOnAddButton");

        const QList<int> none;
        QTest::newRow("tab in selects row 0") << 2 << none << 0 << true << false;
        QTest::newRow("down") << 2 << QList<int>{Qt::Key_Down} << 1 << true << false;
        QTest::newRow("tab") << 2 << QList<int>{Qt::Key_Tab} << 1 << true << false;
        QTest::newRow("down, tab to last row") << 2 << QList<int>{Qt::Key_Down, Qt::Key_Tab} << 2 << true << false;
        QTest::newRow("down, up") << 2 << QList<int>{Qt::Key_Down, Qt::Key_Up} << 0 << true << false;
        QTest::newRow("down past last row leaves")
            << 2 << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down} << -1 << false << true;
        QTest::newRow("tab past last row leaves")
            << 2 << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab} << -1 << false << true;
        QTest::newRow("up on first row leaves") << 2 << QList<int>{Qt::Key_Up} << -1 << false << true;
        QTest::newRow("single row: down leaves") << 0 << QList<int>{Qt::Key_Down} << -1 << false << true;
        QTest::newRow("single row: up leaves") << 0 << QList<int>{Qt::Key_Up} << -1 << false << true;
    }

    void keyboardWalk()
    {
        QFETCH(int, extraRows);
        QFETCH(QList<int>, keys);
        QFETCH(int, selectedRow);
        QFETCH(bool, hasRowSelection);
        QFETCH(bool, focusOnAddButton);

        TestHost host(std::vector<std::pair<std::string, std::string>>(TwoMoreRows.begin(),
                                                                        TwoMoreRows.begin() + extraRows));
        QCOMPARE(host.table->rowCount(), 1 + extraRows);
        QVERIFY(Activate(host));

        TabIntoTable(host);
        QVERIFY(host.table->hasFocus());
        QCOMPARE(SelectedRows(host.table), QList<int>{0});
        QVERIFY(host.table->HasRowSelection());

        for (const int key : keys) {
            QTest::keyClick(host.table, static_cast<Qt::Key>(key));
        }
        const QList<int> expected = selectedRow < 0 ? QList<int>() : QList<int>{selectedRow};
        QCOMPARE(SelectedRows(host.table), expected);
        if (selectedRow >= 0) {
            QCOMPARE(host.table->currentRow(), selectedRow);
        }
        QCOMPARE(host.table->HasRowSelection(), hasRowSelection);
        QCOMPARE(host.addButton->hasFocus(), focusOnAddButton);
        QCOMPARE(host.table->hasFocus(), !focusOnAddButton);
        // The walking keys are the table's own: none of them reaches the window.
        QVERIFY(host.receivedKeys.isEmpty());

        if (focusOnAddButton) {
            // Coming back by Tab starts at row 0 again.
            QTest::keyClick(host.addButton, Qt::Key_Tab);
            QVERIFY(host.table->hasFocus());
            QCOMPARE(SelectedRows(host.table), QList<int>{0});
            QVERIFY(host.table->HasRowSelection());
        }
    }

    void firstStepAfterRefillSelectsRowZero_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("down") << int(Qt::Key_Down);
        QTest::newRow("tab") << int(Qt::Key_Tab);
    }

    void firstStepAfterRefillSelectsRowZero()
    {
        QFETCH(int, key);
        TestHost host(TwoMoreRows);
        QVERIFY(Activate(host));
        TabIntoTable(host);
        QTest::keyClick(host.table, Qt::Key_Down);
        QTest::keyClick(host.table, Qt::Key_Down);
        QCOMPARE(host.table->currentRow(), 2);

        // What the main window does at the end of every refill.
        host.table->ResetRowSelection();
        QTest::keyClick(host.table, static_cast<Qt::Key>(key));
        QCOMPARE(SelectedRows(host.table), QList<int>{0});
        QCOMPARE(host.table->currentRow(), 0);
        QVERIFY(host.table->HasRowSelection());
        QVERIFY(host.table->hasFocus());

        // A full refill loses the current row; the next step still starts at row 0.
        host.RefreshSettingsTable();
        host.table->ResetRowSelection();
        QTest::keyClick(host.table, static_cast<Qt::Key>(key));
        QCOMPARE(SelectedRows(host.table), QList<int>{0});
        QTest::keyClick(host.table, static_cast<Qt::Key>(key));
        QCOMPARE(SelectedRows(host.table), QList<int>{1});
    }

    void clickThenDownWalksFromTheClickedRow()
    {
        TestHost host(TwoMoreRows);
        QVERIFY(Activate(host));
        const QRect cell = host.table->visualRect(host.table->model()->index(1, 0));
        QTest::mouseClick(host.table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QVERIFY(host.table->hasFocus());
        QCOMPARE(SelectedRows(host.table), QList<int>{1});
        // What the main window's selection handler does.
        host.table->NoteRowSelected();
        QTest::keyClick(host.table, Qt::Key_Down);
        QCOMPARE(SelectedRows(host.table), QList<int>{2});
    }

};

QTEST_MAIN(TestSettingsTable)
#include "tst_settingstable.moc"
