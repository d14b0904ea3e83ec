// The real program over a deliberately broken bundle, each in its own process: a
// missing or short translation file, a missing font, style sheet or image. Each
// must end start-up by itself, before any window is built, with exit code 1 and
// one line on standard error that names the problem: never a signal or abort, and
// never a window that fails later, when the missing file is first needed.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestBrokenBundle : public QObject {
    Q_OBJECT

private slots:
    void startUpStopsWithTheReason_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("message");
        // Needed only once the user picks Portuguese.
        QTest::newRow("locale file missing")
            << QStringLiteral(SIH_WITHOUT_PORTUGUESE)
            << QByteArray("CheckBundle: missing resource :/translations/pt-BR.txt");
        // Would give a window half in Portuguese, half in English.
        QTest::newRow("locale file of 10 lines")
            << QStringLiteral(SIH_TRUNCATED_PORTUGUESE)
            << QByteArray("CheckBundle: translation file :/translations/pt-BR.txt has 10 lines, the key file has 226");
        // The texts of opening a file would show as their keys.
        QTest::newRow("supplementary locale file missing")
            << QStringLiteral(SIH_WITHOUT_GERMAN_SUPPLEMENT)
            << QByteArray("CheckBundle: missing resource :/translations/supplement/de-DE.txt");
        QTest::newRow("one font face missing")
            << QStringLiteral(SIH_WITHOUT_SEMIBOLD_FONT)
            << QByteArray("FontUtil - Setup failed: font files not found");
        // Loaded only when the editor opens, from inside a click handler.
        QTest::newRow("editor style sheet missing")
            << QStringLiteral(SIH_WITHOUT_EDITOR_STYLE)
            << QByteArray("CheckBundle: missing resource :/styles/windows/light/qlineedit-style.qss");
        // On a light desktop, loaded only once it turns dark, inside an event handler.
        QTest::newRow("dark style sheet missing")
            << QStringLiteral(SIH_WITHOUT_DARK_LABEL_STYLE)
            << QByteArray("CheckBundle: missing resource :/styles/windows/dark/qlabel-style.qss");
        // Loaded only when an export fails, from inside a click handler.
        QTest::newRow("failure icon missing")
            << QStringLiteral(SIH_WITHOUT_CROSS_ICON)
            << QByteArray("CheckBundle: missing resource :/images/global/times-circle.png");
        // Loaded only when the main window is built, after the language choice.
        QTest::newRow("tool button icon missing")
            << QStringLiteral(SIH_WITHOUT_EXPORT_ICON)
            << QByteArray("CheckBundle: missing resource :/images/windows/light/export.png");
    }

    void startUpStopsWithTheReason()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, message);
        QTemporaryDir home;
        QTemporaryDir runtime;
        QVERIFY(home.isValid() && runtime.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());

        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.path());
        process.start(program, QStringList());
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
        // No window and no event loop: the process ends by itself, without input.
        const bool finished = process.waitForFinished(20000);
        if (!finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        QVERIFY2(finished, "the program waited for input: a window was shown");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardError(), message + '\n');
        // The default logger writes to standard output.
        QVERIFY(process.readAllStandardOutput().endsWith("[error] " + message + '\n'));
        QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBrokenBundle)
#include "tst_broken_bundle.moc"
