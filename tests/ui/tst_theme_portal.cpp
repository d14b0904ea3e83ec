// Checks the Linux theme source against a fake desktop portal on a private session
// bus: the values read at start, live changes reaching every window once per burst,
// the application palette, the fallback to the old Read method, tolerance of bad
// values, and the behaviour with no bus, no portal, a portal that does not answer or
// one that starts later (each in a fresh child process, since the values are read
// once per process).

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <cmath>
#include <cstdio>

#include "styling.h"
#include "theme.h"
#include "theme_linux_p.h"

#ifndef FAKE_PORTAL_PATH
#error "FAKE_PORTAL_PATH must name the fake_portal executable"
#endif

// The portal's accent-color value, (ddd).
struct PortalRgb {
    double red = 0;
    double green = 0;
    double blue = 0;
};
Q_DECLARE_METATYPE(PortalRgb)

QDBusArgument& operator<<(QDBusArgument& argument, const PortalRgb& rgb)
{
    argument.beginStructure();
    argument << rgb.red << rgb.green << rgb.blue;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalRgb& rgb)
{
    argument.beginStructure();
    argument >> rgb.red >> rgb.green >> rgb.blue;
    argument.endStructure();
    return argument;
}

namespace {

const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kAccentColor = QStringLiteral("accent-color");

// Set in the environment of the child processes that run childCheck.
const char kChildVar[] = "THEME_TEST_CHILD";
const char kExpectDarkVar[] = "THEME_TEST_EXPECT_DARK";
const char kExpectAccentVar[] = "THEME_TEST_EXPECT_ACCENT";  // "r,g,b", empty for the default palette
const char kMaxFirstMsVar[] = "THEME_TEST_MAX_FIRST_MS";

const QList<UIColorType> kAccentKinds = {
    UIColorType::AccentDark3, UIColorType::AccentDark2, UIColorType::AccentDark1, UIColorType::Accent,
    UIColorType::AccentLight1, UIColorType::AccentLight2, UIColorType::AccentLight3, UIColorType::Complement,
};

QColor FromPortal(const PortalRgb& rgb)
{
    return QColor::fromRgbF(float(rgb.red), float(rgb.green), float(rgb.blue));
}

// What GetSystemColor must give for an accent kind; an invalid accent means none is set.
QColor ExpectedShade(const QColor& accent, UIColorType type)
{
    return accent.isValid() ? DeriveAccentShade(accent, type) : DefaultAccentShade(type);
}

// First accent kind whose colour differs from the expectation, as text; empty when all match.
QString PaletteMismatch(const QColor& accent)
{
    for (UIColorType type : kAccentKinds) {
        const QColor actual = GetSystemColor(type);
        const QColor expected = ExpectedShade(accent, type);
        if (actual != expected)
            return QStringLiteral("kind %1: %2 instead of %3")
                .arg(int(type))
                .arg(actual.name(QColor::HexArgb), expected.name(QColor::HexArgb));
    }
    return QString();
}

const QString kRestyleFile = QStringLiteral("qframe-background-style.qss");

QString BundledSheet(const QString& theme)
{
    QFile file(QStringLiteral(":/styles/windows/%1/").arg(theme) + kRestyleFile);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// Counts the theme-change events of the widgets it watches, and whether the theme
// already read dark when each arrived. Like a real window, it restyles the widget
// from inside the handler.
class ThemeChangeCounter : public QObject {
public:
    int Count(QObject* object) const { return counts_.value(object); }
    bool DarkSeenBy(QObject* object) const { return darkSeen_.value(object); }
    void Reset()
    {
        counts_.clear();
        darkSeen_.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ThemeChange) {
            ++counts_[watched];
            darkSeen_[watched] = IsDarkTheme();
            if (auto* widget = qobject_cast<QWidget*>(watched))
                SetWidgetStyle(widget, kRestyleFile);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QHash<QObject*, int> counts_;
    QHash<QObject*, bool> darkSeen_;
};

}  // namespace

class TstThemePortal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startValuesAreReadOnce();
    void schemeChangeRestylesEveryWindow();
    void accentChangeFollows_data();
    void accentChangeFollows();
    void badValuesKeepLastGoodValues();
    void freshProcess_data();
    void freshProcess();
    void childCheck();

private:
    bool IsChild() const { return qEnvironmentVariableIsSet(kChildVar); }
    bool StartPortal(const QStringList& args = {});
    void StopPortal();
    bool SetSetting(const QString& settingNamespace, const QString& key, const QVariant& value);
    uint PortalReadCount();

    QTemporaryDir busDir_;
    QProcess bus_;
    QProcess portal_;
};

void TstThemePortal::initTestCase()
{
    qDBusRegisterMetaType<PortalRgb>();
    if (IsChild())
        return;  // a child uses the bus its parent chose for it
    QVERIFY(busDir_.isValid());

    // A bus of our own, without service activation, so that no real portal can answer.
    const QString config = busDir_.filePath(QStringLiteral("bus.conf"));
    QFile configFile(config);
    QVERIFY(configFile.open(QIODevice::WriteOnly));
    configFile.write(QStringLiteral(
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
        "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                         .arg(busDir_.path())
                         .toUtf8());
    configFile.close();
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                QStringLiteral("--print-address=1")});
    QVERIFY2(bus_.waitForStarted(5000), qPrintable(bus_.errorString()));
    QVERIFY(bus_.waitForReadyRead(5000));
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY2(address.startsWith("unix:"), address.constData());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    // Everything below must talk to that bus, never to a desktop's: the bus id tells.
    const auto busId = [](const QDBusConnection& connection) {
        const QDBusMessage reply = connection.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
    };
    const QDBusConnection session = QDBusConnection::sessionBus();
    QVERIFY2(session.isConnected(), qPrintable(session.lastError().message()));
    const QString privateId = busId(QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("check")));
    QDBusConnection::disconnectFromBus(QStringLiteral("check"));
    QVERIFY(!privateId.isEmpty());
    QVERIFY2(busId(session) == privateId, "the session bus connection was opened before the private bus was set up");

    QVERIFY(StartPortal());
}

