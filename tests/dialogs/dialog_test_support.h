#pragma once

// Shared pieces of the dialog tests: a stand-in for the main window and helpers
// that drive modal loops.

#include "setting_names.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "settings_table_host.h"
#include "settingstablewidget.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QList>
#include <QPushButton>
#include <QTableWidgetItem>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// DefaultHostAddress, the value a new document starts with, comes from
// settings_document.h; the main-window tests check its literal value.

// Plays the main window's part: owns the table, the document rows and a copy of
// the catalogue, starts a fresh document with HostAddress, and records the key
// presses that reach it.
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
        SetSettingValue(rows, SettingName::HostAddress, DefaultHostAddress);
        for (const auto& [name, value] : extraRows) {
            SetSettingValue(rows, name, value);
        }
        Refill();
    }

    // Unlike the main window this refill leaves hasRowSelection alone, so that
    // the tests see which code resets it.
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
        table->clearContents();
        table->setRowCount(0);
        int row = 0;
        for (const auto& [name, value] : rows) {
            table->insertRow(row);
            table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(name)));
            table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(value)));
            ++row;
        }
    }
};

// Runs `act` on the modal dialog of type T as soon as it is the active modal
// widget, from inside its modal loop. A dialog that `act` leaves open is
// rejected afterwards so that the loop always ends; *leftOpen tells whether that
// was needed. The returned timer is still active when no such dialog came up.
template <typename T>
std::unique_ptr<QTimer> WhenModal(std::function<void(T*)> act, bool* leftOpen = nullptr)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(0);
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), leftOpen] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        timer->stop();
        act(dialog);
        const bool open = dialog->isVisible();
        if (leftOpen != nullptr) {
            *leftOpen = open;
        }
        if (open) {
            dialog->reject();
        }
    });
    poll->start();
    return poll;
}

// The offscreen platform cannot raise or grab the completer's popup and says so
// on every keystroke; those notices come from the platform, not from the product.
inline void MuteOffscreenPlatformNotices()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.startsWith(QLatin1String("This plugin does not support"))) {
            return;
        }
        previous(type, context, text);
    });
}

// Waits until the window is the application's active window, the one that gets
// the key presses; a modal dialog's parent can still report itself active then.
inline bool WaitUntilActive(QWidget* window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Shows the window and makes it the active one, so that focus changes are real.
inline bool Activate(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return WaitUntilActive(&window);
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
