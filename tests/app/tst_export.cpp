// The export's write policy on a real file system: the tool's compose -o and the
// window's Export, both over SaveJsonToWFile, meet devices, pipes, links, owners,
// read-only folders, a full disk and missing folders, each on a small tmpfs in a
// mount namespace of the test's own. The path keeps what it was (type, owner, mode,
// links), the earlier content survives any failure, nothing is left next to it, and
// a failure says why.

#include "tests/support/widget_test_support.h"

#include "dialogs/fileexporteddialog.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "app/silentinstallhelperwindow.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Followed by the system's reason and the path.
const QString OpenFailure = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: ");
const QString WriteFailure = QStringLiteral("SaveJsonToWFile: Cannot write file.: ");
// Long enough that no write of the document fits into one page of the scratch disk.
const QByteArray WorkFolder = "D:\\\\Orvane\\\\" + QByteArray(6000, 's');
const QByteArray ExpectedFile = "{\r\n    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                "    \"SaveSpool\": \"true\",\r\n    \"WorkFolder\": \"" + WorkFolder + "\"\r\n}\r\n";
const QByteArray EarlierFile = "{\r\n    \"HostAddress\": \"https://earlier.example:1\"\r\n}\r\n";
// The window's rows write under a name that only a correct encoding of the path finds.
const QString WindowFileName = QStringLiteral("configuração 😀 e\u0301.json");

bool privateMounts = false;
constexpr int Root = 0, Nobody = 1, AlsoWindow = 2; // writers of the export

// Every entry below `folder`, hidden ones included, as relative paths.
QStringList Tree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        entries << QDir(folder).relativeFilePath(it.next());
    }
    entries.sort();
    return entries;
}