void TstThemePortal::cleanupTestCase()
{
    StopPortal();
    if (bus_.state() != QProcess::NotRunning) {
        bus_.terminate();
        if (!bus_.waitForFinished(5000))
            bus_.kill();
    }
}

bool TstThemePortal::StartPortal(const QStringList& args)
{
    StopPortal();
    portal_.start(QStringLiteral(FAKE_PORTAL_PATH), args);
    if (!portal_.waitForStarted(5000))
        return false;
    while (portal_.waitForReadyRead(5000)) {
        if (portal_.readLine().trimmed() == "ready")
            return true;
    }
    qWarning() << "fake portal did not start:" << portal_.readAllStandardError();
    return false;
}

void TstThemePortal::StopPortal()
{
    if (portal_.state() == QProcess::NotRunning)
        return;
    portal_.terminate();
    if (!portal_.waitForFinished(5000))
        portal_.kill();
    // The name must be free before anyone asks for it again.
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.portal.Desktop")));
}

bool TstThemePortal::SetSetting(const QString& settingNamespace, const QString& key, const QVariant& value)
{
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.example.FakePortalControl"), QStringLiteral("Set"));
    set << settingNamespace << key << QVariant::fromValue(QDBusVariant(value));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qWarning() << "Set failed:" << reply.errorMessage();
    return reply.type() == QDBusMessage::ReplyMessage;
}

uint TstThemePortal::PortalReadCount()
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                       QStringLiteral("/org/freedesktop/portal/desktop"),
                                       QStringLiteral("org.example.FakePortalControl"), QStringLiteral("ReadCount")),
        QDBus::Block, 5000);
    return reply.arguments().isEmpty() ? ~0u : reply.arguments().constFirst().toUInt();
}

void TstThemePortal::startValuesAreReadOnce()
{
    if (IsChild())
        QSKIP("parent only");
    const PortalRgb accent{0.8, 0.2, 0.4};
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(1u)));
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(accent)));

    // Nothing is asked before the watcher runs, and starting it does not wait.
    QCOMPARE(IsDarkTheme(), false);
    QCOMPARE(PortalReadCount(), 0u);
    QElapsedTimer timer;
    timer.start();
    StartThemeChangeWatcher();
    StartThemeChangeWatcher();
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));

    QTRY_COMPARE(IsDarkTheme(), true);
    QCOMPARE(GetSystemColor(UIColorType::Background), QColor(Qt::black));
    QCOMPARE(GetSystemColor(UIColorType::Foreground), QColor(Qt::white));
    const QString mismatch = PaletteMismatch(FromPortal(accent));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    // The application palette is dark too, with the accent for selections.
    QCOMPARE(QApplication::palette().color(QPalette::Base), QColor(0x2B, 0x2B, 0x2B));
    QCOMPARE(QApplication::palette().color(QPalette::Highlight), GetSystemColor(UIColorType::AccentLight2));

    // Styling asks over and over; the answers come from memory.
    const uint reads = PortalReadCount();
    QCOMPARE(reads, 2u);
    for (int i = 0; i < 100; ++i) {
        IsDarkTheme();
        GetSystemColor(UIColorType::AccentLight1);
    }
    QCOMPARE(PortalReadCount(), reads);

    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(0u)));
    QTRY_COMPARE(IsDarkTheme(), false);
    QCOMPARE(QApplication::palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(QApplication::palette().color(QPalette::Highlight), GetSystemColor(UIColorType::AccentLight1));
}

