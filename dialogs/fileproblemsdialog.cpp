#include "dialogs/fileproblemsdialog.h"

#include "ui_fileproblemsdialog.h"

#include "dialogs/window_utils.h"
#include "i18n/globalize.h"
#include "i18n/translation_keys.h"
#include "ui/fonts.h"
#include "ui/styling.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int IconSize = 25;
// A file can hold values of any length; the cell shows the start and the tool tip
// a little more, so that neither grows without bound.
constexpr qsizetype ShownValueLength = 60;
constexpr qsizetype ToolTipValueLength = 500;
// The notice starts at this size when the screen has room for it, and is never
// made smaller than the least size (the table then still shows a few rows).
constexpr QSize StartSize(900, 560);
constexpr QSize LeastSize(560, 380);
// Without a table: as wide as the other notices' text, at least as high as the remove dialog.
constexpr QSize ShortSize(700, 200);
// The name and value columns take what their texts need up to these widths and
// shares of the table; the problem column, which the notice is for, takes the rest.
constexpr int MaxNameWidth = 260;
constexpr int MaxValueWidth = 220;
constexpr double MaxNameShare = 0.3;
constexpr double MaxValueShare = 0.25;

// A cell of one line; the tool tip and a screen reader get the longer text, and
// the reader the whole row as the cell's description.
QTableWidgetItem* Cell(const QString& text, const QString& whole, const QString& row)
{
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(PlainToolTip(whole));
    item->setData(Qt::AccessibleTextRole, whole);
    item->setData(Qt::AccessibleDescriptionRole, row);
    return item;
}

} // namespace

FileProblemsDialog::FileProblemsDialog(QWidget* parent, const QString& title, const QString& info,
                                       const std::vector<FileProblemRow>& rows)
    : QDialog(parent)
    , ui(new Ui::FileProblemsDialog)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->lblFileProblemsTitle->setFocus(Qt::OtherFocusReason);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    ApplyStyle();
    SetWidgetIcon(ui->lblIcon, QStringLiteral("times-circle.png"), IconSize, true);

    SetBoldFont(ui->lblFileProblemsTitle, TitleFontSize);
    SetRegularFont(ui->lblFileProblemsInfo, RegularFontSize);
    SetRegularFont(ui->tblProblems, RegularFontSize);
    SetRegularFont(ui->btnClose, RegularFontSize);

    // The info names the file: plain text, as the form sets for both labels.
    ui->lblFileProblemsTitle->setText(title);
    ui->lblFileProblemsInfo->setText(info);
    ui->btnClose->setText(Globalize::Translate(TranslationKey::Close));
    ui->tblProblems->setAccessibleName(title);
    ui->tblProblems->setAccessibleDescription(info);
    FillTable(rows);

    // Window decorations as the parent has them, so that the whole notice fits.
    const QSize frame = parent != nullptr ? parent->frameGeometry().size() - parent->size() : QSize();
    const QSize available = (parent != nullptr ? parent->screen() : screen())->availableGeometry().size() - frame;
    if (rows.empty()) {
        ui->tblProblems->hide();
        const int width = std::min(ShortSize.width(), available.width());
        resize(width, std::max(ShortSize.height(), heightForWidth(width)));
    } else {
        setMinimumSize(LeastSize.boundedTo(available));
        resize(StartSize.boundedTo(available));
    }

    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
    show();
}

FileProblemsDialog::~FileProblemsDialog() = default;

void FileProblemsDialog::FillTable(const std::vector<FileProblemRow>& rows)
{
    QTableWidget* table = ui->tblProblems;
    table->setHorizontalHeaderLabels({Globalize::Translate(TranslationKey::Name),
                                      Globalize::Translate(TranslationKey::Value),
                                      Globalize::Translate(TranslationKey::Problem)});
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Every row one line high: a cell too narrow for its text ends in "…".
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const FileProblemRow& problem = rows[static_cast<std::size_t>(row)];
        const QString name = ShownText(problem.name, ShownValueLength);
        const QString value = ShownText(problem.value, ShownValueLength);
        const QString& whole = problem.problem;
        // A screen reader reads the row from any of its cells; the line that counts
        // the entries not shown has the problem alone.
        const QString spoken = problem.name.isEmpty() && problem.value.isEmpty()
            ? whole
            : TranslatedText(TranslationKey::ProblemRowAccessible, {name, value, whole});
        table->setItem(row, 0, Cell(name, ShownText(problem.name, ToolTipValueLength), spoken));
        table->setItem(row, 1, Cell(value, ShownText(problem.value, ToolTipValueLength), spoken));
        table->setItem(row, 2, Cell(problem.problem, whole, spoken));
    }
    table->resizeColumnToContents(0);
    table->resizeColumnToContents(1);
    nameWidth = table->horizontalHeader()->sectionSize(0);
    valueWidth = table->horizontalHeader()->sectionSize(1);
    table->installEventFilter(this);
    table->viewport()->installEventFilter(this);
}

void FileProblemsDialog::FitColumns()
{
    QHeaderView* header = ui->tblProblems->horizontalHeader();
    const int width = ui->tblProblems->viewport()->width();
    header->resizeSection(0, std::min({nameWidth, MaxNameWidth, static_cast<int>(width * MaxNameShare)}));
    header->resizeSection(1, std::min({valueWidth, MaxValueWidth, static_cast<int>(width * MaxValueShare)}));
}

bool FileProblemsDialog::eventFilter(QObject* watched, QEvent* event)
{
    QTableWidget* table = ui->tblProblems;
    if (watched == table->viewport() && event->type() == QEvent::Resize) {
        FitColumns();
    }
    if (watched == table && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool byKeyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
        // The row the table is on shows while the keyboard is in it: Tab in selects
        // it (the first row at first), Tab out clears the selection. A click
        // selects its own row.
        if (byKeyboard && event->type() == QEvent::FocusIn && table->rowCount() > 0) {
            const int row = std::max(table->currentRow(), 0);
            table->setCurrentCell(row, 0);
            table->selectRow(row);
        } else if (byKeyboard) {
            table->clearSelection();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FileProblemsDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    // The other notices let the container's rounded frame run past the window's
    // edges; in a window that can be resized only its lower edge is kept.
    ui->container->setStyleSheet(ui->container->styleSheet()
                                 + QStringLiteral(".QGroupBox { border-width: 0px 0px 1px 0px; border-radius: 0px; }"));
    SetWidgetStyle(ui->lblFileProblemsTitle, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->lblFileProblemsInfo, QStringLiteral("qlabel-style.qss"));
    SetTableWidgetStyle(ui->tblProblems);
    SetPrimaryButtonStyle(ui->btnClose);
}

void FileProblemsDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
