#include "dialogs/window_utils.h"

#include "i18n/globalize.h"
#include "i18n/translation_keys.h"
#include "settings/report_text.h"
#include "ui/fonts.h"
#include "ui/styling.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyle>
#include <QTextEdit>

#include <algorithm>
#include <stdexcept>
#include <utility>

QString PlainToolTip(const QString& text)
{
    if (text.isEmpty()) {
        return {};
    }
    // Rich text in a tool tip is wrapped at about half its width when it is short;
    // a short line is kept whole, as a plain tool tip keeps it.
    const bool line = text.size() <= 80 && !text.contains(QLatin1Char('\n'));
    return (line ? QStringLiteral("<p style=\"white-space:pre\">")
                 : QStringLiteral("<p style=\"white-space:pre-wrap\">"))
        + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString ShownText(const QString& text, qsizetype length)
{
    qsizetype end = std::min(text.size(), length);
    // Never split a surrogate pair.
    if (end < text.size() && end > 0 && text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    const QString shown = VisibleText(text.left(end));
    return end < text.size() ? shown + QChar(0x2026) : shown;
}

QString ShownText(std::string_view utf8, qsizetype length)
{
    // Four bytes hold at least one character: enough of the start for `length`
    // characters, and the cut sequence at its end lies beyond them.
    const auto bytes = static_cast<qsizetype>(std::min(utf8.size(), static_cast<std::size_t>(length) * 4 + 4));
    const QString start = QString::fromUtf8(utf8.data(), bytes);
    // Where the text goes on beyond the decoded start, one character more tells the cut.
    return ShownText(bytes == static_cast<qsizetype>(utf8.size()) ? start : start.left(length + 1), length);
}

void SetupCompleter(const QStringList& items, QLineEdit* lineEdit, QObject* parent)
{
    if (lineEdit == nullptr || parent == nullptr) {
        throw std::runtime_error("SetupCompleter: Invalid widget pointer.");
    }
    auto* completer = new QCompleter(items, parent);
    QAbstractItemView* popup = completer->popup();
    popup->setSelectionModel(new QItemSelectionModel(completer->completionModel(), popup));
    SetRegularFont(popup, RegularFontSize);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    popup->selectionModel()->select(completer->completionModel()->index(0, 0), QItemSelectionModel::Select);
    lineEdit->setCompleter(completer);
}

QTextEdit* CreateValidationMessageArea(QWidget* parent)
{
    auto* area = new QTextEdit(parent);
    area->hide();
    area->setFrameStyle(0);
    area->viewport()->setAutoFillBackground(false);
    area->viewport()->setCursor(Qt::ArrowCursor);
    area->setFocusPolicy(Qt::NoFocus);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setReadOnly(true);
    area->setTextInteractionFlags(Qt::NoTextInteraction);
    area->setStyleSheet(QStringLiteral("color: #e04441;"));
    SetSemiboldFont(area, RegularFontSize);
    return area;
}

void ShowValidationMessage(const ValidationMessageLayout& layout, const QString& message)
{
    QTextEdit* area = layout.messageArea;
    if (layout.window == nullptr || area == nullptr || layout.primaryButton == nullptr
        || layout.secondaryButton == nullptr) {
        throw std::runtime_error("ShowValidationMessage: Invalid widget pointer.");
    }

    area->show();
    // Release the height fixed for an earlier message, so growth is always
    // measured from the area's own geometry.
    area->setMinimumHeight(0);
    area->setMaximumHeight(QWIDGETSIZE_MAX);
    area->setGeometry(layout.messageGeometry);

    // The same text again would only be laid out again to the same result.
    if (area->toPlainText() != message || area->alignment() != Qt::AlignHCenter) {
        area->setPlainText(message);
        area->setAlignment(Qt::AlignHCenter);
    }
    // The viewport learns its width only when shown; lay the text out at the final
    // width now (the document lays itself out again even for an unchanged width).
    if (area->document()->textWidth() != layout.messageGeometry.width()) {
        area->document()->setTextWidth(layout.messageGeometry.width());
    }
    const int wanted = std::max(0, static_cast<int>(area->document()->size().height()) - area->height());
    const int growth = GrowFixedWindow(layout.window, layout.windowHeight, wanted,
                                       {layout.secondaryButton, layout.primaryButton}, layout.buttonTop);
    area->setFixedHeight(area->height() + growth);
    layout.primaryButton->setEnabled(false);
}

int GrowFixedWindow(QWidget* window, const int& windowHeight, const int& growth,
                    const std::initializer_list<QWidget*>& buttons, const int& buttonTop)
{
    if (window == nullptr) {
        throw std::runtime_error("GrowFixedWindow: Invalid widget pointer.");
    }
    int used = growth;
    if (const QScreen* screen = window->screen()) {
        // Room for the title bar, which the window's own height leaves out.
        const int room = screen->availableGeometry().height() - window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        used = std::max(0, std::min(growth, room - windowHeight));
    }
    for (QWidget* button : buttons) {
        if (button == nullptr) {
            throw std::runtime_error("GrowFixedWindow: Invalid widget pointer.");
        }
        button->move(button->x(), buttonTop + used);
    }
    const QSize size(window->width(), windowHeight + used);
    window->setMinimumSize(size);
    window->setMaximumSize(size);
    window->resize(size);
    return used;
}

void ResizeWindowAfterValidateFields(QWidget* window, QWidget* primaryButton, QWidget* secondaryButton,
                                     QTextEdit* messageArea, const int& windowHeight, const int& buttonTop)
{
    if (window == nullptr || primaryButton == nullptr || secondaryButton == nullptr || messageArea == nullptr) {
        throw std::runtime_error("ResizeWindowAfterValidateFields: Invalid widget pointer.");
    }
    const QSize size(window->width(), windowHeight);
    window->setMinimumSize(size);
    window->setMaximumSize(size);
    window->resize(size);

    messageArea->hide();
    messageArea->clear();

    for (QWidget* button : {secondaryButton, primaryButton}) {
        button->move(button->x(), buttonTop);
    }
    primaryButton->setEnabled(true);
}

void SetupConfirmationForm(QWidget* window, const ConfirmationForm& form, const QString& titleKey,
                           const QString& infoKey, const QString& confirmKey, const QString& otherKey)
{
    form.title->setFocus(Qt::OtherFocusReason);
    window->setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    StyleConfirmationForm(form);

    SetBoldFont(form.title, TitleFontSize);
    form.title->setText(Globalize::Translate(titleKey));
    SetRegularFont(form.info, RegularFontSize);
    form.info->setText(Globalize::Translate(infoKey));
    const std::pair<QPushButton*, QString> buttons[] = {{form.confirm, confirmKey},
                                                        {form.other, otherKey},
                                                        {form.cancel, TranslationKey::Cancel}};
    for (const auto& [button, key] : buttons) {
        if (button != nullptr) {
            SetRegularFont(button, RegularFontSize);
            button->setText(Globalize::Translate(key));
        }
    }
}

void StyleConfirmationForm(const ConfirmationForm& form)
{
    SetWidgetStyle(form.background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(form.container, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(form.title, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(form.info, QStringLiteral("qlabel-style.qss"));
    for (QPushButton* button : {form.other, form.cancel}) {
        if (button != nullptr) {
            SetWidgetStyle(button, QStringLiteral("qpushbutton-secondary-style.qss"));
        }
    }
    SetPrimaryButtonStyle(form.confirm);
}

QString TranslatedText(const QString& key, const QStringList& arguments)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{(\\d+)\\}"));
    const QString text = Globalize::Translate(key);
    QString filled;
    qsizetype done = 0;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
        const qsizetype index = match.captured(1).toLongLong() - 1;
        if (index >= 0 && index < arguments.size()) {
            filled += text.mid(done, match.capturedStart() - done) + arguments.at(index);
            done = match.capturedEnd();
        }
    }
    return filled + text.mid(done);
}
