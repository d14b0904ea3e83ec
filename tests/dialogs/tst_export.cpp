#include "dialog_test_support.h"

#include "export_settings.h"
#include "fileexporteddialog.h"
#include "fonts.h"
#include "globalize.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString NotifyIcon = QStringLiteral(":/images/global/notify-circle.png");
const QString CrossIcon = QStringLiteral(":/images/global/times-circle.png");

// Where QFileDialog keeps its own state, away from the home folders the tests list.
QTemporaryDir* ConfigDir()
{
    static QTemporaryDir dir;
    return &dir;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage Image(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ResourceImage(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QList<FileExportedDialog*> Notices(const QWidget& window)
{
    return window.findChildren<FileExportedDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

public:
    // Runs before the application object exists: the save dialog must be Qt's own
    // widget dialog, so that the test can type into it.
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        qputenv("XDG_CONFIG_HOME", ConfigDir()->path().toLocal8Bit());
    }

private:
    std::unique_ptr<QTemporaryDir> home;

    QString HomePath(const QString& name = QString()) const
    {
        return name.isEmpty() ? home->path() : home->filePath(name);
    }

    QStringList HomeEntries() const
    {
        return QDir(home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    // Runs the export; while the save dialog is up, checks it, types `fileName`
    // into it and presses Return, or cancels it when `fileName` is empty. The
    // dialog's question before replacing a file is answered with Yes when
    // `replaceExisting` is set and is a failure otherwise. `onSelected` runs when
    // the dialog hands out the chosen path.
    void Export(TestHost& host, const QString& fileName, const bool replaceExisting = false,
                const std::function<void(const QString&)>& onSelected = nullptr) const
    {
        bool asked = false;
        auto question = WhenModal<QMessageBox>([&](QMessageBox* box) {
            asked = true;
            QTest::mouseClick(box->button(replaceExisting ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
        });
        bool leftOpen = true;
        const QString start = HomePath();
        auto poll = WhenModal<QFileDialog>(
            [&](QFileDialog* dialog) {
                QCOMPARE(dialog->parentWidget(), &host);
                QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
                QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("(*.json)")});
                QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(start).canonicalPath());
                auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(nameEdit != nullptr);
                if (fileName.isEmpty()) {
                    dialog->reject();
                    return;
                }
                if (onSelected) {
                    connect(dialog, &QFileDialog::fileSelected, dialog, onSelected);
                }
                QTest::keyClicks(nameEdit, fileName);
                QCOMPARE(nameEdit->text(), fileName);
                QTest::keyClick(nameEdit, Qt::Key_Return);
            },
            &leftOpen);
        ExportSettings(&host);
        QVERIFY(!poll->isActive());
        QCOMPARE(asked, replaceExisting);
        QVERIFY2(!leftOpen, "the save dialog did not accept the name");
    }

    static void CheckNotice(FileExportedDialog* notice, const TestHost& host, const QString& text,
                            const QString& icon)
    {
        QVERIFY(notice->isVisible());
        QVERIFY(notice->isModal());
        QCOMPARE(notice->parentWidget(), &host);
        QCOMPARE(QApplication::activeModalWidget(), notice);
        QCOMPARE(notice->windowTitle(), QStringLiteral("Orvane Print Agent - Silent Install Helper"));
        auto* label = notice->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"));
        auto* iconLabel = notice->findChild<QLabel*>(QStringLiteral("lblIcon"));
        QVERIFY(label && iconLabel);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->accessibleName(), text);
        // Shown whole, and selectable so that it can be copied.
        QVERIFY(label->wordWrap());
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QCOMPARE(Image(iconLabel->pixmap()), ResourceImage(icon));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ConfigDir()->isValid());
        MuteOffscreenPlatformNotices();
        FontUtil::Setup();
        // The two pictures differ, so comparing against one tells them apart.
        QVERIFY(ResourceImage(NotifyIcon) != ResourceImage(CrossIcon));
    }

    void init()
    {
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        // Each test gets an empty home folder, where the save dialog starts.
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::HomeLocation), home->path());
    }

    void cleanup()
    {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    }

    void success_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("json name") << "settings.json";
        QTest::newRow("no extension is added") << "settings";
    }

    void success()
    {
        QFETCH(QString, fileName);
        TestHost host({{SettingName::SaveSpool, "true"}, {SettingName::BlockCopies, "007"}});
        QVERIFY(Activate(host));
        const QString target = HomePath(fileName);

        Export(host, fileName);
        QCOMPARE(ReadFile(target), QByteArray("{\r\n"
                                              "    \"HostAddress\": \"https://127.0.0.1:56569\",\r\n"
                                              "    \"SaveSpool\": \"true\",\r\n"
                                              "    \"BlockCopies\": \"007\"\r\n"
                                              "}\r\n"));
        // Exactly the chosen name: nothing else appears next to it.
        QCOMPARE(HomeEntries(), QStringList{fileName});

        const QList<FileExportedDialog*> notices = Notices(host);
        QCOMPARE(notices.size(), 1);
        CheckNotice(notices.first(), host, QStringLiteral("File exported successfully."), NotifyIcon);
        auto* label = notices.first()->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"));

        // The notice opens with the focus on its message; Enter closes it, and it stays.
        QTRY_COMPARE(QApplication::focusWidget(), label);
        QTest::keyClick(label, Qt::Key_Return);
        QVERIFY(!notices.first()->isVisible());
        QCOMPARE(Notices(host).size(), 1);
    }

    void exportingAgainReplacesTheFile()
    {
        TestHost host({{SettingName::SaveSpool, "true"}});
        QVERIFY(Activate(host));
        Export(host, QStringLiteral("a.json"));
        Notices(host).first()->close();

        RemoveSetting(host.rows, SettingName::SaveSpool);
        // The save dialog asks before it hands out an existing file.
        Export(host, QStringLiteral("a.json"), true);
        QCOMPARE(ReadFile(HomePath("a.json")), QByteArray("{\r\n"
                                                           "    \"HostAddress\": \"https://127.0.0.1:56569\"\r\n"
                                                           "}\r\n"));
    }

    void cancelWritesNothing()
    {
        TestHost host;
        QVERIFY(Activate(host));
        Export(host, QString());
        QVERIFY(HomeEntries().isEmpty());
        QVERIFY(Notices(host).isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void twoExportsTwoNotices()
    {
        TestHost host;
        QVERIFY(Activate(host));
        Export(host, QStringLiteral("one.json"));
        const QList<FileExportedDialog*> first = Notices(host);
        QCOMPARE(first.size(), 1);
        auto* close = first.first()->findChild<QPushButton*>(QStringLiteral("btnClose"));
        QVERIFY(close != nullptr);
        QCOMPARE(close->text(), QStringLiteral("Close"));
        QVERIFY(close->isDefault());
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!first.first()->isVisible());

        Export(host, QStringLiteral("missing/two.json"));
        const QString failure = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: "
                                               "No such file or directory: ")
            + HomePath(QStringLiteral("missing/two.json"));
        const QList<FileExportedDialog*> both = Notices(host);
        QCOMPARE(both.size(), 2);
        QVERIFY(both.contains(first.first()));
        FileExportedDialog* second = both.at(both.indexOf(first.first()) == 0 ? 1 : 0);
        QVERIFY(!first.first()->isVisible());
        CheckNotice(second, host, failure, CrossIcon);
    }

    // The success notice keeps its size; a long error wraps and the notice grows
    // to show it whole, its Close button below it, but never past the screen.
    void noticeGrowsForTheWholeMessage()
    {
        QWidget window;
        const auto show = [&window](const QString& text) {
            auto* notice = new FileExportedDialog(text, &window);
            return std::make_pair(notice, notice->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo")));
        };
        const auto [success, successLabel] = show(QStringLiteral("File exported successfully."));
        QCOMPARE(success->size(), QSize(331, 150));
        QCOMPARE(successLabel->geometry(), QRect(80, 32, 261, 25));

        const QString error = QStringLiteral("SaveJsonToWFile: Cannot open file.: iostream stream error: "
                                             "No such file or directory: /home/administrator/Documents/"
                                             "Orvane deployment/site 42/settings.json");
        const auto [failure, label] = show(error);
        auto* close = failure->findChild<QPushButton*>(QStringLiteral("btnClose"));
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(label->height() > 2 * label->fontMetrics().height());
        QCOMPARE(failure->width(), 331);
        QCOMPARE(failure->height() - 150, label->height() - 25);
        QCOMPARE(close->y(), 104 + label->height() - 25);
        QCOMPARE(failure->minimumSize(), failure->maximumSize());

        // A name that cannot be broken widens the notice, its button still at the right.
        const auto [wide, wideLabel] = show(QStringLiteral("Is a directory: /srv/")
                                            + QStringLiteral("Orvane_Print_Agent_").repeated(4));
        auto* wideClose = wide->findChild<QPushButton*>(QStringLiteral("btnClose"));
        QVERIFY(wide->width() > 331);
        QVERIFY(wideLabel->width() >= wideLabel->minimumSizeHint().width());
        QCOMPARE(wide->width() - wideClose->geometry().right(), 331 - close->geometry().right());
        QCOMPARE(wide->minimumSize(), wide->maximumSize());

        const auto [huge, hugeLabel] = show(QStringLiteral("word ").repeated(2000));
        QVERIFY(huge->height() < huge->screen()->availableGeometry().height());
        QVERIFY(hugeLabel->height() < hugeLabel->heightForWidth(hugeLabel->width()));
    }

};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
