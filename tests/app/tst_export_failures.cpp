// Failing disks under the real export of the main window: the export button, the
// save dialog typed into, the notice. Each failure must end in a notice that says
// what happened, with the document unchanged, the earlier file intact, nothing left
// next to it, and a retry to a good folder that succeeds.
//
// Permission bits do not stop root, so the export's own file operations run with
// the user nobody when the test runs as root (the save dialog, which is
// not under test, still runs as root). Without root they run as the user itself.

#include "app_test_support.h"

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
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <csignal>
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
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const QString OpenFailure = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error");
const QString WriteFailure = QStringLiteral("SaveJsonToWFile: Cannot write file.");
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

// Lowers the soft file-size limit to `bytes` until destroyed; writes past it fail
// with EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(const rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{bytes, saved_.rlim_max};
        active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
    bool active_ = false;
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
    QString toolTip;
    QImage icon;
};

} // namespace

class TestExportFailures : public QObject {
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
    QString scratchMount;

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
            notice.toolTip = label->toolTip();
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
        if (!scratchMount.isEmpty()) {
            umount2(QFile::encodeName(scratchMount).constData(), MNT_DETACH);
            scratchMount.clear();
        }
        MakeWritable(home->path());
        home.reset();
    }

    void failingDisk_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder missing") << "folder missing" << OpenFailure;
        QTest::newRow("folder read-only") << "folder read-only" << OpenFailure;
        QTest::newRow("target read-only") << "target read-only" << OpenFailure;
        QTest::newRow("target is a folder") << "target is a folder" << OpenFailure;
        QTest::newRow("file-size limit during the write") << "file-size limit" << WriteFailure;
        QTest::newRow("scratch filesystem full during the write") << "filesystem full" << WriteFailure;
    }

    void failingDisk()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);

        const QString disk = HomePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkdir(disk));
        QString target = disk + QStringLiteral("/settings.json");
        QString earlier = target;
        std::function<void()> onSelected;
        std::unique_ptr<FileSizeLimit> limit;
        bool asActor = false;

        if (failure == QLatin1String("filesystem full")) {
            if (!PrivateMounts()) {
                QSKIP("no mount namespace of the test's own: the file-size limit covers a full disk");
            }
            if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
                QSKIP("no scratch filesystem can be mounted: the file-size limit covers a full disk");
            }
            scratchMount = disk;
        }
        QVERIFY(WriteFile(earlier, EarlierFile));

        if (failure == QLatin1String("folder missing")) {
            target = HomePath(QStringLiteral("missing/settings.json"));
        } else if (failure == QLatin1String("folder read-only")) {
            asActor = true;
            QVERIFY(actor->Own(earlier) && actor->Own(disk));
            QVERIFY(QFile::setPermissions(earlier, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            QVERIFY(QFile::setPermissions(disk, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                    | QFileDevice::ExeOther));
        } else if (failure == QLatin1String("target read-only")) {
            asActor = true;
            QVERIFY(actor->Own(earlier) && actor->Own(disk));
            QVERIFY(QFile::setPermissions(earlier, QFileDevice::ReadOwner | QFileDevice::ReadOther));
        } else if (failure == QLatin1String("target is a folder")) {
            // The dialog opens a folder that is typed, so it appears once the name was chosen.
            earlier = disk + QStringLiteral("/earlier.json");
            QVERIFY(QFile::rename(target, earlier));
            onSelected = [target] { QDir().mkdir(target); };
        } else if (failure == QLatin1String("file-size limit")) {
            // Half the document fits; the rest exceeds the limit.
            onSelected = [&limit] { limit = std::make_unique<FileSizeLimit>(ExpectedFile.size() / 2); };
        } else if (failure == QLatin1String("filesystem full")) {
            // One page is left: the document starts to be written, then the disk is full.
            QVERIFY(FillUpTo(disk, 4096));
            QVERIFY(ExpectedFile.size() > 4096);
        }

        if (asActor) {
            // The intended permission, and only it, stands in the way.
            QVERIFY(actor->Enter());
            const bool reaches = ActingUser::May(disk, X_OK);
            const bool folderWritable = ActingUser::May(disk, W_OK);
            const bool targetWritable = ActingUser::May(target, W_OK);
            const bool goodWritable = ActingUser::May(HomePath(QStringLiteral("good")), W_OK);
            actor->Leave();
            QVERIFY(reaches && goodWritable);
            QCOMPARE(folderWritable, failure != QLatin1String("folder read-only"));
            QCOMPARE(targetWritable, failure != QLatin1String("target read-only"));
        }

        const std::string document = SettingsJson.dump();
        const QStringList table = ColumnTexts(window->SettingsTable(), 0) + ColumnTexts(window->SettingsTable(), 1);
        QStringList treeAfter = Tree(home->path());
        if (failure == QLatin1String("target is a folder")) {
            treeAfter << QStringLiteral("disk/settings.json");
            treeAfter.sort();
        }

        const QString typed = QDir(home->path()).relativeFilePath(target);
        const Notice notice = Export(typed, onSelected, asActor);
        if (limit != nullptr) {
            QVERIFY(limit->Active());
            limit.reset();
        }

        // The notice says what happened, never that the file was exported.
        QVERIFY(notice.shown);
        QCOMPARE(notice.text, message);
        QCOMPARE(notice.toolTip, message);
        QVERIFY(notice.icon == ResourceImage(CrossIcon));
        // Nothing else changed: the document, the table, the earlier file, and no
        // temporary file is left anywhere below the home folder.
        QVERIFY(SettingsJson.dump() == document);
        QCOMPARE(ColumnTexts(window->SettingsTable(), 0) + ColumnTexts(window->SettingsTable(), 1), table);
        QCOMPARE(ReadFile(earlier), EarlierFile);
        QCOMPARE(Tree(home->path()), treeAfter);

        // The user picks a good folder and the export succeeds.
        const Notice retry = Export(QStringLiteral("good/retry.json"), nullptr, asActor);
        QVERIFY(retry.shown);
        QCOMPARE(retry.text, Success);
        QVERIFY(retry.icon == ResourceImage(NotifyIcon));
        QCOMPARE(ReadFile(HomePath(QStringLiteral("good/retry.json"))), ExpectedFile);
        QCOMPARE(ReadFile(earlier), EarlierFile);
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

QTEST_MAIN(TestExportFailures)
#include "tst_export_failures.moc"
