// Start-up of the real program in its own process: a normal start waits for the
// user, and a bundle without fonts or translations ends the process cleanly with
// one line on standard error and no window.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QByteArray out;
    QByteArray err;
};

class ProgramProcess {
public:
    explicit ProgramProcess(const QString& program, const QStringList& arguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A private home and runtime folder: nothing of the user's is touched and Qt
        // has no reason to warn about a missing runtime folder.
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(home_.path());
        process_.start(program, arguments);
    }
    ~ProgramProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    QProcess& process() { return process_; }

    Run WaitForEnd(int milliseconds)
    {
        Run run;
        run.finished = process_.waitForFinished(milliseconds);
        run.status = process_.exitStatus();
        run.code = process_.exitCode();
        run.out = process_.readAllStandardOutput();
        run.err = process_.readAllStandardError();
        return run;
    }

    bool HomeIsEmpty() const { return QDir(home_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty(); }

private:
    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QProcess process_;
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void normalStartWaitsForTheUser_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no arguments") << QStringList();
        // Arguments are handed to the toolkit only; unknown ones change nothing.
        QTest::newRow("unknown arguments") << QStringList{"--lang", "pt-BR", "settings.json", "-x"};
    }

    void normalStartWaitsForTheUser()
    {
        QFETCH(QStringList, arguments);
        ProgramProcess program(QStringLiteral(SIH_PROGRAM), arguments);
        QVERIFY2(program.process().waitForStarted(10000), qPrintable(program.process().errorString()));
        // The selector is up and the event loop waits: the process neither ends nor
        // writes anything (its own log lines are debug lines, hidden by default).
        const Run run = program.WaitForEnd(1500);
        QVERIFY2(!run.finished, run.err.constData());
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, QByteArray());
        QVERIFY(program.HomeIsEmpty());
    }

    void incompleteBundleStopsStartUp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("no fonts") << QStringLiteral(SIH_PROGRAM_WITHOUT_FONTS)
                                  << QByteArray("FontUtil - Setup failed: font files not found");
        QTest::newRow("no translations") << QStringLiteral(SIH_PROGRAM_WITHOUT_TRANSLATIONS)
                                         << QByteArray("Translation file not found");
    }

    void incompleteBundleStopsStartUp()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, message);
        ProgramProcess broken(program);
        QVERIFY2(broken.process().waitForStarted(10000), qPrintable(broken.process().errorString()));
        // No window and no event loop: the process ends by itself, without input.
        const Run run = broken.WaitForEnd(20000);
        QVERIFY(run.finished);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err, message + '\n');
        QVERIFY(broken.HomeIsEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
