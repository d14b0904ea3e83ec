// The export's write policy on a real file system: the window's Export and the
// command-line tool's compose -o, both over SaveJsonToWFile, meet devices, pipes,
// links, other owners, read-only folders, a full disk and missing folders on a
// scratch filesystem in a mount namespace of the test's own. Whatever happens,
// the path keeps what it was (type, owner, mode, links), the earlier content
// survives any failure, nothing is left next to it, and a failure says why.
//
// Permission bits do not stop root, so the export's own file operations run with
// the user nobody where a permission is the point (the save dialog, which is not
// under test, still runs as root). Without root they run as the user itself.

#include "widget_test_support.h"

#include "basetablewidget.h"
#include "fileexporteddialog.h"
#include "fonts.h"
#include "globalize.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "silentinstallhelperwindow.h"

#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Followed by the system's reason and the path.
const QString OpenFailure = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: ");
const QString WriteFailure = QStringLiteral("SaveJsonToWFile: Cannot write file.: ");
const QString Success = QStringLiteral("File exported successfully.");
const QString CrossIcon = QStringLiteral(":/images/global/times-circle.png");
const QString NotifyIcon = QStringLiteral(":/images/global/notify-circle.png");

// Long enough that no write of the document fits into one page of the scratch disk.
const QString WorkFolder = QStringLiteral("D:\\Orvane\\") + QString(6000, QLatin1Char('s'));
const QByteArray ExpectedFile = "{\r\n"
                                "    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                "    \"SaveSpool\": \"true\",\r\n"
                                "    \"WorkFolder\": \"D:\\\\Orvane\\\\"
    + QByteArray(6000, 's') + "\"\r\n}\r\n";
const QByteArray EarlierFile = "{\r\n    \"HostAddress\": \"https://earlier.example:1\"\r\n}\r\n";

QTemporaryDir* ConfigDir()
{
    static QTemporaryDir dir;
    return &dir;
}

// Set before the application starts: a mount namespace of the test's own, where a
// small scratch filesystem can be mounted without touching the machine's.
bool& PrivateMounts()
{
    static bool value = false;
    return value;
}