void TstThemePortal::schemeChangeRestylesEveryWindow()
{
    if (IsChild())
        QSKIP("parent only");
    QWidget window;
    QDialog dialog(&window);
    ThemeChangeCounter counter;
    window.installEventFilter(&counter);
    dialog.installEventFilter(&counter);
    window.show();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(IsDarkTheme(), false);
    counter.Reset();

    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(1u)));
    QTRY_COMPARE(IsDarkTheme(), true);
    QCOMPARE(counter.Count(&window), 1);
    QCOMPARE(counter.Count(&dialog), 1);
    QVERIFY(counter.DarkSeenBy(&window));
    QVERIFY(counter.DarkSeenBy(&dialog));
    const QString darkSheet = BundledSheet(QStringLiteral("dark"));
    QVERIFY(!darkSheet.isEmpty());
    QVERIFY(darkSheet != BundledSheet(QStringLiteral("light")));
    QCOMPARE(window.styleSheet(), darkSheet);
    QCOMPARE(dialog.styleSheet(), darkSheet);
    QCOMPARE(GetSystemColor(UIColorType::Background), QColor(Qt::black));
    QCOMPARE(GetSystemColor(UIColorType::Foreground), QColor(Qt::white));

    // No preference (0) and light (2) both mean light.
    for (uint lightValue : {0u, 2u}) {
        counter.Reset();
        QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(lightValue)));
        QTRY_COMPARE(IsDarkTheme(), false);
        QCOMPARE(counter.Count(&window), 1);
        QCOMPARE(counter.Count(&dialog), 1);
        QCOMPARE(GetSystemColor(UIColorType::Background), QColor(Qt::white));
        QCOMPARE(dialog.styleSheet(), BundledSheet(QStringLiteral("light")));
        QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(1u)));
        QTRY_COMPARE(IsDarkTheme(), true);
    }
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(0u)));
    QTRY_COMPARE(IsDarkTheme(), false);

    // A flood is shown once, with its last value: light first, dark last.
    counter.Reset();
    QDBusMessage toggle = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.example.FakePortalControl"), QStringLiteral("Toggle"));
    toggle << 500u;
    QCOMPARE(QDBusConnection::sessionBus().call(toggle, QDBus::Block, 5000).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(IsDarkTheme(), true);
    QTest::qWait(200);
    QVERIFY2(counter.Count(&window) <= 3, qPrintable(QString::number(counter.Count(&window))));
    QCOMPARE(counter.Count(&window), counter.Count(&dialog));
    QCOMPARE(dialog.styleSheet(), darkSheet);
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(0u)));
    QTRY_COMPARE(IsDarkTheme(), false);
}

void TstThemePortal::accentChangeFollows_data()
{
    QTest::addColumn<uint>("scheme");
    QTest::addColumn<PortalRgb>("accent");
    QTest::addColumn<bool>("accentSet");  // false: out of range, which the portal defines as "no accent"

    QTest::newRow("green, dark") << 1u << PortalRgb{0.1, 0.6, 0.2} << true;
    QTest::newRow("orange, light") << 0u << PortalRgb{1.0, 0.55, 0.0} << true;
    QTest::newRow("out of range, dark") << 1u << PortalRgb{-1.0, -1.0, -1.0} << false;
    QTest::newRow("teal, light") << 2u << PortalRgb{0.0, 0.5, 0.5} << true;
    QTest::newRow("above one, light") << 0u << PortalRgb{0.5, 1.5, 0.5} << false;
}

