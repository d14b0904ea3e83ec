// Stands in for the desktop portal's settings on the session bus.
//   fake_portal [--no-read-one] [--delay-ms N] [--color-scheme N]
// Serves Read and ReadOne (--no-read-one: Read only, like portals before version 2),
// answering after N ms. Tests drive it through extra methods of the same interface:
//   Set(s namespace, s key, v value)   store and emit SettingChanged
//   SetAccent(d r, d g, d b)           Set of accent-color, for dbus-send (no structs)
//   Toggle(u count)                    count color-scheme changes, light first, alternating
//   ReadCount() -> u                   reads answered so far
// Prints "ready" once it owns the portal's name.

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMap>
#include <QThread>

#include <cstdio>

namespace {

const QString kAppearance = QStringLiteral("org.freedesktop.appearance");

class Settings : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    Settings(QObject* parent, bool readOne, int delayMs)
        : QDBusAbstractAdaptor(parent)
        , readOne_(readOne)
        , delayMs_(delayMs)
    {
    }
    QMap<QString, QVariant> values; // "namespace key"

public slots:
    // Read wraps the value in one variant more than ReadOne.
    QDBusVariant Read(const QString& ns, const QString& key, const QDBusMessage& call)
    {
        return Answer(ns, key, call, true);
    }
    QDBusVariant ReadOne(const QString& ns, const QString& key, const QDBusMessage& call)
    {
        if (!readOne_)
            return Fail(call, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        return Answer(ns, key, call, false);
    }
    void Set(const QString& ns, const QString& key, const QDBusVariant& value)
    {
        values.insert(ns + QLatin1Char(' ') + key, value.variant());
        emit SettingChanged(ns, key, value);
    }
    void SetAccent(double red, double green, double blue)
    {
        QDBusArgument rgb;
        rgb.beginStructure();
        rgb << red << green << blue;
        rgb.endStructure();
        Set(kAppearance, QStringLiteral("accent-color"), QDBusVariant(QVariant::fromValue(rgb)));
    }
    void Toggle(uint count)
    {
        for (uint i = 0; i < count; ++i)
            Set(kAppearance, QStringLiteral("color-scheme"), QDBusVariant(i % 2 == 0 ? 2u : 1u));
    }
    uint ReadCount() const { return reads_; }

signals:
    void SettingChanged(const QString& ns, const QString& key, const QDBusVariant& value);

private:
    QDBusVariant Fail(const QDBusMessage& call, const QString& error)
    {
        call.setDelayedReply(true);
        QDBusConnection::sessionBus().send(call.createErrorReply(error, error));
        return {};
    }
    QDBusVariant Answer(const QString& ns, const QString& key, const QDBusMessage& call, bool wrap)
    {
        ++reads_;
        QThread::msleep(delayMs_);
        const auto found = values.constFind(ns + QLatin1Char(' ') + key);
        if (found == values.constEnd())
            return Fail(call, QStringLiteral("org.freedesktop.portal.Error.NotFound"));
        return wrap ? QDBusVariant(QVariant::fromValue(QDBusVariant(*found))) : QDBusVariant(*found);
    }
    const bool readOne_;
    const int delayMs_;
    uint reads_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char* name) {
        const int at = args.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
    };
    QObject portal;
    auto* settings =
        new Settings(&portal, !args.contains(QStringLiteral("--no-read-one")), option("--delay-ms").toInt());
    if (!option("--color-scheme").isEmpty())
        settings->values.insert(kAppearance + QStringLiteral(" color-scheme"), option("--color-scheme").toUInt());

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal)
        || !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_portal: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_portal.moc"
