// Hostile input in the setting editor of the real main window: a pasted 1 MB value,
// control characters, tabs and line breaks, quotes and backslashes, bidirectional
// marks, emoji and combining marks, and names with a NUL character. Every value is
// kept whole, typing stays quick on the 1 MB value, bad names are refused, and the
// exported file gives back exactly the text that was entered.

#include "app_test_support.h"

#include "basetablewidget.h"
#include "fonts.h"
#include "globalize.h"
#include "settings_catalogue.h"
#include "settings_document.h"
#include "silentinstallhelperwindow.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int OneMegabyte = 1 << 20;
// Budget of one keystroke's validation on the 1 MB value.
constexpr double KeystrokeBudgetMs = 50;
constexpr int Keystrokes = 10;

QTemporaryDir* ConfigDir()
{
    static QTemporaryDir dir;
    return &dir;
}

// Pastes through the clipboard and the paste key, as a user does.
void Paste(QLineEdit* edit, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

// Types one key event per code point, each carrying its text, as a keyboard or an
// input method delivers it.
void Type(QLineEdit* edit, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

void Enter(QLineEdit* edit, const QString& text, const bool typed)
{
    if (typed) {
        Type(edit, text);
    } else {
        Paste(edit, text);
    }
}

QString Repeat(const QString& pattern, const int size)
{
    QString text;
    text.reserve(size + pattern.size());
    while (text.size() < size) {
        text += pattern;
    }
    text.truncate(size);
    // Never end in half a surrogate pair.
    if (text.back().isHighSurrogate()) {
        text.back() = QLatin1Char('x');
    }
    return text;
}

QString ControlCharacters()
{
    QString text = QStringLiteral("start");
    for (char16_t c = 1; c < 0x20; ++c) {
        text += QChar(c);
    }
    text += QChar(0x7f);
    text += QChar(0x85);
    text += QStringLiteral("end");
    return text;
}

struct Editor {
    QWidget* dialog = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* value = nullptr;
    QPushButton* action = nullptr;
    QTextEdit* message = nullptr;

    explicit Editor(QWidget* modal)
        : dialog(modal)
        , name(modal->findChild<QLineEdit*>(QStringLiteral("txbSettingName")))
        , value(modal->findChild<QLineEdit*>(QStringLiteral("txbSettingValue")))
        , action(modal->findChild<QPushButton*>(QStringLiteral("btnAction")))
        , message(modal->findChild<QTextEdit*>())
    {
    }
    bool Complete() const { return name && value && action && message; }
    QString Message() const { return message->isVisible() ? message->toPlainText() : QString(); }
};

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT

public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        qputenv("XDG_CONFIG_HOME", ConfigDir()->path().toLocal8Bit());
    }

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SilentInstallHelperWindow> window;

    QToolButton* Button(const char* name) const
    {
        return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }

    // Opens the editor with the add button and hands it to `act`; the editor is
    // closed afterwards if `act` left it open.
    bool WithEditor(const std::function<void(Editor&)>& act)
    {
        bool complete = false;
        const bool opened = RunWithModal([this] { QTest::mouseClick(Button("btnAdd"), Qt::LeftButton); },
                                         [&](QWidget* modal) {
                                             Editor editor(modal);
                                             complete = editor.Complete();
                                             if (complete) {
                                                 act(editor);
                                             }
                                         });
        return opened && complete;
    }

    // Exports through the export button and the save dialog into the home folder;
    // returns the notice's text.
    QString ExportTo(const QString& fileName)
    {
        QString notice;
        const bool opened = RunWithModal([this] { QTest::mouseClick(Button("btnExport"), Qt::LeftButton); },
                                         [&](QWidget* modal) {
                                             auto* dialog = qobject_cast<QFileDialog*>(modal);
                                             auto* edit = dialog ? dialog->findChild<QLineEdit*>(
                                                              QStringLiteral("fileNameEdit"))
                                                                 : nullptr;
                                             if (edit != nullptr) {
                                                 QTest::keyClicks(edit, fileName);
                                                 QTest::keyClick(edit, Qt::Key_Return);
                                             }
                                         });
        QWidget* modal = QApplication::activeModalWidget();
        if (opened && modal != nullptr) {
            if (auto* label = modal->findChild<QLabel*>(QStringLiteral("lblFileExportedInfo"))) {
                notice = label->text();
            }
            modal->close();
        }
        return notice;
    }

    QByteArray ReadHomeFile(const QString& fileName) const
    {
        QFile file(home->filePath(fileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::HomeLocation), home->path());
        SettingsJson = nullptr;
        window = std::make_unique<SilentInstallHelperWindow>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup()
    {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        window.reset();
        home.reset();
    }

    void valuesAreKeptAndExportedExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("typed");
        QTest::newRow("1 MB pasted")
            << "WorkFolder"
            << Repeat(QStringLiteral("C:\\Orvane\\\"spool\"\tfila é ação 😀 "), OneMegabyte) << false;
        QTest::newRow("1 MB of digits pasted") << "BlockCopies" << QString(OneMegabyte, QLatin1Char('7'))
                                                << false;
        QTest::newRow("control characters pasted") << "WorkFolder" << ControlCharacters() << false;
        QTest::newRow("tabs and line breaks pasted")
            << "EnabledDriverList" << QStringLiteral("first\tsecond\nthird\r\nfourth\rfifth\u2028sixth\u2029")
            << false;
        QTest::newRow("NUL inside a value pasted")
            << "WorkFolder" << QStringLiteral("before") + QChar(0) + QStringLiteral("after") << false;
        QTest::newRow("quotes and backslashes typed")
            << "WorkFolder" << QStringLiteral("C:\\Program Files\\\"Orvane\"\\\\server\\share\\ \\u0041 \\n '' \"\"")
            << true;
        QTest::newRow("right-to-left marks typed")
            << "AuthenticationExceptionList"
            << QStringLiteral("\u200Fשלום\u202E abc\u202C مرحبا\u200E\u2067x\u2069\u061C") << true;
        QTest::newRow("emoji and combining marks typed")
            << "WorkFolder"
            << QStringLiteral("👩‍👩‍👧‍👦 🇧🇷 e\u0301 a\u0308\u0323 Z\u0351\u0361\u0353 \U0001F9D1\U0001F3FD\u200D\U0001F4BB \uFE0F")
            << true;
    }

    void valuesAreKeptAndExportedExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, typed);

        QString kept;
        bool actionEnabled = false;
        QString message;
        QVERIFY(WithEditor([&](Editor& editor) {
            QTest::keyClicks(editor.name, name);
            ClosePopups();
            Enter(editor.value, value, typed);
            kept = editor.value->text();
            actionEnabled = editor.action->isEnabled();
            message = editor.Message();
            QTest::mouseClick(editor.action, Qt::LeftButton);
        }));
        // Nothing is cut or dropped: the field holds every character entered.
        QCOMPARE(kept.size(), value.size());
        QVERIFY(kept == value);
        QCOMPARE(message, QString());
        QVERIFY(actionEnabled);

        const std::string expected = value.toStdString();
        QVERIFY(SettingsJson.contains(name.toStdString()));
        QVERIFY(SettingsJson[name.toStdString()].get<std::string>() == expected);
        const QList<QTableWidgetItem*> rows = window->SettingsTable()->findItems(name, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        QVERIFY(window->SettingsTable()->item(rows.first()->row(), 1)->text() == value);

        QCOMPARE(ExportTo(QStringLiteral("hostile.json")), QStringLiteral("File exported successfully."));
        const QByteArray bytes = ReadHomeFile(QStringLiteral("hostile.json"));
        // Every value's line ends and control characters are escaped: the only raw
        // control bytes left are the four CR LF line ends of the layout.
        QCOMPARE(bytes.count("\r\n"), 4);
        QCOMPARE(std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                 std::ptrdiff_t(8));
        nlohmann::ordered_json parsed;
        try {
            parsed = nlohmann::ordered_json::parse(bytes.begin(), bytes.end());
        } catch (const nlohmann::ordered_json::exception& error) {
            QFAIL(error.what());
        }
        QVERIFY(parsed.is_object());
        QCOMPARE(parsed.size(), std::size_t(2));
        QCOMPARE(parsed.begin().key(), std::string("HostAddress"));
        QVERIFY(parsed[name.toStdString()].get<std::string>() == expected);
        QVERIFY(QString::fromStdString(parsed[name.toStdString()].get<std::string>()) == value);
    }

    void namesWithHiddenCharactersAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        const QChar nul(0);
        QTest::newRow("NUL after a valid name") << QStringLiteral("SaveSpool") + nul;
        QTest::newRow("NUL inside a valid name") << QStringLiteral("Save") + nul + QStringLiteral("Spool");
        QTest::newRow("NUL before a valid name") << nul + QStringLiteral("SaveSpool");
        QTest::newRow("line feed after") << QStringLiteral("SaveSpool\n");
        QTest::newRow("tab inside") << QStringLiteral("Save\tSpool");
        QTest::newRow("right-to-left mark before") << QStringLiteral("\u200FSaveSpool");
        QTest::newRow("zero-width space inside") << QStringLiteral("Save\u200BSpool");
        QTest::newRow("combining mark after") << QStringLiteral("SaveSpool\u0301");
        QTest::newRow("full-width letters") << QStringLiteral("ＳａｖｅＳｐｏｏｌ");
        QTest::newRow("dotless i") << QStringLiteral("DisableParser").replace(QLatin1Char('i'), QChar(0x131));
        QTest::newRow("1 MB name") << Repeat(QStringLiteral("SaveSpool"), OneMegabyte);
    }

    void namesWithHiddenCharactersAreRefused()
    {
        QFETCH(QString, name);
        QString message;
        bool actionEnabled = true;
        QVERIFY(WithEditor([&](Editor& editor) {
            Paste(editor.name, name);
            ClosePopups();
            QTest::keyClicks(editor.value, QStringLiteral("1"));
            message = editor.Message();
            actionEnabled = editor.action->isEnabled();
            // Enter saves only through an enabled action button.
            QTest::keyClick(editor.value, Qt::Key_Return);
        }));
        QCOMPARE(message, QStringLiteral("Invalid configuration name."));
        QVERIFY(!actionEnabled);
        QCOMPARE(SettingsJson.size(), std::size_t(1));
        QCOMPARE(window->SettingsTable()->rowCount(), 1);
    }
};

QTEST_MAIN(TestHostileInput)
#include "tst_hostile_input.moc"
