// The Linux theme source against a fake desktop portal on a private session bus:
// live changes (a burst coalesced, bad values ignored) in this process, and the
// start-up cases (no bus or portal, an old, slow, late or restarting portal) each in
// a fresh child process, since the values are read once per process.

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

#include "ui/styling.h"
#include "ui/theme.h"
#include "ui/theme_p.h"

namespace {

const char kChildVar[] = "THEME_TEST_CHILD"; // what the child must see: "dark[,r,g,b]"
const QString kSheet = QStringLiteral("qframe-background-style.qss");

// A call of the fake portal: {method, arguments...}.
QVariantList Call(const QString& method, const QVariantList& args)
{
    return QVariantList{method} + args;
}
QVariantList Scheme(const QVariant& value, const QString& ns = QStringLiteral("org.freedesktop.appearance"))
{
    return Call(QStringLiteral("Set"), {ns, QStringLiteral("color-scheme"), QVariant::fromValue(QDBusVariant(value))});
}
QVariantList BadAccent(const QVariant& value)
{
    return Call(QStringLiteral("Set"),
                {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"),
                 QVariant::fromValue(QDBusVariant(value))});
}
QVariantList Accent(double r, double g, double b)
{
    return Call(QStringLiteral("SetAccent"), {r, g, b});
}

QDBusMessage Portal(const QVariantList& call)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                       QStringLiteral("/org/freedesktop/portal/desktop"),
                                       QStringLiteral("org.freedesktop.portal.Settings"), call.first().toString());
    message.setArguments(call.mid(1));
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

// "dark[,r,g,b]" as the theme and accent it names; no accent means the default one.
QPair<bool, QColor> Expected(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const QColor accent = parts.size() == 4
        ? QColor::fromRgbF(parts[1].toFloat(), parts[2].toFloat(), parts[3].toFloat())
        : DefaultAccentShade(UIColorType::Accent);
    return {parts[0] == QLatin1String("1"), accent};
}

bool Shows(const QPair<bool, QColor>& expected)
{
    return IsDarkTheme() == expected.first && GetSystemColor(UIColorType::Accent) == expected.second;
}

// Counts theme changes and, like a real window, restyles from inside the handler.
class Restyler : public QObject {
public:
    QHash<QObject*, int> counts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ThemeChange) {
            ++counts[watched];
            SetWidgetStyle(static_cast<QWidget*>(watched), kSheet);
        }
        return false;
    }
};

} // namespace

class TstThemePortal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void liveChanges_data();
    void liveChanges();
    void freshProcess_data();
    void freshProcess();
    void childCheck();

private:
    bool StartPortal(const QStringList& args = {});
    void StopPortal();

    QTemporaryDir busDir_;
    QProcess bus_;
    QProcess portal_;
    std::unique_ptr<QWidget> window_;
    QDialog* dialog_ = nullptr;
    Restyler restyler_;
};