void TstThemePortal::accentChangeFollows()
{
    if (IsChild())
        QSKIP("parent only");
    QFETCH(uint, scheme);
    QFETCH(PortalRgb, accent);
    QFETCH(bool, accentSet);

    const QColor before = GetSystemColor(UIColorType::AccentLight1);
    const QColor expected = accentSet ? FromPortal(accent) : QColor();
    QVERIFY2(ExpectedShade(expected, UIColorType::AccentLight1) != before, "each row must change the palette");

    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(scheme)));
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(accent)));
    QTRY_COMPARE(GetSystemColor(UIColorType::AccentLight1), ExpectedShade(expected, UIColorType::AccentLight1));
    const QString mismatch = PaletteMismatch(expected);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    const bool dark = scheme == 1;
    QCOMPARE(IsDarkTheme(), dark);
    QCOMPARE(GetSystemColor(UIColorType::Background), dark ? QColor(Qt::black) : QColor(Qt::white));
    QCOMPARE(GetSystemColor(UIColorType::Foreground), dark ? QColor(Qt::white) : QColor(Qt::black));
}

void TstThemePortal::badValuesKeepLastGoodValues()
{
    if (IsChild())
        QSKIP("parent only");
    QWidget window;
    ThemeChangeCounter counter;
    window.installEventFilter(&counter);
    window.show();

    const PortalRgb good{0.3, 0.3, 0.9};
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(0u)));
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(good)));
    QTRY_COMPARE(GetSystemColor(UIColorType::Accent), FromPortal(good));
    QCOMPARE(IsDarkTheme(), false);

    // Bad schemes, then a good accent: once that has arrived, the bad ones have been seen.
    counter.Reset();
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(QStringLiteral("1"))));
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(true)));
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(1.0)));
    QVERIFY(SetSetting(QStringLiteral("org.example.other"), kColorScheme, QVariant::fromValue(1u)));
    const PortalRgb marker{0.9, 0.3, 0.3};
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(marker)));
    QTRY_COMPARE(GetSystemColor(UIColorType::Accent), FromPortal(marker));
    QCOMPARE(IsDarkTheme(), false);
    QCOMPARE(counter.Count(&window), 1);  // only the good change restyles

    // Bad accents, then a good scheme.
    counter.Reset();
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(QStringLiteral("#00ff00"))));
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(QList<double>{0.0, 1.0, 0.0})));
    QVERIFY(SetSetting(kAppearance, kAccentColor, QVariant::fromValue(7u)));
    QVERIFY(SetSetting(QStringLiteral("org.example.other"), kAccentColor, QVariant::fromValue(good)));
    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(1u)));
    QTRY_COMPARE(IsDarkTheme(), true);
    QCOMPARE(GetSystemColor(UIColorType::Accent), FromPortal(marker));
    const QString mismatch = PaletteMismatch(FromPortal(marker));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(counter.Count(&window), 1);

    QVERIFY(SetSetting(kAppearance, kColorScheme, QVariant::fromValue(0u)));
    QTRY_COMPARE(IsDarkTheme(), false);
}

void TstThemePortal::freshProcess_data()
{
    QTest::addColumn<QString>("portal");  // "none", or the fake portal's arguments
    QTest::addColumn<bool>("busMissing");
    QTest::addColumn<QVariant>("scheme");  // stored in the portal before the child starts; invalid: unset
    QTest::addColumn<QVariant>("accent");
    QTest::addColumn<bool>("expectDark");
    QTest::addColumn<QString>("expectAccent");  // "r,g,b"; empty for the default palette
    QTest::addColumn<int>("maxFirstMs");  // starting the watcher, which must not wait for the portal

    const QVariant unset;
    const QVariant dark = QVariant::fromValue(1u);
    const QVariant rgb = QVariant::fromValue(PortalRgb{0.2, 0.5, 0.3});
    QTest::newRow("no bus") << "none" << true << unset << unset << false << QString() << 100;
    QTest::newRow("bus without portal") << "none" << false << unset << unset << false << QString() << 100;
    QTest::newRow("portal without values") << "" << false << unset << unset << false << QString() << 100;
    QTest::newRow("ReadOne") << "" << false << dark << rgb << true << "0.2,0.5,0.3" << 100;
    QTest::newRow("only Read") << "--no-read-one" << false << dark << rgb << true << "0.2,0.5,0.3" << 100;
    QTest::newRow("wrong types") << "" << false << QVariant::fromValue(QStringLiteral("dark"))
                                 << QVariant::fromValue(QStringLiteral("#102030")) << false << QString() << 100;
    // The answer never comes in time: the default theme stays, and nothing waited for it.
    QTest::newRow("silent portal") << "--delay-ms 3000" << false << dark << rgb << false << QString() << 100;
    // The portal starts after the program: it is read when its name appears.
    QTest::newRow("portal appears later") << "later --color-scheme 1" << false << unset << unset << true << QString()
                                          << 100;
}

