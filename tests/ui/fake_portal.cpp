// Stands in for the desktop portal's settings on the session bus, so that the theme
// code can be tested without a desktop.
//
//   fake_portal [--no-read-one] [--delay-ms N] [--color-scheme N]
//
// Serves org.freedesktop.portal.Settings ReadOne and Read (only Read with
// --no-read-one, like portals before version 2) at /org/freedesktop/portal/desktop,
// answering after N ms. Starts with no values, or with the given color-scheme.
// Tests drive it through org.example.FakePortalControl at the same path:
//   Set(s namespace, s key, v value)  stores the value and emits SettingChanged
//   SetAccent(d r, d g, d b)          Set of the accent colour, for callers that cannot
//                                     write a (ddd) structure (dbus-send)
//   Toggle(u count)                   emits count color-scheme changes in a row,
//                                     light first and alternating; the last is kept
//   ReadCount() -> u                  how many reads it has answered
// Prints "ready" once it owns org.freedesktop.portal.Desktop.

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMap>
#include <QPair>
#include <QStringList>
#include <QThread>

#include <cstdio>

// The accent-color value, (ddd).
struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;
};
Q_DECLARE_METATYPE(Rgb)

QDBusArgument& operator<<(QDBusArgument& argument, const Rgb& rgb)
{
    argument.beginStructure();
    argument << rgb.red << rgb.green << rgb.blue;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Rgb& rgb)
{
    argument.beginStructure();
    argument >> rgb.red >> rgb.green >> rgb.blue;
    argument.endStructure();
    return argument;
}

namespace {

class FakePortal : public QObject {
public:
    explicit FakePortal(int delayMs) : delayMs_(delayMs) {}

    // The stored value, wrapped in one more variant for the old Read method.
    QDBusVariant Answer(const QString& settingNamespace, const QString& key, const QDBusMessage& call, bool readMethod)
    {
        ++readCount_;
        QThread::msleep(delayMs_);
        const auto found = values_.constFind({settingNamespace, key});
        if (found == values_.constEnd()) {
            call.setDelayedReply(true);
            QDBusConnection::sessionBus().send(call.createErrorReply(
                QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found")));
            return QDBusVariant();
        }
        return readMethod ? QDBusVariant(QVariant::fromValue(QDBusVariant(*found))) : QDBusVariant(*found);
    }

    void Store(const QString& settingNamespace, const QString& key, const QVariant& value)
    {
        values_.insert({settingNamespace, key}, value);
    }

    uint ReadCount() const { return readCount_; }

private:
    const int delayMs_;
    uint readCount_ = 0;
    QMap<QPair<QString, QString>, QVariant> values_;
};

// The settings interface as portals before version 2 had it: Read only.
class SettingsV1 : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    explicit SettingsV1(FakePortal* portal) : QDBusAbstractAdaptor(portal), portal_(portal) {}

public slots:
    QDBusVariant Read(const QString& settingNamespace, const QString& key, const QDBusMessage& call)
    {
        return portal_->Answer(settingNamespace, key, call, true);
    }

signals:
    void SettingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value);

protected:
    FakePortal* const portal_;
};

class SettingsV2 : public SettingsV1 {
    Q_OBJECT
    // Qt takes the interface name only from the class's own information.
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    using SettingsV1::SettingsV1;

public slots:
    QDBusVariant ReadOne(const QString& settingNamespace, const QString& key, const QDBusMessage& call)
    {
        return portal_->Answer(settingNamespace, key, call, false);
    }
};

class Control : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.FakePortalControl")

public:
    Control(FakePortal* portal, SettingsV1* settings) : QDBusAbstractAdaptor(portal), portal_(portal), settings_(settings) {}

public slots:
    void Set(const QString& settingNamespace, const QString& key, const QDBusVariant& value)
    {
        portal_->Store(settingNamespace, key, value.variant());
        emit settings_->SettingChanged(settingNamespace, key, value);
    }

    void SetAccent(double red, double green, double blue)
    {
        Set(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"),
            QDBusVariant(QVariant::fromValue(Rgb{red, green, blue})));
    }

    void Toggle(uint count)
    {
        const QString settingNamespace = QStringLiteral("org.freedesktop.appearance");
        const QString key = QStringLiteral("color-scheme");
        for (uint i = 0; i < count; ++i) {
            const QVariant value = QVariant::fromValue(i % 2 == 0 ? 2u : 1u);
            portal_->Store(settingNamespace, key, value);
            emit settings_->SettingChanged(settingNamespace, key, QDBusVariant(value));
        }
    }

    uint ReadCount() const { return portal_->ReadCount(); }

private:
    FakePortal* const portal_;
    SettingsV1* const settings_;
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Rgb>();
    const QStringList args = app.arguments();
    const int delayIndex = args.indexOf(QStringLiteral("--delay-ms"));
    const int delayMs = delayIndex > 0 && delayIndex + 1 < args.size() ? args.at(delayIndex + 1).toInt() : 0;

    FakePortal portal(delayMs);
    SettingsV1* settings = args.contains(QStringLiteral("--no-read-one")) ? new SettingsV1(&portal)
                                                                           : new SettingsV2(&portal);
    new Control(&portal, settings);
    const int schemeIndex = args.indexOf(QStringLiteral("--color-scheme"));
    if (schemeIndex > 0 && schemeIndex + 1 < args.size())
        portal.Store(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                     QVariant::fromValue(args.at(schemeIndex + 1).toUInt()));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal)
        || !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_portal: cannot serve on the session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_portal.moc"
