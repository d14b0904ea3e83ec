// The export's write policy on a real file system: the command-line tool's compose -o
// and the window's Export, both over SaveJsonToWFile, meet devices, pipes, links,
// other owners, read-only folders, a full disk and missing folders, each on a small
// tmpfs in a mount namespace of the test's own. Whatever happens, the path keeps
// what it was (type, owner, mode, links), the earlier content survives any failure,
// nothing is left next to it, and a failure says why. Root ignores permission bits,
// so the tool runs as the user nobody where a permission is the point.

#include "widget_test_support.h"

#include "fileexporteddialog.h"
#include "fonts.h"
#include "globalize.h"
#include "silentinstallhelperwindow.h"

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

#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
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

QImage Image(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

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

const passwd* Nobody()
{
    static const passwd* nobody = getpwnam("nobody");
    return nobody;
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

    QToolButton* ExportButton() const { return window->findChild<QToolButton*>(QStringLiteral("btnExport")); }

    // Exports to `path` through the button and the save dialog; returns the notice's
    // text and icon, or nothing when no notice of the window is left open.
    std::pair<QString, QImage> ExportThroughWindow(const QString& path)
    {
        RunWithModal([this] { QTest::mouseClick(ExportButton(), Qt::LeftButton); }, [&](QWidget* modal) {
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
                                               Image(notice->findChild<QLabel*>(QStringLiteral("lblIcon"))->pixmap().toImage())};
        notice->close();
        return shown;
    }

    // Sets `situation` up around `file` in `folder`; returns the regular files behind
    // the path (the new document on success, the earlier one after a failure).
    static QStringList Prepare(const QString& situation, const QString& folder, const QString& file,
                               std::unique_ptr<QProcess>& reader)
    {
        const QByteArray path = QFile::encodeName(file);
        const QByteArray other = QFile::encodeName(folder + QStringLiteral("/other.json"));
        const QByteArray folderPath = QFile::encodeName(folder);
        QStringList files;
        bool ok = true;
        if (situation == QLatin1String("device node")) {
            ok = mknod(path.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
        } else if (situation == QLatin1String("FIFO with a reader")) {
            ok = mkfifo(path.constData(), 0644) == 0;
            reader = std::make_unique<QProcess>();
            reader->start(QStringLiteral("cat"), {file});
            ok = ok && reader->waitForStarted();
        } else if (situation == QLatin1String("symlink loop")) {
            ok = symlink("other.json", path.constData()) == 0 && symlink(path.constData(), other.constData()) == 0;
        } else if (situation == QLatin1String("target is a folder")) {
            ok = QDir().mkdir(file);
        } else if (situation == QLatin1String("new file, folder read-only")) {
            ok = ::chown(folderPath.constData(), Nobody()->pw_uid, 0) == 0 && ::chmod(folderPath.constData(), 0555) == 0;
        } else if (situation != QLatin1String("missing folder")) {
            ok = WriteFile(file, EarlierFile);
            files << file;
        }

        if (situation == QLatin1String("second hard link")) {
            ok = ok && link(path.constData(), other.constData()) == 0;
            files << QFile::decodeName(other);
        } else if (situation == QLatin1String("symlink to a file")) {
            ok = ok && ::rename(path.constData(), other.constData()) == 0 && symlink("other.json", path.constData()) == 0;
            files = QStringList{QFile::decodeName(other)};
        } else if (situation.startsWith(QLatin1String("other owner"))) {
            ok = ok && ::chown(path.constData(), Nobody()->pw_uid, Nobody()->pw_gid) == 0
                && ::chmod(path.constData(), situation.endsWith(QLatin1String("set-gid")) ? 02640 : 0640) == 0;
        } else if (situation.contains(QLatin1String("read-only,"))) {
            ok = ok && ::chown(path.constData(), Nobody()->pw_uid, 0) == 0
                && ::chown(folderPath.constData(), Nobody()->pw_uid, 0) == 0 && ::chmod(path.constData(), 0600) == 0
                && ::chmod(folderPath.constData(), 0555) == 0;
        } else if (situation == QLatin1String("target read-only")) {
            // The folder would allow a replacement; the file itself must refuse.
            ok = ok && ::chown(path.constData(), Nobody()->pw_uid, 0) == 0
                && ::chown(folderPath.constData(), Nobody()->pw_uid, 0) == 0 && ::chmod(path.constData(), 0444) == 0;
        } else if (situation == QLatin1String("full disk")) {
            // One page is left: the document starts to be written, then the disk is full.
            struct statvfs info {};
            ok = ok && statvfs(folderPath.constData(), &info) == 0
                && WriteFile(folder + QStringLiteral("/filler"),
                             QByteArray(qint64(info.f_bavail * info.f_frsize) - 4096, 'f'));
        }
        return ok ? files : QStringList{QStringLiteral("<set-up failed>")};
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

    void writePolicy_data()
    {
        QTest::addColumn<QString>("message"); // empty: written; %1 stands for the path
        QTest::addColumn<bool>("throughWindow"); // as well as through the tool
        const QString written;
        QTest::newRow("device node") << written << false;
        QTest::newRow("FIFO with a reader") << written << false;
        QTest::newRow("second hard link") << written << true;
        QTest::newRow("other owner, mode 0640") << written << false;
        QTest::newRow("other owner, set-gid") << written << false;
        QTest::newRow("folder read-only, file writable") << written << false;
        QTest::newRow("symlink to a file") << written << false;
        QTest::newRow("full disk") << WriteFailure + "No space left on device: %1" << true;
        QTest::newRow("missing folder") << OpenFailure + "No such file or directory: %1" << false;
        QTest::newRow("symlink loop") << OpenFailure + "Too many levels of symbolic links: %1" << false;
        QTest::newRow("target read-only") << OpenFailure + "Permission denied: %1" << false;
        QTest::newRow("new file, folder read-only") << OpenFailure + "Permission denied: %1" << false;
        QTest::newRow("target is a folder") << OpenFailure + "Is a directory: %1" << false;
    }

    void writePolicy()
    {
        QFETCH(QString, message);
        QFETCH(bool, throughWindow);
        if (!privateMounts || geteuid() != 0 || Nobody() == nullptr) {
            QSKIP("needs root, the user nobody and a mount namespace of the test's own");
        }
        const QString situation = QString::fromLatin1(QTest::currentDataTag());
        const QString subfolder = situation == QLatin1String("missing folder") ? QStringLiteral("/missing/") : "/";
        QStringList ways{QStringLiteral("compose")};
        if (throughWindow) {
            ways << QStringLiteral("export");
        }
        for (const QString& via : ways) {
            const QString folder = home->filePath(via);
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0);
            scratchMounts << folder;
            const QString target =
                folder + subfolder + (via == QLatin1String("export") ? WindowFileName : QStringLiteral("settings.json"));
            std::unique_ptr<QProcess> reader;
            const QStringList files = Prepare(situation, folder, target, reader);
            QVERIFY(!files.contains(QStringLiteral("<set-up failed>")));
            const QString before = Describe(target);
            const QStringList tree = Tree(folder);

            QString shown;
            if (via == QLatin1String("compose")) {
                QProcess tool;
                tool.setProgram(QStringLiteral(SIH_CHECK_TOOL));
                tool.setArguments({"compose", "-o", target, "SaveSpool=1", "WorkFolder=" + QString(WorkFolder).replace("\\\\", "\\")});
                if (situation.contains(QLatin1String("read-only"))) {
                    tool.setChildProcessModifier([uid = Nobody()->pw_uid, gid = Nobody()->pw_gid] {
                        if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) {
                            _exit(127);
                        }
                    });
                }
                tool.start();
                QVERIFY(tool.waitForFinished(30000));
                const QString err = QString::fromUtf8(tool.readAllStandardError());
                QCOMPARE(tool.exitCode(), message.isEmpty() ? 0 : 2);
                // The tool names the file, then says what the program would.
                shown = err.section(QStringLiteral("\": "), 1).chopped(err.isEmpty() ? 0 : 1);
            } else {
                const auto [text, icon] = ExportThroughWindow(target);
                const bool success = text == QLatin1String("File exported successfully.");
                shown = success ? QString() : text;
                const QString iconFile = success ? QStringLiteral("notify-circle.png") : QStringLiteral("times-circle.png");
                QVERIFY(icon == Image(QImage(QStringLiteral(":/images/global/") + iconFile)));
            }
            QCOMPARE(shown, message.isEmpty() ? QString() : message.arg(target));
            if (reader) {
                QVERIFY(reader->waitForFinished(10000));
                QCOMPARE(reader->readAllStandardOutput(), ExpectedFile);
            }
            QCOMPARE(Describe(target), before);
            QCOMPARE(Tree(folder), tree);
            for (const QString& file : files) {
                QCOMPARE(ReadFile(file), message.isEmpty() ? ExpectedFile : EarlierFile);
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
