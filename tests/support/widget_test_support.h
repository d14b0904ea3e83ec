#pragma once

// Shared by the widget tests: the driver of modal dialogs (which run their own
// event loop), a stand-in for the main window, and readers of what windows show.

#include "settings/setting_names.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"
#include "dialogs/settings_table_host.h"
#include "dialogs/settingstablewidget.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Closes the completion popups that typing into a name field leaves open.
inline void ClosePopups()
{
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
}

// Runs `trigger`; each modal window it opens, one after another, goes to the next
// of `acts` and is closed afterwards, so a wrong dialog never blocks the test; one
// past the acts is left open. Returns how many went to an act.
inline std::size_t RunWithModals(const std::function<void()>& trigger,
                                 const std::vector<std::function<void(QWidget*)>>& acts)
{
    std::size_t handled = 0;
    QList<QPointer<QWidget>> seen;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || seen.contains(modal)) {
            return;
        }
        seen << modal;
        if (handled == acts.size()) {
            poll.stop();
            return;
        }
        const std::function<void(QWidget*)>& act = acts[handled++];
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
    return handled;
}

// The same for the first modal window alone. Returns whether one opened.
inline bool RunWithModal(const std::function<void()>& trigger, const std::function<void(QWidget*)>& act = {})
{
    return RunWithModals(trigger, {act}) == 1;
}

// Drops the offscreen platform's notices about every raise and grab it cannot do.
inline void QuietOffscreenNotices()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.startsWith(QLatin1String("This plugin does not support"))) {
            previous(type, context, message);
        }
    });
}

// A file's bytes, or "<unreadable>".
inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Plays the main window's part: owns the table, the rows (HostAddress first) and a
// copy of the catalogue, and records the key presses that reach it.
class TestHost : public QWidget, public SettingsTableHost {
public:
    explicit TestHost(const std::vector<std::pair<std::string, std::string>>& extraRows = {})
    {
        setObjectName(QStringLiteral("TestHost"));
        resize(920, 560);
        background = new QFrame(this);
        background->setGeometry(0, 0, 920, 560);
        addButton = new QPushButton(QStringLiteral("Add"), background);
        addButton->setObjectName(QStringLiteral("btnAdd"));
        addButton->setGeometry(29, 30, 40, 40);
        addButton->setFocusPolicy(Qt::StrongFocus);
        table = new SettingsTableWidget(addButton, background);

        catalogue = GetSettingsMap();
        SettingsJson = nullptr;
        SetSettingValue(rows, SettingName::HostAddress, "https://127.0.0.1:56569");
        for (const auto& [name, value] : extraRows) {
            SetSettingValue(rows, name, value);
        }
        Refill();
    }

    // Unlike the main window's, leaves hasRowSelection alone: tests see who resets it.
    void RefreshSettingsTable() override
    {
        ++refreshCount;
        Refill();
    }

    BaseTableWidget* SettingsTable() const override { return table; }

    QFrame* background = nullptr;
    QPushButton* addButton = nullptr;
    SettingsTableWidget* table = nullptr;
    SettingsRows rows;
    SettingsMap catalogue;
    int refreshCount = 0;
    QList<int> receivedKeys;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        receivedKeys.append(event->key());
        event->accept();
    }

private:
    void Refill()
    {
        table->setRowCount(0);
        for (const auto& [name, value] : rows) {
            const int row = table->rowCount();
            table->insertRow(row);
            table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(name)));
            table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(value)));
        }
    }
};

// Shows the window and waits until it is the active one, which gets key presses
// and real focus changes.
inline bool Activate(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; });
}

// Rows of the document as "name=value" texts, for readable comparisons.
inline QStringList RowTexts(const SettingsRows& rows)
{
    QStringList texts;
    for (const auto& [name, value] : rows) {
        texts.append(QString::fromStdString(name + "=" + value));
    }
    return texts;
}