void TstThemePortal::freshProcess()
{
    if (IsChild())
        QSKIP("parent only");
    QFETCH(QString, portal);
    QFETCH(bool, busMissing);
    QFETCH(QVariant, scheme);
    QFETCH(QVariant, accent);
    QFETCH(bool, expectDark);
    QFETCH(QString, expectAccent);
    QFETCH(int, maxFirstMs);

    const bool later = portal.startsWith(QLatin1String("later "));
    if (portal == QLatin1String("none") || later) {
        StopPortal();
    } else {
        QVERIFY(StartPortal(portal.split(QLatin1Char(' '), Qt::SkipEmptyParts)));
        if (scheme.isValid())
            QVERIFY(SetSetting(kAppearance, kColorScheme, scheme));
        if (accent.isValid())
            QVERIFY(SetSetting(kAppearance, kAccentColor, accent));
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildVar), QStringLiteral("1"));
    environment.insert(QString::fromLatin1(kExpectDarkVar), expectDark ? QStringLiteral("1") : QStringLiteral("0"));
    environment.insert(QString::fromLatin1(kExpectAccentVar), expectAccent);
    environment.insert(QString::fromLatin1(kMaxFirstMsVar), QString::number(maxFirstMs));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (busMissing)
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + busDir_.filePath(QStringLiteral("no-such-socket")));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childCheck")});
    QByteArray output;
    if (later) {
        while (!output.contains("watching") && child.waitForReadyRead(30000))
            output += child.readAll();
        QVERIFY2(output.contains("watching"), output.constData());
        QVERIFY(StartPortal(portal.mid(6).split(QLatin1Char(' '), Qt::SkipEmptyParts)));
    }
    QVERIFY(child.waitForFinished(30000));
    output += child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("PASS   : TstThemePortal::childCheck()"), output.constData());

    if (portal != QLatin1String("none") && (later || portal.contains(QLatin1String("delay"))))
        QVERIFY(StartPortal());  // do not leave a portal behind that stalls the others
}

void TstThemePortal::childCheck()
{
    if (!IsChild())
        QSKIP("runs in the child processes that freshProcess starts");
    const bool expectDark = qEnvironmentVariable(kExpectDarkVar) == QLatin1String("1");
    const QStringList rgb = qEnvironmentVariable(kExpectAccentVar).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QColor expectAccent =
        rgb.size() == 3 ? FromPortal({rgb.at(0).toDouble(), rgb.at(1).toDouble(), rgb.at(2).toDouble()}) : QColor();
    const int maxFirstMs = qEnvironmentVariableIntValue(kMaxFirstMsVar);

    QElapsedTimer timer;
    timer.start();
    StartThemeChangeWatcher();
    const qint64 firstMs = timer.elapsed();
    std::printf("watching\n");
    std::fflush(stdout);

    // Until the answers are in the default theme shows; a light expectation is
    // checked after the answers had time to arrive.
    QTRY_COMPARE_WITH_TIMEOUT(IsDarkTheme(), expectDark, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(PaletteMismatch(expectAccent).isEmpty(), 10000);
    if (!expectDark)
        QTest::qWait(300);
    timer.restart();
    for (int i = 0; i < 100; ++i) {
        IsDarkTheme();
        GetSystemColor(UIColorType::AccentLight2);
        GetSystemColor(UIColorType::Background);
    }
    const qint64 hundredMs = timer.elapsed();

    QCOMPARE(IsDarkTheme(), expectDark);
    QCOMPARE(GetSystemColor(UIColorType::Background), expectDark ? QColor(Qt::black) : QColor(Qt::white));
    const QString mismatch = PaletteMismatch(expectAccent);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY2(firstMs <= maxFirstMs, qPrintable(QStringLiteral("starting the watcher took %1 ms").arg(firstMs)));
    QVERIFY2(hundredMs < 100, qPrintable(QStringLiteral("100 calls took %1 ms").arg(hundredMs)));
}

QTEST_MAIN(TstThemePortal)
#include "tst_theme_portal.moc"