QImage Image(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ResourceImage(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
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

// The user whose permissions apply to the export's file operations.
class ActingUser {
public:
    ActingUser()
    {
        if (geteuid() != 0) {
            uid_ = geteuid();
            gid_ = getegid();
            return;
        }
        const passwd* nobody = getpwnam("nobody");
        uid_ = nobody != nullptr ? nobody->pw_uid : 65534;
        gid_ = nobody != nullptr ? nobody->pw_gid : 65534;
    }
    ~ActingUser() { Leave(); }
    ActingUser(const ActingUser&) = delete;
    ActingUser& operator=(const ActingUser&) = delete;

    bool Switches() const { return geteuid() == 0 || switched_; }

    // Makes a child process this user for good; runs between fork and exec.
    std::function<void()> ChildBecomes() const
    {
        if (geteuid() != 0) {
            return [] {};
        }
        return [uid = uid_, gid = gid_] {
            if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) {
                _exit(127);
            }
        };
    }

    // Gives `path` to the acting user, so that its permission bits decide.
    bool Own(const QString& path) const
    {
        return !Switches() || ::chown(QFile::encodeName(path).constData(), uid_, gid_) == 0;
    }

    bool Enter()
    {
        if (switched_ || geteuid() != 0) {
            return true;
        }
        groups_.resize(static_cast<std::size_t>(getgroups(0, nullptr)));
        // Real and effective IDs both change, since access() asks with the real
        // ones; the saved IDs stay root, which keeps the way back open.
        if (getgroups(static_cast<int>(groups_.size()), groups_.data()) < 0 || setgroups(0, nullptr) != 0
            || setresgid(gid_, gid_, 0) != 0 || setresuid(uid_, uid_, 0) != 0) {
            return false;
        }
        switched_ = true;
        return true;
    }

    void Leave()
    {
        if (!switched_) {
            return;
        }
        const bool back = setresuid(0, 0, 0) == 0 && setresgid(0, 0, 0) == 0
            && setgroups(groups_.size(), groups_.data()) == 0;
        switched_ = false;
        if (!back) {
            qFatal("could not return to root");
        }
        // A change of user makes the process undumpable, which would keep the leak
        // checker of sanitizer builds from inspecting it at exit.
        prctl(PR_SET_DUMPABLE, 1);
    }

    // Whether the acting user may do `mode` (W_OK, X_OK) on `path`.
    static bool May(const QString& path, const int mode)
    {
        return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
    }

private:
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool switched_ = false;
    std::vector<gid_t> groups_;
};

// Types one key event per code point, each with its text, as an input method does.
void Type(QLineEdit* edit, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

// What the notice showed at the end of an export.
struct Notice {
    bool shown = false;
    QString text;
    QImage icon;
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT

public:
    static void initMain()
    {
        // Qt's own save dialog, so that the test can type into it.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        qputenv("XDG_CONFIG_HOME", ConfigDir()->path().toLocal8Bit());
        // Still single-threaded: every later thread shares the new namespace.
        PrivateMounts() = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SilentInstallHelperWindow> window;
    std::unique_ptr<ActingUser> actor;
    QStringList scratchMounts;

    QToolButton* Button(const char* name) const
    {
        return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }

    QString HomePath(const QString& name) const { return home->filePath(name); }

    bool AddThroughEditor(const QString& name, const QString& value)
    {
        bool saved = false;
        RunWithModal([this] { QTest::mouseClick(Button("btnAdd"), Qt::LeftButton); },
                     [&](QWidget* dialog) {
                         auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName"));
                         auto* valueEdit = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"));
                         auto* action = dialog->findChild<QPushButton*>(QStringLiteral("btnAction"));
                         if (!nameEdit || !valueEdit || !action) {
                             return;
                         }
                         QTest::keyClicks(nameEdit, name);
                         ClosePopups();
                         QGuiApplication::clipboard()->setText(value);
                         QTest::keyClick(valueEdit, Qt::Key_V, Qt::ControlModifier);
                         saved = action->isEnabled();
                         action->click();
                     });
        return saved;
    }

    // Presses Export, types `path` (relative to the home folder, where the dialog
    // starts) and presses Return; confirms the replacement of an existing file.
    // `onSelected` runs once the dialog has handed out the path, just before the
    // file is written; `asActor` runs the export's writing as the acting user.
    // Returns the notice, which is then closed.
    Notice Export(const QString& path, const std::function<void()>& onSelected = nullptr, const bool asActor = false)
    {
        Notice notice;
        QTimer question;
        question.setInterval(0);
        connect(&question, &QTimer::timeout, &question, [&question] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                question.stop();
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            }
        });
        question.start();

        bool typed = false;
        bool becameActor = !asActor;
        RunWithModal([this] { QTest::mouseClick(Button("btnExport"), Qt::LeftButton); },
                     [&](QWidget* modal) {
                         auto* dialog = qobject_cast<QFileDialog*>(modal);
                         auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
                         if (edit == nullptr) {
                             return;
                         }
                         connect(dialog, &QFileDialog::fileSelected, dialog, [&](const QString&) {
                             if (onSelected) {
                                 onSelected();
                             }
                             if (asActor) {
                                 becameActor = actor->Enter();
                             }
                         });
                         // Typed into a focused field, as a user does: without focus the
                         // dialog overwrites the field with the file selected in its list.
                         QApplication::setActiveWindow(dialog);
                         edit->setFocus(Qt::OtherFocusReason);
                         if (!QTest::qWaitFor([edit] { return edit->hasFocus(); })) {
                             return;
                         }
                         Type(edit, path);
                         typed = edit->text() == path;
                         ClosePopups();
                         QTest::keyClick(edit, Qt::Key_Return);
                     });
        actor->Leave();
        question.stop();
        if (!typed || !becameActor) {
            return notice;
        }
        auto* shown = qobject_cast<FileExportedDialog*>(QApplication::activeModalWidget());
        if (shown == nullptr || shown->parentWidget() != window.get()) {
            return notice;
        }
        notice.shown = shown->isVisible();
        if (auto* label = shown->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"))) {
            notice.text = label->text();
        }
        if (auto* icon = shown->findChild<QLabel*>(QStringLiteral("lblIcon"))) {
            notice.icon = Image(icon->pixmap());
        }
        shown->close();
        return notice;
    }

    // Fills the filesystem at `folder` until only `leftBytes` are free.
    static bool FillUpTo(const QString& folder, const qint64 leftBytes)
    {
        struct statvfs info {};
        if (statvfs(QFile::encodeName(folder).constData(), &info) != 0) {
            return false;
        }
        const qint64 free = static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
        return free > leftBytes && WriteFile(folder + QStringLiteral("/filler"), QByteArray(free - leftBytes, 'f'));
    }

    static void MakeWritable(const QString& folder)
    {
        QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        while (it.hasNext()) {
            ::chmod(QFile::encodeName(it.next()).constData(), 0700);
        }
    }

    // What a situation of the write policy is made of.
    struct Situation {
        // The regular files behind the path: the new document on success, the
        // earlier one after a failure.
        QStringList files;
        std::unique_ptr<QProcess> reader;
    };

    // Sets `situation` up in `folder`, around "settings.json" there.
    void Prepare(const QString& situation, const QString& folder, Situation& made) const
    {
        const QString file = folder + QStringLiteral("/settings.json");
        const QByteArray path = QFile::encodeName(file);
        const auto inFolder = [&folder](const char* name) {
            return QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(name));
        };
        if (situation == QLatin1String("device node")) {
            QVERIFY(mknod(path.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
        } else if (situation == QLatin1String("FIFO with a reader")) {
            QVERIFY(mkfifo(path.constData(), 0644) == 0);
            made.reader = std::make_unique<QProcess>();
            made.reader->start(QStringLiteral("cat"), {file});
            QVERIFY(made.reader->waitForStarted());
        } else if (situation == QLatin1String("symlink loop")) {
            QVERIFY(symlink("loop.json", path.constData()) == 0);
            QVERIFY(symlink("settings.json", inFolder("loop.json").constData()) == 0);
        } else if (situation == QLatin1String("target is a folder")) {
            QVERIFY(QDir().mkdir(file));
        } else if (situation == QLatin1String("new file, folder read-only")) {
            QVERIFY(actor->Own(folder) && ::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        } else if (situation != QLatin1String("missing folder")) {
            QVERIFY(WriteFile(file, EarlierFile));
            made.files << file;
        }

        if (situation == QLatin1String("second hard link")) {
            QVERIFY(link(path.constData(), inFolder("other.json").constData()) == 0);
            made.files << folder + QStringLiteral("/other.json");
        } else if (situation == QLatin1String("symlink to a file")) {
            QVERIFY(::rename(path.constData(), inFolder("real.json").constData()) == 0);
            QVERIFY(symlink("real.json", path.constData()) == 0);
            made.files = QStringList{folder + QStringLiteral("/real.json")};
        } else if (situation.startsWith(QLatin1String("other owner"))) {
            const passwd* nobody = getpwnam("nobody");
            QVERIFY(nobody != nullptr);
            QVERIFY(::chown(path.constData(), nobody->pw_uid, nobody->pw_gid) == 0);
            QVERIFY(::chmod(path.constData(), situation.endsWith(QLatin1String("set-gid")) ? 02640 : 0640) == 0);
        } else if (situation == QLatin1String("folder read-only, file writable")) {
            QVERIFY(actor->Own(file) && actor->Own(folder));
            QVERIFY(::chmod(path.constData(), 0600) == 0 && ::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        } else if (situation == QLatin1String("target read-only")) {
            QVERIFY(actor->Own(file) && actor->Own(folder) && ::chmod(path.constData(), 0444) == 0);
        } else if (situation == QLatin1String("full disk")) {
            // One page is left: the document starts to be written, then the disk is full.
            QVERIFY(ExpectedFile.size() > 4096);
            QVERIFY(FillUpTo(folder, 4096));
        }
    }

    // What a path is, without following a link: type, mode, owner, links, device, link text.
    static QString Describe(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        if (lstat(name.constData(), &info) != 0) {
            return QStringLiteral("absent");
        }
        char link[PATH_MAX] = {};
        const ssize_t length = readlink(name.constData(), link, sizeof link - 1);
        return QStringLiteral("mode %1 owner %2:%3 links %4 device %5 link %6")
            .arg(QString::number(info.st_mode, 8))
            .arg(info.st_uid)
            .arg(info.st_gid)
            .arg(info.st_nlink)
            .arg(info.st_rdev)
            .arg(length > 0 ? QString::fromLocal8Bit(link, length) : QString());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ConfigDir()->isValid());
        QuietOffscreenNotices();
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        QVERIFY(ResourceImage(CrossIcon) != ResourceImage(NotifyIcon));
    }

    void init()
    {
        actor = std::make_unique<ActingUser>();
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        // The acting user reaches the folders below the home folder.
        QVERIFY(QFile::setPermissions(home->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                        | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                        | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                                        | QFileDevice::ExeGroup));
        qputenv("HOME", home->path().toLocal8Bit());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::HomeLocation), home->path());
        // A good folder for the retry, writable by the acting user.
        QVERIFY(QDir(home->path()).mkdir(QStringLiteral("good")));
        QVERIFY(actor->Own(HomePath(QStringLiteral("good"))));

        SettingsJson = nullptr;
        window = std::make_unique<SilentInstallHelperWindow>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QVERIFY(AddThroughEditor(QStringLiteral("SaveSpool"), QStringLiteral("1")));
        QVERIFY(AddThroughEditor(QStringLiteral("WorkFolder"), WorkFolder));
    }

    void cleanup()
    {
        actor->Leave();
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        window.reset();
        for (const QString& mountPoint : std::as_const(scratchMounts)) {
            umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
        }
        scratchMounts.clear();
        MakeWritable(home->path());
        home.reset();
    }

    void writePolicy_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message"); // empty: written; %1 stands for the path

        QTest::newRow("device node") << "device node" << QString();
        QTest::newRow("FIFO with a reader") << "FIFO with a reader" << QString();
        QTest::newRow("second hard link") << "second hard link" << QString();
        QTest::newRow("other owner, mode 0640") << "other owner, mode 0640" << QString();
        QTest::newRow("other owner, set-gid") << "other owner, set-gid" << QString();
        QTest::newRow("folder read-only, file writable") << "folder read-only, file writable" << QString();
        QTest::newRow("symlink to a file") << "symlink to a file" << QString();
        QTest::newRow("full disk") << "full disk" << WriteFailure + "No space left on device: %1";
        QTest::newRow("missing folder") << "missing folder" << OpenFailure + "No such file or directory: %1";
        QTest::newRow("symlink loop") << "symlink loop" << OpenFailure + "Too many levels of symbolic links: %1";
        QTest::newRow("target read-only") << "target read-only" << OpenFailure + "Permission denied: %1";
        QTest::newRow("new file, folder read-only") << "new file, folder read-only"
                                                    << OpenFailure + "Permission denied: %1";
        QTest::newRow("target is a folder") << "target is a folder" << OpenFailure + "Is a directory: %1";
    }

    // Each situation twice, on a scratch filesystem of its own: through the
    // command-line tool and through the window's Export.
    void writePolicy()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        if (!PrivateMounts() || geteuid() != 0) {
            QSKIP("needs root and a mount namespace of the test's own for its scratch filesystems");
        }
        const bool asActor = situation.contains(QLatin1String("read-only"));
        const QString name = situation == QLatin1String("missing folder") ? QStringLiteral("missing/settings.json")
                                                                           : QStringLiteral("settings.json");
        const std::string document = SettingsJson.dump();

        for (const QString& via : {QStringLiteral("compose"), QStringLiteral("export")}) {
            const QString folder = HomePath(via);
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0);
            scratchMounts << folder;
            const QString target = folder + QLatin1Char('/') + name;

            Situation made;
            QString before;
            QStringList tree;
            const auto prepare = [&] {
                Prepare(situation, folder, made);
                before = Describe(target);
                tree = Tree(folder);
            };
            QString shown;
            if (via == QLatin1String("compose")) {
                prepare();
                QProcess tool;
                tool.setProgram(QStringLiteral(SIH_CHECK_TOOL));
                tool.setArguments({QStringLiteral("compose"), QStringLiteral("-o"), target,
                                   QStringLiteral("SaveSpool=1"), QStringLiteral("WorkFolder=") + WorkFolder});
                if (asActor) {
                    tool.setChildProcessModifier(actor->ChildBecomes());
                }
                tool.start();
                QVERIFY(tool.waitForFinished(30000));
                const QString err = QString::fromUtf8(tool.readAllStandardError());
                QCOMPARE(tool.exitCode(), message.isEmpty() ? 0 : 2);
                // The tool names the file, then says what the program would.
                shown = err.isEmpty() ? QString() : err.section(QStringLiteral("\": "), 1).chopped(1);
                QVERIFY2(err.isEmpty() == message.isEmpty(), qPrintable(err));
            } else {
                const Notice notice = Export(via + QLatin1Char('/') + name, prepare, asActor);
                QVERIFY(notice.shown);
                QVERIFY(notice.icon == ResourceImage(message.isEmpty() ? NotifyIcon : CrossIcon));
                shown = message.isEmpty() ? (notice.text == Success ? QString() : notice.text) : notice.text;
                QVERIFY(SettingsJson.dump() == document);
            }
            QVERIFY(!QTest::currentTestFailed());

            QCOMPARE(shown, message.isEmpty() ? QString() : message.arg(target));
            if (made.reader) {
                QVERIFY(made.reader->waitForFinished(10000));
                QCOMPARE(made.reader->readAllStandardOutput(), ExpectedFile);
            }
            // The path is what it was, nothing appeared or vanished next to it, and
            // its file holds the new document or, after a failure, the earlier one.
            QCOMPARE(Describe(target), before);
            QCOMPARE(Tree(folder), tree);
            for (const QString& file : std::as_const(made.files)) {
                QCOMPARE(ReadFile(file), message.isEmpty() ? ExpectedFile : EarlierFile);
            }
        }
    }

    // Cancelling the save dialog writes nothing and shows no notice.
    void cancelWritesNothing()
    {
        const QStringList before = Tree(home->path());
        QVERIFY(RunWithModal([this] { QTest::mouseClick(Button("btnExport"), Qt::LeftButton); },
                             [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); }));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(Tree(home->path()), before);
    }

    // A long failure wraps and the notice grows to show it whole, never past the screen.
    void noticeShowsTheWholeMessage()
    {
        for (const QString& text : {QStringLiteral("File exported successfully."),
                                    OpenFailure + QStringLiteral("No such file or directory: /home/administrator/"
                                                                 "Documents/Orvane deployment/site 42/settings.json"),
                                    QStringLiteral("Is a directory: /srv/") + QStringLiteral("Orvane_Print_Agent_").repeated(4),
                                    QStringLiteral("word ").repeated(2000)}) {
            FileExportedDialog notice(text, window.get());
            auto* label = notice.findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"));
            auto* close = notice.findChild<QPushButton*>(QStringLiteral("btnClose"));
            QCOMPARE(label->text(), text);
            QVERIFY(notice.height() < notice.screen()->availableGeometry().height());
            QVERIFY(close->geometry().top() >= label->geometry().bottom());
            QVERIFY(notice.rect().contains(close->geometry()));
            if (text.size() < 1000) {
                QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(text));
                QVERIFY(label->width() >= label->minimumSizeHint().width());
            }
        }
    }

    void pathWithNonAsciiCharactersAndSpaces()
    {
        const QString folderName = QStringLiteral("Configurações do agente ü 日本");
        const QString fileName = QStringLiteral("configuração final 😀 e\u0301.json");
        QVERIFY(QDir(home->path()).mkdir(folderName));
        const Notice notice = Export(folderName + QLatin1Char('/') + fileName);
        QVERIFY(notice.shown);
        QCOMPARE(notice.text, Success);
        QVERIFY(notice.icon == ResourceImage(NotifyIcon));
        QCOMPARE(ReadFile(HomePath(folderName + QLatin1Char('/') + fileName)), ExpectedFile);

        // On disk the name is exactly the UTF-8 of the typed name, and nothing else
        // is in the folder.
        QStringList names;
        DIR* folder = opendir(QFile::encodeName(HomePath(folderName)).constData());
        QVERIFY(folder != nullptr);
        while (const dirent* entry = readdir(folder)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                names << QString::fromLatin1(name.toHex());
            }
        }
        closedir(folder);
        QCOMPARE(names, QStringList{QString::fromLatin1(fileName.toUtf8().toHex())});
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