void TstThemePortal::initTestCase()
{
    if (qEnvironmentVariableIsSet(kChildVar))
        return; // a child uses the bus its parent chose for it
    // A bus of our own, without service activation, so that no real portal can answer.
    QFile config(busDir_.filePath(QStringLiteral("bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                "</policy></busconfig>")
                     .arg(busDir_.path())
                     .toUtf8());
    config.close();
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1")});
    QVERIFY2(bus_.waitForReadyRead(5000), qPrintable(bus_.errorString()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.readLine().trimmed());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(StartPortal());

    window_ = std::make_unique<QWidget>();
    dialog_ = new QDialog(window_.get());
    window_->installEventFilter(&restyler_);
    dialog_->installEventFilter(&restyler_);
    window_->show();
    dialog_->show();

    // Starting does not wait for the portal; later the answers come from memory.
    QElapsedTimer timer;
    timer.start();
    StartThemeChangeWatcher();
    StartThemeChangeWatcher();
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
    const auto reads = [] { return Portal(Call(QStringLiteral("ReadCount"), {})).arguments().value(0).toUInt(); };
    QTRY_COMPARE(reads(), 2u);
    for (int i = 0; i < 100; ++i) {
        IsDarkTheme();
        GetSystemColor(UIColorType::AccentLight1);
    }
    QCOMPARE(reads(), 2u);
}

void TstThemePortal::cleanupTestCase()
{
    StopPortal();
    bus_.kill();
    bus_.waitForFinished();
}

bool TstThemePortal::StartPortal(const QStringList& args)
{
    StopPortal();
    portal_.start(QStringLiteral(FAKE_PORTAL_PATH), args);
    while (portal_.waitForReadyRead(5000)) {
        if (portal_.readLine().trimmed() == "ready")
            return true;
    }
    return false;
}

void TstThemePortal::StopPortal()
{
    if (portal_.state() == QProcess::NotRunning)
        return;
    portal_.kill();
    portal_.waitForFinished();
    // The name must be free before anyone asks for it again.
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.portal.Desktop")));
}

// Rows run in order, each from the state the last one left.
void TstThemePortal::liveChanges_data()
{
    QTest::addColumn<QVariantList>("calls");
    QTest::addColumn<QString>("expected"); // "dark[,r,g,b]"
    QTest::addColumn<int>("maxRestyles");

    // One call per element; a single call is wrapped, or some compilers copy it as the list itself.
    const QVariantList red = Accent(0.9, 0.3, 0.3);
    QTest::newRow("dark") << QVariantList{QVariant(Scheme(1u))} << "1" << 1;
    QTest::newRow("light (2)") << QVariantList{QVariant(Scheme(2u))} << "0" << 1;
    QTest::newRow("accent") << QVariantList{QVariant(Accent(0.1, 0.6, 0.2))} << "0,0.1,0.6,0.2" << 1;
    QTest::newRow("bad schemes, then an accent") << QVariantList{Scheme(QStringLiteral("1")), Scheme(true), Scheme(1.0),
                                                                 Scheme(1u, QStringLiteral("org.example.other")), red}
                                                 << "0,0.9,0.3,0.3" << 1;
    // A flood of changes, light first, dark last: shown once or twice, with its last value.
    QTest::newRow("burst") << QVariantList{QVariant(Call(QStringLiteral("Toggle"), {500u}))} << "1,0.9,0.3,0.3" << 3;
    QTest::newRow("bad accents, then no preference (0)")
        << QVariantList{BadAccent(QStringLiteral("#00ff00")), BadAccent(QVariant::fromValue(QList<double>{0, 1, 0})),
                        BadAccent(7u), Scheme(0u)}
        << "0,0.9,0.3,0.3" << 1;
    // Out of range is the portal's "no accent".
    QTest::newRow("accent out of range") << QVariantList{QVariant(Accent(-1, -1, -1))} << "0" << 1;
}

void TstThemePortal::liveChanges()
{
    QFETCH(QVariantList, calls);
    QFETCH(QString, expected);
    QFETCH(int, maxRestyles);
    const auto want = Expected(expected);
    QVERIFY2(!Shows(want), "each row must change what is shown");
    restyler_.counts.clear();
    for (const QVariant& call : calls)
        QCOMPARE(Portal(call.toList()).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY(Shows(want));
    QTest::qWait(150); // any further restyle would have come by now
    QVERIFY(Shows(want));

    for (QWidget* widget : {window_.get(), static_cast<QWidget*>(dialog_)}) {
        const int count = restyler_.counts.value(widget);
        QVERIFY2(count >= 1 && count <= maxRestyles, qPrintable(QString::number(count)));
        // Restyled from the new theme's folder: the theme reads new when the event arrives.
        QFile sheet(QStringLiteral(":/styles/windows/%1/").arg(want.first ? "dark" : "light") + kSheet);
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        QCOMPARE(widget->styleSheet(), QString::fromLatin1(sheet.readAll()));
    }
    // The palette (the table's empty area, popups, the toolkit's dialogs) follows too.
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
        QCOMPARE(QApplication::palette().color(role).lightness() < 80, want.first);
    QCOMPARE(GetSystemColor(UIColorType::Background), want.first ? QColor(Qt::black) : QColor(Qt::white));
}

void TstThemePortal::freshProcess_data()
{
    QTest::addColumn<QString>("portal");     // the fake portal's arguments; "none" or "no bus"
    QTest::addColumn<QVariantList>("calls"); // made before the child starts
    QTest::addColumn<QString>("restart");    // the portal's arguments once the child watches; "" keeps it
    QTest::addColumn<QString>("expected");

    const QVariantList set = {Scheme(1u), Accent(0.2, 0.5, 0.3)};
    QTest::newRow("no bus") << "no bus" << QVariantList() << ""
                            << "0";
    QTest::newRow("bus without portal") << "none" << QVariantList() << ""
                                        << "0";
    QTest::newRow("portal without values") << "" << QVariantList() << ""
                                           << "0";
    QTest::newRow("ReadOne") << "" << set << ""
                             << "1,0.2,0.5,0.3";
    QTest::newRow("only Read") << "--no-read-one" << set << ""
                               << "1,0.2,0.5,0.3";
    const QVariantList wrong = {Scheme(QStringLiteral("dark")), BadAccent(QStringLiteral("#102030"))};
    QTest::newRow("wrong types") << "" << wrong << ""
                                 << "0";
    // The answer never comes in time: the default theme stays, and nothing waited for it.
    QTest::newRow("silent portal") << "--delay-ms 3000" << set << ""
                                   << "0";
    QTest::newRow("portal appears later") << "none" << QVariantList() << "--color-scheme 1"
                                          << "1";
    QTest::newRow("portal restarts") << "" << QVariantList() << "--color-scheme 1"
                                     << "1";
}

void TstThemePortal::freshProcess()
{
    if (qEnvironmentVariableIsSet(kChildVar))
        QSKIP("parent only");
    QFETCH(QString, portal);
    QFETCH(QVariantList, calls);
    QFETCH(QString, restart);
    QFETCH(QString, expected);
    if (portal == QLatin1String("none") || portal == QLatin1String("no bus"))
        StopPortal();
    else
        QVERIFY(StartPortal(portal.split(QLatin1Char(' '), Qt::SkipEmptyParts)));
    for (const QVariant& call : calls)
        QCOMPARE(Portal(call.toList()).type(), QDBusMessage::ReplyMessage);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildVar), expected);
    if (portal == QLatin1String("no bus"))
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childCheck")});
    QByteArray output;
    while (!output.contains("watching") && child.waitForReadyRead(10000))
        output += child.readAll();
    if (!restart.isEmpty())
        QVERIFY(StartPortal(restart.split(QLatin1Char(' '))));
    QVERIFY(child.waitForFinished(30000));
    output += child.readAll();
    QVERIFY2(child.exitCode() == 0 && output.contains("PASS   : TstThemePortal::childCheck()"), output.constData());
}

void TstThemePortal::childCheck()
{
    if (!qEnvironmentVariableIsSet(kChildVar))
        QSKIP("runs in the child processes that freshProcess starts");
    const auto want = Expected(qEnvironmentVariable(kChildVar));
    QElapsedTimer timer;
    timer.start();
    StartThemeChangeWatcher();
    QVERIFY2(timer.elapsed() < 100, qPrintable(QStringLiteral("starting took %1 ms").arg(timer.elapsed())));
    QTest::qWait(200); // the first answers, for a portal that restarts
    std::printf("watching\n");
    std::fflush(stdout);
    QTRY_VERIFY_WITH_TIMEOUT(Shows(want), 10000);
    QTest::qWait(300); // a light expectation holds after the answers had time to arrive
    QVERIFY(Shows(want));
}

QTEST_MAIN(TstThemePortal)
#include "tst_theme_portal.moc"
