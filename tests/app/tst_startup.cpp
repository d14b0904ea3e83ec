// The real program in its own process: a normal start waits for the user; over a
// broken bundle start-up ends at once with exit code 1 and one line naming the
// problem, never a window that fails later, when the file is first needed.

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// Closes the visible windows of process `pid` as a click on their close button
// would; true when there was one.
bool CloseWindowsOf(const qint64 pid)
{
    struct Search {
        DWORD pid;
        bool found;
    } search{static_cast<DWORD>(pid), false};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search->pid && IsWindowVisible(window)) {
                search->found = PostMessageW(window, WM_CLOSE, 0, 0) || search->found;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace
#endif

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("message"); // empty: the program waits for the user
        const QString missing = QStringLiteral("CheckBundle: missing resource :/");
        // Arguments are handed to the toolkit only; unknown ones change nothing.
        QTest::newRow("unknown arguments") << SIH_PROGRAM << "";
        // Needed only once the user picks Portuguese.
        QTest::newRow("locale file missing") << SIH_WITHOUT_PORTUGUESE << missing + "translations/pt-BR.txt";
        // Would give a window half in Portuguese, half in English.
        QTest::newRow("locale file of 10 lines")
            << SIH_TRUNCATED_PORTUGUESE
            << "CheckBundle: translation file :/translations/pt-BR.txt has 10 lines, the key file has 226";
        QTest::newRow("supplementary locale file missing")
            << SIH_WITHOUT_GERMAN_SUPPLEMENT << missing + "translations/supplement/de-DE.txt";
        QTest::newRow("one font face missing")
            << SIH_WITHOUT_SEMIBOLD_FONT << "FontUtil - Setup failed: font files not found";
        // On a light desktop, loaded only once it turns dark, inside an event handler.
        QTest::newRow("dark style sheet missing")
            << SIH_WITHOUT_DARK_LABEL_STYLE << missing + "styles/windows/dark/qlabel-style.qss";
        // Loaded only when an export fails, from inside a click handler.
        QTest::newRow("failure icon missing") << SIH_WITHOUT_CROSS_ICON << missing + "images/global/times-circle.png";
    }

    void startUp()
    {
        QFETCH(QString, program);
        QFETCH(QString, message);
        // A private home and runtime folder: nothing of the user's is touched.
        QTemporaryDir home;
        QTemporaryDir runtime;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifdef Q_OS_WIN
        // There the failure is also shown in a message box, on the real window system.
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
#else
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#endif
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.path());
        process.start(program, {QStringLiteral("--lang"), QStringLiteral("pt-BR"), QStringLiteral("-x")});
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
#ifdef Q_OS_WIN
        // The box waits for the user: it must appear, and closing it ends the program.
        bool boxClosed = false;
        QDeadlineTimer deadline(message.isEmpty() ? 1500 : 30000);
        while (!process.waitForFinished(100) && !deadline.hasExpired()) {
            boxClosed = (!message.isEmpty() && CloseWindowsOf(process.processId())) || boxClosed;
        }
        const bool finished = process.state() == QProcess::NotRunning;
#else
        const bool finished = process.waitForFinished(message.isEmpty() ? 1500 : 20000);
#endif
        if (!finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        // Without a problem the selector is up and the event loop waits, silently.
        QCOMPARE(finished, !message.isEmpty());
#ifdef Q_OS_WIN
        QCOMPARE(boxClosed, !message.isEmpty());
#endif
        // Windows ends the line with CR LF.
        QCOMPARE(
            QString::fromUtf8(process.readAllStandardError()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
            message.isEmpty() ? message : message + '\n');
        if (!finished) {
            QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
#ifdef Q_OS_WIN
            // A Windows without UISettings (wine, Windows 8.1) says so once, as a warning.
            const auto colourWarning = [](const QByteArray& line) {
                return line.contains("[warning] Theme: the system colours cannot be read");
            };
            QVERIFY(std::count_if(lines.cbegin(), lines.cend(), colourWarning) <= 1);
            lines.erase(std::remove_if(lines.begin(), lines.end(), colourWarning), lines.end());
#endif
            QCOMPARE(lines.join('\n'), QByteArray());
        } else {
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 1);
        }
        QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
