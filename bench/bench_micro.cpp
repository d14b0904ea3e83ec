// In-process benchmarks (Google Benchmark), each product operation next to the
// baseline it is compared with, measured in the same run:
//   refresh_table/product     RefreshSettingsTable with all 56 settings in the document
//   refresh_table/baseline    the same table filled with the same 56 x 3 precomputed texts
//   keystroke_name/product    one change of the editor's name field (its validation,
//                             completion rebuild and message included)
//   keystroke_value/product   the same for the value field
//   keystroke/baseline        a new QCompleter over the same list, installed on a line edit
//   export/product            SaveJsonToWFile of the 56-setting document
//   export/baseline           the same bytes written with one QFile write
// and, without a target of their own, the pieces the product figures are made of:
//   export/qsavefile          the same bytes through QSaveFile (written aside, synced,
//                             renamed into place), as the export replaces an ordinary file
//   translate/plain_key, translate/with_argument, settings_data_mapper.
// Every figure is the time of one operation, timed around that operation alone;
// the state is restored between operations outside the timed part.

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"
#include "dialogs/settingsdialog.h"
#include "dialogs/settingstablewidget.h"
#include "app/silentinstallhelperwindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// A value each kind of setting accepts.
QString ValidValue(SettingValueKind kind)
{
    switch (kind) {
    case SettingValueKind::Address:
        return QStringLiteral("https://printer.example.com:9443");
    case SettingValueKind::Integer:
        return QStringLiteral("5"); // within every integer rule
    case SettingValueKind::Decimal:
        return QStringLiteral("1.5");
    case SettingValueKind::Boolean:
        return QStringLiteral("1");
    case SettingValueKind::Text:
    default:
        return QStringLiteral("C:\\Orvane\\Agent");
    }
}

// The main window with every setting of the catalogue in its document, added
// through the editor the way a user adds them.
class MainWindowFixture {
public:
    MainWindowFixture()
    {
        window.show();
        QApplication::processEvents();
        // A copy: every save rebuilds the process-wide catalogue.
        for (const auto& [name, mapping] : GetSettingsMap()) {
            // The window's new document holds these already.
            if (mapping.required) {
                continue;
            }
            const QString text = QString::fromStdString(name);
            const QString value = ValidValue(mapping.kind);
            // Fills the editor from inside its modal loop, as soon as it is up.
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &poll, [&poll, &text, &value] {
                auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) {
                    return;
                }
                poll.stop();
                dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName"))->setText(text);
                dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"))->setText(value);
                dialog->findChild<QPushButton*>(QStringLiteral("btnAction"))->click();
                if (dialog->isVisible()) {
                    std::fprintf(stderr, "the editor refused %s\n", qPrintable(text));
                    std::abort();
                }
            });
            poll.start(0);
            window.ShowAddSettingDialog();
        }
        table = dynamic_cast<SettingsTableWidget*>(window.SettingsTable());
        if (table == nullptr || table->rowCount() != 56) {
            std::fprintf(stderr, "the document does not hold 56 settings\n");
            std::abort();
        }
        for (int row = 0; row < table->rowCount(); ++row) {
            std::array<QString, 3> texts;
            for (int column = 0; column < 3; ++column) {
                const QTableWidgetItem* item = table->item(row, column);
                texts[static_cast<std::size_t>(column)] = item != nullptr ? item->text() : QString();
            }
            cells.push_back(texts);
        }
        QApplication::processEvents();
    }

    SilentInstallHelperWindow window;
    SettingsTableWidget* table = nullptr;
    std::vector<std::array<QString, 3>> cells;
};

// Never destroyed, like the application object: windows torn down at exit, after the
// toolkit has begun its own clean-up, are not safe.
MainWindowFixture& MainWindow()
{
    static auto* const fixture = new MainWindowFixture;
    return *fixture;
}

QTableWidgetItem* CellItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

void RefreshTableProduct(benchmark::State& state)
{
    MainWindowFixture& fixture = MainWindow();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        fixture.window.RefreshSettingsTable();
        state.SetIterationTime(Seconds(start, Clock::now()));
        QApplication::processEvents();
    }
}

