// The export's write policy on a real file system: the tool's compose -o and the
// window's Export, both over SaveJsonToWFile, meet devices, pipes and their readers,
// links, owners, ACLs, read-only folders, full disks and missing folders, each on a
// small tmpfs in a mount namespace of the test's own. The path keeps what it was
// (type, owner, mode, links, attributes), the earlier content survives any failure,
// nothing is left next to it, a failure says why, and the window keeps painting.

#include "tests/support/widget_test_support.h"

#include "dialogs/fileexporteddialog.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "app/silentinstallhelperwindow.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Followed by the system's reason and the quoted path.
const QString OpenFailure = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: ");
const QString WriteFailure = QStringLiteral("SaveJsonToWFile: Cannot write file.: ");
// Long enough that no write of the document fits into one page of the scratch disk,
// nor into the smallest pipe.
const QByteArray WorkFolder = "D:\\\\Orvane\\\\" + QByteArray(10000, 's');
const QByteArray ExpectedFile = "{\r\n    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                "    \"SaveSpool\": \"true\",\r\n    \"WorkFolder\": \""
    + WorkFolder + "\"\r\n}\r\n";
const QByteArray EarlierFile = "{\r\n    \"HostAddress\": \"https://earlier.example:1\"\r\n}\r\n";
// The window's rows write under a name that only a correct encoding of the path finds.
const QString WindowFileName = QStringLiteral("configuração 😀 e\u0301.json");

// Fills the scratch disk to the last page.
const QString FillDisk = QStringLiteral(" && { head -c 1M /dev/zero >filler || true; } 2>/dev/null");
// A pipe's reader, started by `python3 -c "$P" PIPE all|one|none` once the pipe is
// ready, so that a writer never comes first: it reads everything into $R, or one
// byte and leaves, or nothing for 9 seconds. The pipe holds one page, which the
// document overfills.
const QString PipeReader = QStringLiteral(R"(import fcntl, os, select, sys, time
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NONBLOCK)
fcntl.fcntl(fd, 1031, 4096)  # F_SETPIPE_SZ
if os.fork(): os._exit(0)
null = os.open(os.devnull, os.O_RDWR)
for std in (0, 1, 2): os.dup2(null, std)
select.select([fd], [], [])
os.set_blocking(fd, True)
if sys.argv[2] == "all":
    with open(os.environ["R"], "wb") as out:
        while data := os.read(fd, 65536): out.write(data)
elif sys.argv[2] == "one": os.read(fd, 1)
else: time.sleep(9))");
// Copies of settings.json left behind: each run is killed before it renames its copy,
// which is then the newest entry.
const QString LeaveCopy = QStringLiteral("leave() { { SIH_TEST_KILL=1 LD_PRELOAD=\"$S\" \"$T\" compose -o \"$1\" "
                                         "SaveSpool=0; } 2>/dev/null || true; ls -At | head -n 1; } && ");
const QString LongName = QString(250, 'n') + QStringLiteral(".json");

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

