// Theme and system colours on the Linux desktop, from the XDG desktop portal's
// appearance settings. The values are read once, on first use, and then kept up to
// date from the portal's change signal, so that styling never waits on D-Bus.

#include "theme.h"
#include "theme_linux_p.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <cmath>
#include <optional>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kAccentColor = QStringLiteral("accent-color");

// A portal that has not answered by then counts as absent: the interface must not hang on it.
constexpr int kCallTimeoutMs = 200;

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
        if (!(channel >= 0.0 && channel <= 1.0)) {  // NaN fails too
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
            if (QCoreApplication::instance())  // change signals must arrive on the GUI thread
                created->moveToThread(QCoreApplication::instance()->thread());
            return created;
        }();
        return *instance;
    }

    bool Dark()
    {
        Load();
        return dark_;
    }

    // Invalid while the desktop names no accent colour.
    QColor Accent()
    {
        Load();
        return accent_;
    }

    void Watch()
    {
        if (watching_ || !QCoreApplication::instance())
            return;
        watching_ = QDBusConnection::sessionBus().connect(
            kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
            SLOT(OnSettingChanged(QString, QString, QDBusVariant)));
        Load();
    }

private slots:
    void OnSettingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value)
    {
        if (settingNamespace != kNamespace || !Apply(key, Unwrap(value.variant())))
            return;
        // Qt sends ThemeChange to top-level widgets only; every window, dialogs
        // included, is one of them. Guarded, as a handler may close another window.
        QList<QPointer<QWidget>> windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            windows.append(window);
        for (const QPointer<QWidget>& window : windows) {
            if (window) {
                QEvent event(QEvent::ThemeChange);
                QCoreApplication::sendEvent(window, &event);
            }
        }
    }

private:
    // Without an application object there is no event loop to deliver changes:
    // stay with the defaults rather than cache a value that could never refresh.
    void Load()
    {
        if (loaded_ || !QCoreApplication::instance())
            return;
        loaded_ = true;
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        for (const QString& key : {kColorScheme, kAccentColor}) {
            if (!Read(bus, key))
                break;  // absent or silent portal: do not wait for it a second time
        }
    }

    // Reads one key and applies it. False when the portal is absent or did not answer.
    bool Read(const QDBusConnection& bus, const QString& key)
    {
        QDBusMessage reply;
        if (!readOneMissing_) {
            reply = Call(bus, QStringLiteral("ReadOne"), key);
            readOneMissing_ = reply.type() == QDBusMessage::ErrorMessage
                && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod");
        }
        if (readOneMissing_)  // portals before version 2 only have Read
            reply = Call(bus, QStringLiteral("Read"), key);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            if (!reply.arguments().isEmpty())
                Apply(key, Unwrap(reply.arguments().constFirst()));
            return true;
        }
        // A key the desktop does not set is no reason to stop asking.
        return reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound");
    }

    static QDBusMessage Call(const QDBusConnection& bus, const QString& method, const QString& key)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call << kNamespace << key;
        return bus.call(call, QDBus::Block, kCallTimeoutMs);
    }

    // Takes a well-typed value; anything else leaves the last good one. True on a change.
    bool Apply(const QString& key, const QVariant& value)
    {
        if (key == kColorScheme) {
            const std::optional<bool> dark = ParseColorScheme(value);
            if (!dark || *dark == dark_)
                return false;
            dark_ = *dark;
            return true;
        }
        if (key == kAccentColor) {
            QColor accent;
            if (!ParseAccentColor(value, &accent) || accent == accent_)
                return false;
            accent_ = accent;
            return true;
        }
        return false;
    }

    bool loaded_ = false;
    bool watching_ = false;
    bool readOneMissing_ = false;
    bool dark_ = false;
    QColor accent_;
};

}  // namespace

// Windows steps the HSL lightness of the accent: for its default blue #0078D4
// (lightness 0.416) the darker shades have 0.75, 0.55 and 0.31 of that lightness,
// and the lighter ones move 27, 48 and 66 % of the way to white with saturation
// cut to 75 %. Hue is kept. This reproduces the default palette to within one
// step per channel, except that Windows also turns its lightest shade toward cyan.
QColor DeriveAccentShade(const QColor& accent, UIColorType type)
{
    const QColor hsl = accent.toHsl();
    const float hue = hsl.hslHueF();  // -1 for a grey, which stays grey
    const float saturation = hsl.hslSaturationF();
    const float lightness = hsl.lightnessF();
    const auto darker = [&](float share) {
        return QColor::fromHslF(hue, saturation, lightness * share).toRgb();
    };
    const auto lighter = [&](float way) {
        return QColor::fromHslF(hue, saturation * 0.75f, lightness + (1.0f - lightness) * way).toRgb();
    };
    switch (type) {
    case UIColorType::AccentDark3:
        return darker(0.31f);
    case UIColorType::AccentDark2:
        return darker(0.55f);
    case UIColorType::AccentDark1:
        return darker(0.75f);
    case UIColorType::Accent:
        return accent.toRgb();
    case UIColorType::AccentLight1:
        return lighter(0.27f);
    case UIColorType::AccentLight2:
        return lighter(0.48f);
    case UIColorType::AccentLight3:
        return lighter(0.66f);
    case UIColorType::Complement:  // opposite hue
        return QColor::fromHslF(hue < 0.0f ? hue : std::fmod(hue + 0.5f, 1.0f), saturation, lightness).toRgb();
    default:
        return QColor();
    }
}

QColor DefaultAccentShade(UIColorType type)
{
    switch (type) {
    case UIColorType::AccentDark3:
        return QColor(0x00, 0x26, 0x42);
    case UIColorType::AccentDark2:
        return QColor(0x00, 0x42, 0x75);
    case UIColorType::AccentDark1:
        return QColor(0x00, 0x5A, 0x9E);
    case UIColorType::Accent:
        return QColor(0x00, 0x78, 0xD4);
    case UIColorType::AccentLight1:
        return QColor(0x42, 0x9C, 0xE3);
    case UIColorType::AccentLight2:
        return QColor(0x76, 0xB9, 0xED);
    case UIColorType::AccentLight3:
        return QColor(0x99, 0xEB, 0xFF);
    default:
        return DeriveAccentShade(QColor(0x00, 0x78, 0xD4), type);
    }
}

bool IsDarkTheme()
{
    return PortalAppearance::Instance().Dark();
}

QColor GetSystemColor(const UIColorType& type)
{
    PortalAppearance& appearance = PortalAppearance::Instance();
    switch (type) {
    case UIColorType::Background:
        return appearance.Dark() ? QColor(Qt::black) : QColor(Qt::white);
    case UIColorType::Foreground:
        return appearance.Dark() ? QColor(Qt::white) : QColor(Qt::black);
    default: {
        const QColor accent = appearance.Accent();
        return accent.isValid() ? DeriveAccentShade(accent, type) : DefaultAccentShade(type);
    }
    }
}

void StartThemeChangeWatcher()
{
    PortalAppearance::Instance().Watch();
}

#include "theme_linux.moc"