// Kept out of line, so that an instruction count can be collected for exactly this.
[[gnu::noinline]] void FillTable(SettingsTableWidget* table, const std::vector<std::array<QString, 3>>& cells)
{
    table->clearContents();
    table->setRowCount(0);
    int row = 0;
    for (const auto& texts : cells) {
        table->insertRow(row);
        for (int column = 0; column < 3; ++column) {
            table->setItem(row, column, CellItem(texts[static_cast<std::size_t>(column)]));
        }
        ++row;
    }
}

void RefreshTableBaseline(benchmark::State& state)
{
    MainWindowFixture& fixture = MainWindow();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        FillTable(fixture.table, fixture.cells);
        state.SetIterationTime(Seconds(start, Clock::now()));
        QApplication::processEvents();
    }
}

// The editor in add mode over a new document (the required settings only), as the main
// window opens it.
class EditorFixture {
public:
    EditorFixture()
    {
        parent.resize(860, 492);
        parent.show();
        for (const RequiredSetting& required : RequiredSettings()) {
            rows.emplace(required.name, required.defaultValue);
        }
        catalogue = GetSettingsMap();
        for (const auto& [name, mapping] : catalogue) {
            if (mapping.suggested && rows.find(name) == rows.end()) {
                completions.append(QString::fromStdString(name));
            }
        }
        Open();
    }

    // A new editor, so that nothing the old one piled up slows the next operations.
    void Open()
    {
        dialog = std::make_unique<SettingsDialog>(&parent, &rows, &catalogue);
        dialog->SetupAddSetting();
        dialog->show();
        name = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingName"));
        value = dialog->findChild<QLineEdit*>(QStringLiteral("txbSettingValue"));
        QApplication::processEvents();
    }

    QWidget parent;
    SettingsRows rows;
    SettingsMap catalogue;
    QStringList completions;
    std::unique_ptr<SettingsDialog> dialog;
    QLineEdit* name = nullptr;
    QLineEdit* value = nullptr;
};

// Never destroyed, like the application object: windows torn down at exit, after the
// toolkit has begun its own clean-up, are not safe.
EditorFixture& Editor()
{
    static auto* const fixture = new EditorFixture;
    return *fixture;
}

constexpr int OperationsPerEditor = 256;

// Alternates the field between two texts, so that every operation is one change.
void Keystroke(benchmark::State& state, bool nameField)
{
    EditorFixture& fixture = Editor();
    const auto prepare = [&fixture, nameField] {
        fixture.Open();
        if (!nameField) {
            fixture.name->setText(QStringLiteral("BlockCopies"));
        }
    };
    QLineEdit* const* field = nameField ? &fixture.name : &fixture.value;
    const QString texts[2] = {nameField ? QStringLiteral("Block") : QStringLiteral("1"),
                              nameField ? QStringLiteral("BlockC") : QStringLiteral("12")};
    prepare();
    int count = 0;
    for (auto _ : state) {
        const QString& text = texts[count & 1];
        const Clock::time_point start = Clock::now();
        (*field)->setText(text);
        state.SetIterationTime(Seconds(start, Clock::now()));
        if (++count % OperationsPerEditor == 0) {
            prepare();
        }
    }
}

void KeystrokeName(benchmark::State& state)
{
    Keystroke(state, true);
}

void KeystrokeValue(benchmark::State& state)
{
    Keystroke(state, false);
}

[[gnu::noinline]] void InstallNewCompleter(const QStringList& completions, QLineEdit* edit, QObject* parent)
{
    auto* completer = new QCompleter(completions, parent);
    edit->setCompleter(completer);
}

void KeystrokeBaseline(benchmark::State& state)
{
    EditorFixture& fixture = Editor();
    QWidget window;
    auto* edit = new QLineEdit(&window);
    window.show();
    auto holder = std::make_unique<QObject>();
    int count = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        InstallNewCompleter(fixture.completions, edit, holder.get());
        state.SetIterationTime(Seconds(start, Clock::now()));
        if (++count % OperationsPerEditor == 0) {
            edit->setCompleter(nullptr);
            holder = std::make_unique<QObject>();
        }
    }
}

struct ExportFixture {
    ExportFixture()
    {
        MainWindow(); // the document holds all 56 settings from here on
        path = directory.filePath(QStringLiteral("settings.json"));
        bytes = QByteArray::fromStdString(SerializeSettings(SettingsJson));
    }

