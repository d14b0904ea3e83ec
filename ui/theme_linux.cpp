// Theme and system colours on the Linux desktop, from the XDG desktop portal's
// appearance settings. The values are asked for without waiting when the watcher
// starts and then kept up to date from the portal's change signal, so that neither
// start-up nor styling ever waits on D-Bus.

#include "ui/theme.h"
#include "ui/theme_p.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <spdlog/spdlog.h>

#include <optional>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kAccentColor = QStringLiteral("accent-color");

// A portal that has not answered by then counts as absent.
constexpr int kCallTimeoutMs = 2000;

// How long changes are gathered before the windows are restyled.
constexpr int kCoalesceMs = 30;

// Read wraps the value in one variant more than ReadOne; take off every layer.
QVariant Unwrap(QVariant value)
{
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

// color-scheme: 1 asks for dark; 0 (no preference) and 2 (light) mean light.
// Nothing when the value is not a number.
std::optional<bool> ParseColorScheme(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UInt:
        return value.toUInt() == 1;
    case QMetaType::Int:
        return value.toInt() == 1;
    default:
        return std::nullopt;
    }
}

// accent-color: (ddd), each 0..1. Out of range means "no accent" to the portal, which
// gives an invalid colour here. False when the value is not a (ddd) structure.
bool ParseAccentColor(const QVariant& value, QColor* accent)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(ddd)"))
        return false;
    double rgb[3] = {};
    argument.beginStructure();
    argument >> rgb[0] >> rgb[1] >> rgb[2];
    argument.endStructure();
    for (double channel : rgb) {
        if (!(channel >= 0.0 && channel <= 1.0)) { // NaN fails too
            *accent = QColor();
            return true;
        }
    }
    *accent = QColor::fromRgbF(float(rgb[0]), float(rgb[1]), float(rgb[2]));
    return true;
}

class PortalAppearance : public QObject {
    Q_OBJECT

public:
    static PortalAppearance& Instance()
    {
        // Never destroyed: at exit the D-Bus connection may already be gone.
        static PortalAppearance* const instance = [] {
            auto* created = new PortalAppearance;
            if (QCoreApplication::instance()) // change signals must arrive on the GUI thread
                created->moveToThread(QCoreApplication::instance()->thread());
            return created;
        }();
        return *instance;
    }

    bool Dark() const { return shown_.dark; }

    // Invalid while the desktop names no accent colour.
    QColor Accent() const { return shown_.accent; }

    void Watch()
    {
        if (watching_ || !QCoreApplication::instance())
            return;
        watching_ = true;
        ApplyPalette();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return; // no desktop bus: the default theme stays
        // The slot's argument types must be known by name before the connect, or
        // QtDBus refuses it without a word and no change ever arrives.
        qRegisterMetaType<QDBusVariant>();
        if (!bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                         SLOT(OnSettingChanged(QString, QString, QDBusVariant))))
            spdlog::warn("Theme: cannot follow the desktop portal's setting changes: {}",
                         bus.lastError().message().toStdString());
        // A portal that starts after the program (or restarts) is read afresh.
        auto* serviceWatcher = new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { ReadAll(); });
        ReadAll();
    }

private slots:
    void OnSettingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value)
    {
        // A running timer is not restarted, so that a flood cannot postpone the restyle.
        if (settingNamespace == kNamespace && Apply(key, Unwrap(value.variant())) && !restyleTimer_.isActive())
            restyleTimer_.start();
    }

private:
    struct Appearance {
        bool dark = false;
        QColor accent;
        bool operator==(const Appearance& other) const { return dark == other.dark && accent == other.accent; }
    };

    PortalAppearance()
    {
        // Changes are gathered and shown together: a burst of signals costs one
        // restyle, and the last value wins.
        restyleTimer_.setParent(this); // moves to the GUI thread with its owner
        restyleTimer_.setSingleShot(true);
        restyleTimer_.setInterval(kCoalesceMs);
        connect(&restyleTimer_, &QTimer::timeout, this, &PortalAppearance::Restyle);
    }

    // Asks for both keys without waiting; the windows are restyled once both answers are in.
    void ReadAll()
    {
        pendingReads_ = 0;
        ++readRound_;
        for (const QString& key : {kColorScheme, kAccentColor})
            Read(key, readOneMissing_ ? QStringLiteral("Read") : QStringLiteral("ReadOne"));
    }

    void Read(const QString& key, const QString& method)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call << kNamespace << key;
        ++pendingReads_;
        auto* reply = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), this);
        const int round = readRound_;
        connect(reply, &QDBusPendingCallWatcher::finished, this, [this, reply, key, method, round] {
            reply->deleteLater();
            if (round != readRound_)
                return; // superseded by a newer round for a restarted portal
            const QDBusMessage answer = reply->reply();
            --pendingReads_;
            if (answer.type() == QDBusMessage::ReplyMessage) {
                if (!answer.arguments().isEmpty())
                    Apply(key, Unwrap(answer.arguments().constFirst()));
            } else if (method == QLatin1String("ReadOne")
                       && answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
                readOneMissing_ = true; // portals before version 2 only have Read
                Read(key, QStringLiteral("Read"));
            }
            if (pendingReads_ == 0)
                Restyle();
        });
    }

    // Takes a well-typed value into the pending appearance; anything else leaves
    // the last good one. True on a change.
    bool Apply(const QString& key, const QVariant& value)
    {
        if (key == kColorScheme) {
            const std::optional<bool> dark = ParseColorScheme(value);
            if (!dark || *dark == pending_.dark)
                return false;
            pending_.dark = *dark;
            return true;
        }
        if (key == kAccentColor) {
            QColor accent;
            if (!ParseAccentColor(value, &accent) || accent == pending_.accent)
                return false;
            pending_.accent = accent;
            return true;
        }
        return false;
    }

    void ApplyPalette() { ApplyThemePalette(shown_.dark); }

    // Shows the pending appearance: the palette first, so that the style sheets
    // the windows set next are resolved against it.
    void Restyle()
    {
        restyleTimer_.stop();
        if (pending_ == shown_)
            return;
        shown_ = pending_;
        ApplyPalette();
        BroadcastThemeChange();
    }

    bool watching_ = false;
    bool readOneMissing_ = false;
    int pendingReads_ = 0;
    int readRound_ = 0;
    Appearance pending_;
    Appearance shown_;
    QTimer restyleTimer_;
};

} // namespace

bool IsDarkTheme()
{
    return PortalAppearance::Instance().Dark();
}

QColor GetSystemColor(const UIColorType& type)
{
    PortalAppearance& appearance = PortalAppearance::Instance();
    const QColor accent = appearance.Accent();
    if (accent.isValid() && type != UIColorType::Background && type != UIColorType::Foreground) {
        return DeriveAccentShade(accent, type);
    }
    return DefaultSystemColor(type, appearance.Dark());
}

void StartThemeChangeWatcher()
{
    PortalAppearance::Instance().Watch();
}

#include "theme_linux.moc"
