// Windows implementation of ui/theme.h: the registry's app-theme value, the
// system colours of Windows.UI.ViewManagement.UISettings and a native event
// filter that turns the "ImmersiveColorSet" broadcast into QEvent::ThemeChange.
// The Windows calls themselves live in ui/win32/win_theme.cpp, which is Qt-free.

#include "ui/theme.h"
#include "ui/theme_p.h"

#include "ui/win32/win_theme.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <spdlog/spdlog.h>

#include <windows.h>

#include <atomic>

bool IsDarkTheme()
{
    return WinAppsUseDarkTheme();
}

// Where Windows cannot hand out UISettings (Windows 8 and 8.1, Server Core,
// locked-down images, wine) the tool stays usable in the default accent colours;
// the registry's theme still applies. Each call asks again, so a refusal that
// passes is followed; it is logged once.
QColor GetSystemColor(const UIColorType& type)
{
    try {
        const WinColor color = WinGetUIColor(static_cast<int>(type));
        return QColor(color.r, color.g, color.b, color.a);
    } catch (const WinRtError& error) {
        static std::atomic<bool> reported{false};
        if (!reported.exchange(true)) {
            spdlog::warn("Theme: the system colours cannot be read, the default accent colours are used: {}",
                         error.what());
        }
        return DefaultSystemColor(type, IsDarkTheme());
    }
}

namespace {

class ThemeChangeFilter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override
    {
        Q_UNUSED(result);
        // WM_SETTINGCHANGE is sent to top-level windows, which Qt reports as
        // "windows_generic_MSG"; posted dispatcher messages are not of interest.
        if (eventType != QByteArrayLiteral("windows_generic_MSG") || message == nullptr) {
            return false;
        }
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_SETTINGCHANGE
            && WinIsImmersiveColorSetChange(msg->message, reinterpret_cast<const wchar_t*>(msg->lParam))) {
            scheduleBroadcast();
        }
        return false; // Qt still needs the message for its own palette handling
    }

private:
    // The broadcast reaches every top-level window of the process, so one change
    // arrives several times in a row; they are folded into one ThemeChange round,
    // delivered from the event loop rather than from inside the window procedure.
    void scheduleBroadcast()
    {
        if (pending_) {
            return;
        }
        pending_ = true;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this] {
            pending_ = false;
            // The palette first, so that the style sheets set next resolve against it.
            ApplyThemePalette(IsDarkTheme());
            BroadcastThemeChange();
            },
            Qt::QueuedConnection);
    }

    bool pending_ = false;
};

ThemeChangeFilter* installedFilter = nullptr;

} // namespace

void StartThemeChangeWatcher()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || installedFilter != nullptr) {
        return; // nothing to watch without an application, or already watching
    }
    installedFilter = new ThemeChangeFilter;
    app->installNativeEventFilter(installedFilter);
    ApplyThemePalette(IsDarkTheme());
    // Removed with the application object, so that a later one can watch again
    // and no filter outlives the event dispatcher it is registered with.
    QObject::connect(app, &QObject::destroyed, [] {
        delete installedFilter;
        installedFilter = nullptr;
    });
}