// What a path is, without following a link: type, mode, owner, links, device, link
// text, extended attributes (an ACL among them).
QString Describe(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (lstat(name.constData(), &info) != 0) {
        return QStringLiteral("absent");
    }
    QByteArray names(4096, '\0');
    names.resize(std::max<ssize_t>(0, llistxattr(name.constData(), names.data(), names.size())));
    QByteArray attributes;
    for (const QByteArray& attribute : names.split('\0')) {
        QByteArray value(4096, '\0');
        value.resize(
            std::max<ssize_t>(0, lgetxattr(name.constData(), attribute.constData(), value.data(), value.size())));
        attributes += attribute.isEmpty() ? QByteArray() : " " + attribute + "=" + value.toHex();
    }
    return QString::asprintf("mode %o owner %u:%u links %lu device %lu link ", info.st_mode, info.st_uid, info.st_gid,
                             static_cast<unsigned long>(info.st_nlink), static_cast<unsigned long>(info.st_rdev))
        + QFile::symLinkTarget(path) + QString::fromLatin1(attributes);
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
    bool closedWhileWriting = false;

    // Exports to `path` through the button and the save dialog; returns the notice's
    // text and icon, or nothing when no notice of the window is left open. `stalled`:
    // the longest time the window's thread ran no events from the choice of the file
    // until the notice was up.
    std::pair<QString, QImage> ExportThroughWindow(const QString& path, qint64& stalled)
    {
        QElapsedTimer clock;
        qint64 last = 0;
        stalled = 0;
        QTimer beat;
        beat.setInterval(20);
        // A close while the export writes (the desktop's close button is no input
        // that the export holds back) must wait for it.
        closedWhileWriting = false;
        const auto mark = [&] {
            stalled = std::max(stalled, clock.elapsed() - last);
            last = clock.elapsed();
        };
        connect(&beat, &QTimer::timeout, [&] {
            mark();
            const bool writing = qobject_cast<FileExportedDialog*>(QApplication::activeModalWidget()) == nullptr;
            closedWhileWriting = closedWhileWriting || (writing && last > 100 && window->close());
        });
        // A thread that blocks on a pipe after all gets a reader 8 s after the choice
        // (a pipe that takes nothing fails the write after 5): the test then fails
        // instead of hanging.
        std::atomic<bool> chosen{false};
        std::atomic<bool> over{false};
        std::thread rescue([&] {
            for (int i = 0; i < 800 && !over; i += chosen ? 1 : 0) {
                usleep(10000);
            }
            const int reader = over ? -1 : open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            for (char buffer[4096]; reader >= 0 && !over; usleep(1000)) {
                (void)!read(reader, buffer, sizeof buffer);
            }
            if (reader >= 0) {
                close(reader);
            }
        });
        auto* button = window->findChild<QToolButton*>(QStringLiteral("btnExport"));
        RunWithModal([button] { QTest::mouseClick(button, Qt::LeftButton); },
                     [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectFile(path);
            clock.start();
            beat.start();
            chosen = true;
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        mark();
        over = true;
        rescue.join();
        auto* notice = qobject_cast<FileExportedDialog*>(QApplication::activeModalWidget());
        if (notice == nullptr || notice->parentWidget() != window.get()) {
            return {};
        }
        const std::pair<QString, QImage> shown{
            notice->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"))->text(),
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
        QVERIFY(WriteFile(opened,
                          "{\"HostAddress\": \"https://127.0.0.1:56569\", \"SaveSpool\": \"true\", "
                          "\"WorkFolder\": \""
                              + WorkFolder + "\"}"));
        SettingsJson = nullptr;
        window = std::make_unique<SilentInstallHelperWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->OpenSettingsFile(NativePathOf(opened));
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
    // file with the earlier content, $R: the pipe reader's output, $P: the pipe
    // reader, $T and $S: the tool and the shim that kills it; $D: a document that
    // compose starts from, if made; $G: names of stale copies, expected to go); the
    // files behind $F, holding the new document after success, the earlier one after
    // a failure; the failure message (%1: the path); the writer: the tool as root,
    // the tool as nobody (where permission bits matter, which root ignores), or the
    // tool and the window.
    void writePolicy_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("writer");
        const QStringList target{"$F"};
        const QString owned = "cp \"$E\" \"$F\" && chown nobody: \"$F\" && chmod ";
        const QString noSpace = WriteFailure + "No space left on device: \"%1\"";
        QTest::newRow("device node") << "mknod -m 666 \"$F\" c 1 3" << QStringList() << "" << Root;
        QTest::newRow("FIFO with a reader")
            << "mkfifo \"$F\" && python3 -c \"$P\" \"$F\" all" << QStringList{"$R"} << "" << AlsoWindow;
        QTest::newRow("second hard link")
            << "cp \"$E\" \"$F\" && ln \"$F\" other" << QStringList{"$F", "other"} << "" << AlsoWindow;
        QTest::newRow("other owner, mode 0640") << owned + "640 \"$F\"" << target << "" << Root;
        QTest::newRow("other owner, set-gid") << owned + "2640 \"$F\"" << target << "" << Root;
        QTest::newRow("ACL") << "cp \"$E\" \"$F\" && chmod 640 \"$F\" && setfacl -m u:nobody:r \"$F\"" << target << ""
                             << Root;
        QTest::newRow("folder read-only, file writable")
            << "cp \"$E\" \"$F\" && chown nobody \"$F\" . && chmod 600 \"$F\" && chmod 555 ." << target << "" << Nobody;
        QTest::newRow("symlink to a file")
            << "cp \"$E\" other && ln -s other \"$F\"" << QStringList{"other"} << "" << Root;
        QTest::newRow("255-byte name") << "cp \"$E\" " + LongName + " && ln -s " + LongName + " \"$F\""
                                       << QStringList{LongName} << "" << Root;
        QTest::newRow("stale copies go, others stay") << LeaveCopy
                + "cp \"$E\" \"$F\" && a=$(leave \"$F\") && touch -d '2 hours ago' \"$a\" && echo \"$a\" >\"$G\" && "
                  "b=$(leave other.json) && touch -d '2 hours ago' \"$b\" && "
                  "c=$(leave \"$F\") && chown nobody \"$c\" && touch -d '2 hours ago' \"$c\" && leave \"$F\" >/dev/null"
                                                      << target << "" << Root;
        // One page is left: the document starts to be written, then the disk is full.
        QTest::newRow("full disk") << "cp \"$E\" \"$F\" && head -c $(($(stat -f -c '%a*%S' .) - 4096)) /dev/zero "
                                      ">filler"
                                   << target << noSpace << AlsoWindow;
        // Written in place: the space is taken before the first byte changes.
        QTest::newRow("second hard link, full disk")
            << "cp \"$E\" \"$F\" && ln \"$F\" other" + FillDisk << QStringList{"$F", "other"} << noSpace << Root;
        QTest::newRow("255-byte name, full disk")
            << "cp \"$E\" " + LongName + " && ln -s " + LongName + " \"$F\"" + FillDisk << QStringList{LongName}
            << noSpace << Root;
        QTest::newRow("dangling symlink, full disk")
            << "mkdir store && ln -s store/site-a.json \"$F\"" + FillDisk << QStringList() << noSpace << Root;
        QTest::newRow("no inode left") << "cp \"$E\" \"$F\" && mount -o remount,nr_inodes=$(($(stat -f -c %c-%d .))) "
                                          "\"$PWD\""
                                       << target << noSpace << Root;
        QTest::newRow("larger than a settings file may be")
            << "cp \"$E\" \"$F\" && { printf '{\"HostAddress\": \"https://h:1\", \"AuditingFolder\": \"' && "
               "head -c 16777000 /dev/zero | tr '\\0' a && printf '\"}'; } >\"$D\""
            << target << WriteFailure + "Larger than 16 MiB, the limit for a settings file: \"%1\"" << Root;
        QTest::newRow("FIFO without a reader")
            << "mkfifo \"$F\"" << QStringList() << OpenFailure + "No program is reading from it: \"%1\"" << AlsoWindow;
        QTest::newRow("pipe reader leaves early") << "mkfifo \"$F\" && python3 -c \"$P\" \"$F\" one" << QStringList()
                                                  << WriteFailure + "Broken pipe: \"%1\"" << AlsoWindow;
        QTest::newRow("pipe reader takes nothing")
            << "mkfifo \"$F\" && python3 -c \"$P\" \"$F\" none" << QStringList()
            << WriteFailure + "Nothing was read from it for 5 seconds: \"%1\"" << AlsoWindow;
        QTest::newRow("missing folder") << "" << QStringList() << OpenFailure + "No such file or directory: \"%1\""
                                        << Root;
        QTest::newRow("symlink loop") << "ln -s other \"$F\" && ln -s \"$F\" other" << QStringList()
                                      << OpenFailure + "Too many levels of symbolic links: \"%1\"" << Root;
        // The folder would allow a replacement; the file itself must refuse.
        QTest::newRow("target read-only") << "cp \"$E\" \"$F\" && chown nobody \"$F\" . && chmod 444 \"$F\"" << target
                                          << OpenFailure + "Permission denied: \"%1\"" << Nobody;
        QTest::newRow("new file, folder read-only")
            << "chown nobody . && chmod 555 ." << QStringList() << OpenFailure + "Permission denied: \"%1\"" << Nobody;
        QTest::newRow("target is a folder")
            << "mkdir \"$F\"" << QStringList() << OpenFailure + "Is a directory: \"%1\"" << Root;
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
            environment.insert(QStringLiteral("P"), PipeReader);
            environment.insert(QStringLiteral("T"), QStringLiteral(SIH_CHECK_TOOL));
            environment.insert(QStringLiteral("S"), QStringLiteral(SIH_WRITE_RACE_SHIM));
            environment.insert(QStringLiteral("D"), home->filePath(QStringLiteral("document.json")));
            environment.insert(QStringLiteral("G"), home->filePath(QStringLiteral("gone")));
            shell.setProcessEnvironment(environment);
            shell.setWorkingDirectory(folder);
            shell.setProcessChannelMode(QProcess::ForwardedChannels);
            shell.start(QStringLiteral("sh"), {QStringLiteral("-ec"), setup});
            QVERIFY(shell.waitForFinished(10000) && shell.exitCode() == 0);
            const QString before = Describe(target);
            QStringList tree = Tree(folder);
            for (const QByteArray& gone : ReadFile(environment.value("G")).split('\n')) {
                tree.removeOne(QFile::decodeName(gone));
            }

            QString shown;
            if (via == QLatin1String("compose")) {
                QStringList command{
                    "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                    SIH_CHECK_TOOL,   "compose",         "-o",
                    target,           "SaveSpool=1",     "WorkFolder=" + QString(WorkFolder).replace("\\\\", "\\")};
                if (QFile::exists(environment.value("D"))) {
                    command << "--from" << environment.value("D");
                }
                const bool asNobody = writer == Nobody;
                QProcess tool;
                tool.start(asNobody ? QStringLiteral("setpriv") : command[3], asNobody ? command : command.mid(4));
                QVERIFY(tool.waitForFinished(30000));
                const QString err = QString::fromUtf8(tool.readAllStandardError());
                QCOMPARE(tool.exitCode(), message.isEmpty() ? 0 : 2);
                // The tool names the file, then says what the program would.
                shown = err.section(QStringLiteral("\": "), 1).chopped(err.isEmpty() ? 0 : 1);
            } else {
                qint64 stalled = 0;
                const auto [text, icon] = ExportThroughWindow(target, stalled);
                QVERIFY2(stalled < 1000, qPrintable(QStringLiteral("the window ran no events for %1 ms").arg(stalled)));
                QVERIFY(!closedWhileWriting && window->isVisible());
                const bool success = text == QLatin1String("File exported successfully.");
                shown = success ? QString() : text;
                const QImage expected(success ? ":/images/global/notify-circle.png"
                                              : ":/images/global/times-circle.png");
                const auto format = QImage::Format_ARGB32_Premultiplied;
                QVERIFY(icon.convertToFormat(format) == expected.convertToFormat(format));
            }
            QCOMPARE(shown, message.isEmpty() ? QString() : message.arg(target));
            QCOMPARE(Describe(target), before);
            QCOMPARE(Tree(folder), tree);
            for (const QString& name : files) {
                const QString file = name == "$F" ? target
                    : name == "$R"                ? environment.value("R")
                                                  : QString(folder + '/' + name);
                QTRY_COMPARE(ReadFile(file), message.isEmpty() ? ExpectedFile : EarlierFile);
            }
        }
    }

    // In a shared (sticky, world-writable) folder, the owner of settings.json swaps it
    // for a link to another file right after root's compose has opened it: the write
    // fails, and the other file keeps its bytes, owner and mode.
    void swappedWhileWritten()
    {
        const passwd* nobody = getpwnam("nobody");
        if (geteuid() != 0 || nobody == nullptr) {
            QSKIP("needs root and the user nobody");
        }
        const QString shared = home->filePath(QStringLiteral("shared"));
        const QString other = home->filePath(QStringLiteral("other.json"));
        const QString target = shared + QStringLiteral("/settings.json");
        QVERIFY(QDir().mkdir(shared) && chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        QVERIFY(WriteFile(other, EarlierFile) && chmod(QFile::encodeName(other).constData(), 0640) == 0);
        QVERIFY(WriteFile(target, EarlierFile) && chmod(QFile::encodeName(target).constData(), 0666) == 0
                && chown(QFile::encodeName(target).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
        const QString otherBefore = Describe(other);
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(SIH_WRITE_RACE_SHIM));
        environment.insert(QStringLiteral("SIH_TEST_SWAP"), other);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(SIH_CHECK_TOOL), {"compose", "-o", target, "SaveSpool=1"});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(tool.readAllStandardError().contains("The file was replaced by another while it was written"));
        QCOMPARE(Describe(other), otherBefore);
        QCOMPARE(ReadFile(other), EarlierFile);
        QCOMPARE(QFile::symLinkTarget(target), other);
        QCOMPARE(Tree(shared), QStringList({"moved-away", "settings.json"}));
    }

    // A long failure wraps and the notice grows to show it whole, never past the screen.
    void noticeShowsTheWholeMessage()
    {
        for (const QString& text :
             {OpenFailure
                  + QStringLiteral("No such file or directory: /home/administrator/"
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