// What a path is, without following a link: type, mode, owner, links, device, link text.
QString Describe(const QString& path)
{
    struct stat info {};
    if (lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return QStringLiteral("absent");
    }
    return QString::asprintf("mode %o owner %u:%u links %lu device %lu link ", info.st_mode, info.st_uid, info.st_gid,
                             static_cast<unsigned long>(info.st_nlink), static_cast<unsigned long>(info.st_rdev))
        + QFile::symLinkTarget(path);
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

public:
    static void initMain()
    {
        // Qt's own save dialog, whatever the desktop.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        static QTemporaryDir config; // where the save dialog keeps its state
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        // Still single-threaded: every later thread shares the new namespace.
        privateMounts = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SilentInstallHelperWindow> window;
    QStringList scratchMounts;

    // Exports to `path` through the button and the save dialog; returns the notice's
    // text and icon, or nothing when no notice of the window is left open.
    std::pair<QString, QImage> ExportThroughWindow(const QString& path)
    {
        auto* button = window->findChild<QToolButton*>(QStringLiteral("btnExport"));
        RunWithModal([button] { QTest::mouseClick(button, Qt::LeftButton); }, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        auto* notice = qobject_cast<FileExportedDialog*>(QApplication::activeModalWidget());
        if (notice == nullptr || notice->parentWidget() != window.get()) {
            return {};
        }
        const std::pair<QString, QImage> shown{notice->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"))->text(),
                                               notice->findChild<QLabel*>(QStringLiteral("lblIcon"))->pixmap().toImage()};
        notice->close();
        return shown;
    }

private slots:
    void initTestCase()
    {
        QuietOffscreenNotices();
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        // The user nobody reaches the folders below.
        QVERIFY(QFile::setPermissions(home->path(), QFile::permissions(home->path()) | QFileDevice::ExeOther));
        const QString opened = home->filePath(QStringLiteral("document.json"));
        QVERIFY(WriteFile(opened, "{\"HostAddress\": \"https://127.0.0.1:56569\", \"SaveSpool\": \"true\", "
                                  "\"WorkFolder\": \"" + WorkFolder + "\"}"));
        SettingsJson = nullptr;
        window = std::make_unique<SilentInstallHelperWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->OpenSettingsFile(opened);
        QVERIFY(QFile::remove(opened));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void cleanup()
    {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        window.reset();
        for (const QString& mountPoint : std::as_const(scratchMounts)) {
            umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
        }
        scratchMounts.clear();
        home.reset();
    }

    // Each row: a set-up run by sh in the scratch folder ($F: the path written, $E: a
    // file with the earlier content, $R: the pipe reader's output); the files behind
    // $F, holding the new document after success, the earlier one after a failure; the
    // failure message (%1: the path); the writer: the tool as root, the tool as nobody
    // (where permission bits matter, which root ignores), or the tool and the window.
    void writePolicy_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("writer");
        const QStringList target{"$F"};
        const QString owned = "cp \"$E\" \"$F\" && chown nobody: \"$F\" && chmod ";
        QTest::newRow("device node") << "mknod -m 666 \"$F\" c 1 3" << QStringList() << "" << Root;
        QTest::newRow("FIFO with a reader") << "mkfifo \"$F\" && { cat \"$F\" >\"$R\" & }" << QStringList{"$R"} << "" << Root;
        QTest::newRow("second hard link") << "cp \"$E\" \"$F\" && ln \"$F\" other" << QStringList{"$F", "other"} << "" << AlsoWindow;
        QTest::newRow("other owner, mode 0640") << owned + "640 \"$F\"" << target << "" << Root;
        QTest::newRow("other owner, set-gid") << owned + "2640 \"$F\"" << target << "" << Root;
        QTest::newRow("folder read-only, file writable")
            << "cp \"$E\" \"$F\" && chown nobody \"$F\" . && chmod 600 \"$F\" && chmod 555 ." << target << "" << Nobody;
        QTest::newRow("symlink to a file") << "cp \"$E\" other && ln -s other \"$F\"" << QStringList{"other"} << "" << Root;
        // One page is left: the document starts to be written, then the disk is full.
        QTest::newRow("full disk") << "cp \"$E\" \"$F\" && head -c $(($(stat -f -c '%a*%S' .) - 4096)) /dev/zero >filler"
                                   << target << WriteFailure + "No space left on device: %1" << AlsoWindow;
        QTest::newRow("missing folder") << "" << QStringList() << OpenFailure + "No such file or directory: %1" << Root;
        QTest::newRow("symlink loop") << "ln -s other \"$F\" && ln -s \"$F\" other" << QStringList()
                                      << OpenFailure + "Too many levels of symbolic links: %1" << Root;
        // The folder would allow a replacement; the file itself must refuse.
        QTest::newRow("target read-only") << "cp \"$E\" \"$F\" && chown nobody \"$F\" . && chmod 444 \"$F\"" << target
                                          << OpenFailure + "Permission denied: %1" << Nobody;
        QTest::newRow("new file, folder read-only") << "chown nobody . && chmod 555 ." << QStringList()
                                                    << OpenFailure + "Permission denied: %1" << Nobody;
        QTest::newRow("target is a folder") << "mkdir \"$F\"" << QStringList() << OpenFailure + "Is a directory: %1" << Root;
    }

    void writePolicy()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, files);
        QFETCH(QString, message);
        QFETCH(int, writer);
        if (!privateMounts || geteuid() != 0 || getpwnam("nobody") == nullptr) {
            QSKIP("needs root, the user nobody and a mount namespace of the test's own");
        }
        const QString earlier = home->filePath(QStringLiteral("earlier.json"));
        QVERIFY(WriteFile(earlier, EarlierFile));
        for (const QString& via : {QStringLiteral("compose"), QStringLiteral("export")}) {
            if (via == QLatin1String("export") && writer != AlsoWindow) {
                break;
            }
            const QString folder = home->filePath(via);
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0);
            scratchMounts << folder;
            const QString target = folder + (setup.isEmpty() ? "/missing/" : "/")
                + (via == QLatin1String("export") ? WindowFileName : QStringLiteral("settings.json"));
            QProcess shell;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("F"), target);
            environment.insert(QStringLiteral("E"), earlier);
            environment.insert(QStringLiteral("R"), home->filePath(QStringLiteral("read")));
            shell.setProcessEnvironment(environment);
            shell.setWorkingDirectory(folder);
            shell.setProcessChannelMode(QProcess::ForwardedChannels);
            shell.start(QStringLiteral("sh"), {QStringLiteral("-ec"), setup});
            QVERIFY(shell.waitForFinished(10000) && shell.exitCode() == 0);
            const QString before = Describe(target);
            const QStringList tree = Tree(folder);

            QString shown;
            if (via == QLatin1String("compose")) {
                QStringList command{"--reuid=nobody", "--regid=nogroup", "--clear-groups", SIH_CHECK_TOOL, "compose", "-o",
                                    target, "SaveSpool=1", "WorkFolder=" + QString(WorkFolder).replace("\\\\", "\\")};
                const bool asNobody = writer == Nobody;
                QProcess tool;
                tool.start(asNobody ? QStringLiteral("setpriv") : command[3], asNobody ? command : command.mid(4));
                QVERIFY(tool.waitForFinished(30000));
                const QString err = QString::fromUtf8(tool.readAllStandardError());
                QCOMPARE(tool.exitCode(), message.isEmpty() ? 0 : 2);
                // The tool names the file, then says what the program would.
                shown = err.section(QStringLiteral("\": "), 1).chopped(err.isEmpty() ? 0 : 1);
            } else {
                const auto [text, icon] = ExportThroughWindow(target);
                const bool success = text == QLatin1String("File exported successfully.");
                shown = success ? QString() : text;
                const QImage expected(success ? ":/images/global/notify-circle.png" : ":/images/global/times-circle.png");
                const auto format = QImage::Format_ARGB32_Premultiplied;
                QVERIFY(icon.convertToFormat(format) == expected.convertToFormat(format));
            }
            QCOMPARE(shown, message.isEmpty() ? QString() : message.arg(target));
            QCOMPARE(Describe(target), before);
            QCOMPARE(Tree(folder), tree);
            for (const QString& name : files) {
                const QString file = name == "$F" ? target : name == "$R" ? environment.value("R") : QString(folder + '/' + name);
                QTRY_COMPARE(ReadFile(file), message.isEmpty() ? ExpectedFile : EarlierFile);
            }
        }
    }

    // A long failure wraps and the notice grows to show it whole, never past the screen.
    void noticeShowsTheWholeMessage()
    {
        for (const QString& text : {OpenFailure + QStringLiteral("No such file or directory: /home/administrator/"
                                                                 "Documents/Orvane deployment/site 42/settings.json"),
                                    QStringLiteral("Is a directory: /srv/") + QStringLiteral("Orvane_Print_Agent_").repeated(4),
                                    QStringLiteral("word ").repeated(2000)}) {
            FileExportedDialog notice(text, window.get());
            auto* label = notice.findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"));
            const QRect close = notice.findChild<QPushButton*>(QStringLiteral("btnClose"))->geometry();
            QVERIFY(label->text() == text && notice.height() < notice.screen()->availableGeometry().height());
            QVERIFY(close.top() >= label->geometry().bottom() && notice.rect().contains(close));
            // Short enough to be shown whole: every wrapped line fits.
            QVERIFY(text.size() > 1000 || label->height() >= label->heightForWidth(label->width()));
        }
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
