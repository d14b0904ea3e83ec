#include "dialogs/fileproblemsdialog.h"

#include "ui_fileproblemsdialog.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"

#include <QHeaderView>

#include <algorithm>

namespace {

constexpr int IconSize = 25;
// A file can hold values of any length; the cell shows the start and the tool tip
// a little more, so that neither grows without bound.
constexpr qsizetype ShownValueLength = 60;
constexpr qsizetype ToolTipValueLength = 500;
// Without a table: the height of the remove dialog, the button at its place.
constexpr int ShortHeight = 200;
constexpr int ShortButtonTop = 154;
constexpr int ShortContainerHeight = 128;

// The start of a name or value from a file, on one line: control characters show
// as their Unicode pictures (a line feed as U+240A).
QString Cut(const QString& text, qsizetype length)
{
    qsizetype end = std::min(text.size(), length);
    // Never split a surrogate pair.
    if (end < text.size() && end > 0 && text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    QString shown = text.left(end);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        } else if (c.unicode() == 0x7F) {
            c = QChar(0x2421);
        }
    }
    return end < text.size() ? shown + QChar(0x2026) : shown;
}

QTableWidgetItem* Cell(const QString& text, const QString& toolTip)
{
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(toolTip);
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

    ui->lblFileProblemsTitle->setText(title);
    ui->lblFileProblemsInfo->setText(info);
    ui->btnClose->setText(Globalize::Translate(TranslationKey::Close));

    QTableWidget* table = ui->tblProblems;
    table->setHorizontalHeaderLabels({Globalize::Translate(TranslationKey::Name),
                                      Globalize::Translate(TranslationKey::Value),
                                      Globalize::Translate(TranslationKey::Problem)});
    table->setAccessibleName(title);
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const FileProblemRow& problem = rows[static_cast<std::size_t>(row)];
        table->setItem(row, 0, Cell(Cut(problem.name, ShownValueLength), Cut(problem.name, ToolTipValueLength)));
        table->setItem(row, 1, Cell(Cut(problem.value, ShownValueLength), Cut(problem.value, ToolTipValueLength)));
        const QString explanation =
            problem.detail.isEmpty() ? problem.problem : problem.problem + QLatin1Char('\n') + problem.detail;
        table->setItem(row, 2, Cell(problem.problem, explanation));
    }
    table->horizontalHeader()->resizeSection(0, 170);
    table->horizontalHeader()->resizeSection(1, 150);
    // The problem is what the notice is for: its text wraps rather than being cut.
    table->resizeRowsToContents();

    // The info takes the lines its language needs; the table gives up the room.
    QLabel* infoLabel = ui->lblFileProblemsInfo;
    const int infoHeight = std::max(infoLabel->height(), infoLabel->heightForWidth(infoLabel->width()));
    const int tableBottom = table->geometry().bottom();
    infoLabel->resize(infoLabel->width(), infoHeight);
    table->setGeometry(table->x(), infoLabel->y() + infoHeight + 4, table->width(),
                       tableBottom - (infoLabel->y() + infoHeight + 4) + 1);

    if (rows.empty()) {
        table->hide();
        ui->lblFileProblemsInfo->setGeometry(ui->lblFileProblemsInfo->x(), ui->lblFileProblemsInfo->y(),
                                             ui->lblFileProblemsInfo->width(),
                                             ShortContainerHeight - ui->lblFileProblemsInfo->y() - 4);
        ui->container->resize(ui->container->width(), ShortContainerHeight);
        ui->btnClose->move(ui->btnClose->x(), ShortButtonTop);
        setFixedSize(width(), ShortHeight);
    }

    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
    show();
}

FileProblemsDialog::~FileProblemsDialog() = default;

void FileProblemsDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
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