    QTemporaryDir directory;
    QString path;
    QByteArray bytes;
};

// Never destroyed, like the application object: windows torn down at exit, after the
// toolkit has begun its own clean-up, are not safe.
ExportFixture& Export()
{
    static auto* const fixture = new ExportFixture;
    return *fixture;
}

void ExportProduct(benchmark::State& state)
{
    ExportFixture& fixture = Export();
    const std::wstring path = fixture.path.toStdWString();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        SaveJsonToWFile(path, SettingsJson);
        state.SetIterationTime(Seconds(start, Clock::now()));
    }
}

[[gnu::noinline]] bool WriteWithQFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return false;
    }
    file.close();
    return true;
}

// Writes the export's bytes with `write` in every iteration.
void ExportWith(benchmark::State& state, bool (*write)(const QString&, const QByteArray&))
{
    ExportFixture& fixture = Export();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!write(fixture.path, fixture.bytes)) {
            state.SkipWithError("cannot write");
            break;
        }
        state.SetIterationTime(Seconds(start, Clock::now()));
    }
}

void ExportBaseline(benchmark::State& state)
{
    ExportWith(state, WriteWithQFile);
}

// The same bytes through QSaveFile: written next to the target, synced to disk and
// then put in its place, which is how the export keeps an earlier ordinary file intact.
[[gnu::noinline]] bool WriteWithQSaveFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

void ExportSaveFile(benchmark::State& state)
{
    ExportWith(state, WriteWithQSaveFile);
}

void Translate(benchmark::State& state, const QString& key)
{
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(Globalize::Translate(key));
        state.SetIterationTime(Seconds(start, Clock::now()));
    }
}

void TranslatePlainKey(benchmark::State& state)
{
    Translate(state, QStringLiteral("HostAddressDescription"));
}

void TranslateWithArgument(benchmark::State& state)
{
    Translate(state, QStringLiteral("@@Settings,'Name'"));
}

void DataMapper(benchmark::State& state)
{
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        SettingsDataMapper();
        state.SetIterationTime(Seconds(start, Clock::now()));
    }
}

// The offscreen platform cannot raise or grab the completer's popup and says so
// each time; that notice is not about the program.
void MuteOffscreenNotices()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.startsWith(QLatin1String("This plugin does not support"))) {
            previous(type, context, text);
        }
    });
}

// The application object with the program's own start-up, made before the first
// benchmark runs (Google Benchmark's main runs them) and kept until the process ends.
void StartApplication()
{
    static int argc = 1;
    static char name[] = "bench_micro";
    static char* argv[] = {name, nullptr};
    static const bool started = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        MuteOffscreenNotices();
        new QApplication(argc, argv);
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        Globalize::LoadLanguage(DefaultLocaleId);
        SettingsDataMapper();
        return true;
    }();
    static_cast<void>(started);
}

void Register(const char* name, void (*function)(benchmark::State&))
{
    benchmark::internal::Benchmark* benchmark = benchmark::RegisterBenchmark(name, [function](benchmark::State& state) {
        StartApplication();
        function(state);
    });
    benchmark->UseManualTime()->Unit(benchmark::kMicrosecond);
    // A fixed count, for instruction counts under callgrind: the difference between
    // two counts divided by the difference in operations is the cost of one.
    const int iterations = qEnvironmentVariableIntValue("SIH_BENCH_ITERATIONS");
    if (iterations > 0) {
        benchmark->Iterations(iterations);
    }
}

[[maybe_unused]] const bool Registered = [] {
    Register("refresh_table/product", RefreshTableProduct);
    Register("refresh_table/baseline", RefreshTableBaseline);
    Register("keystroke_name/product", KeystrokeName);
    Register("keystroke_value/product", KeystrokeValue);
    Register("keystroke/baseline", KeystrokeBaseline);
    Register("export/product", ExportProduct);
    Register("export/baseline", ExportBaseline);
    Register("export/qsavefile", ExportSaveFile);
    Register("translate/plain_key", TranslatePlainKey);
    Register("translate/with_argument", TranslateWithArgument);
    Register("settings_data_mapper", DataMapper);
    return true;
}();

} // namespace
