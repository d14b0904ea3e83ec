#pragma once

// Helpers shared by the window tests: driving modal dialogs that run their own
// nested event loop, and reading what the windows show.

#include <QApplication>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include <functional>

// Closes the completion popups that typing into a name field leaves open.
inline void ClosePopups()
{
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
}

// Runs `trigger`. The first modal window that opens while it runs is handed to
// `act` and closed afterwards if `act` left it open, so a wrong dialog can never
// block the test. Returns whether a modal window opened.
inline bool RunWithModal(const std::function<void()>& trigger, const std::function<void(QWidget*)>& act = {})
{
    bool opened = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        poll.stop();
        opened = true;
        if (act) {
            act(modal);
        }
        ClosePopups();
        if (modal->isVisible()) {
            modal->close();
        }
    });
    poll.start();
    trigger();
    poll.stop();
    return opened;
}

// The offscreen platform warns about every raise and keyboard grab it cannot do;
// drop those notices so that the test log shows what matters.
inline void QuietOffscreenNotices()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.startsWith(QLatin1String("This plugin does not support"))) {
            previous(type, context, message);
        }
    });
}

// Texts of one column, top to bottom; "<none>" for a missing cell.
inline QStringList ColumnTexts(const QTableWidget* table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* item = table->item(row, column);
        texts << (item != nullptr ? item->text() : QStringLiteral("<none>"));
    }
    return texts;
}
