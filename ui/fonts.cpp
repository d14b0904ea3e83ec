#include "ui/fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

#include <spdlog/spdlog.h>

#include <array>
#include <stdexcept>

namespace {

// The font files in registration order, and the application font numbers their
// registration returned; the weight operations take their families from these.
enum FontWeightIndex : std::size_t { Regular = 0, Semibold = 1, Bold = 2 };
std::array<int, 3> RegisteredFontIds{-1, -1, -1};

QFont ApplicationFont(const FontWeightIndex font, const int pointSize, const int weight)
{
    const QStringList families = QFontDatabase::applicationFontFamilies(RegisteredFontIds[font]);
    return QFont(families.value(0), pointSize, weight, false);
}

void SetFont(QWidget* widget, const FontWeightIndex font, const int pointSize, const int weight, const char* failure)
{
    if (widget == nullptr) {
        throw std::runtime_error(failure);
    }
    widget->setFont(ApplicationFont(font, pointSize, weight));
}

} // namespace

namespace FontUtil {

void Setup()
{
    const std::array<QString, 3> files{
        QStringLiteral(":/fonts/windows/Segoe-UI-Variable-Static-Small.ttf"),
        QStringLiteral(":/fonts/windows/Segoe-UI-Variable-Static-Small-Semibold.ttf"),
        QStringLiteral(":/fonts/windows/Segoe-UI-Variable-Static-Small-Bold.ttf"),
    };
    // Every file is registered before any result is checked.
    for (std::size_t i = 0; i < files.size(); ++i) {
        RegisteredFontIds[i] = QFontDatabase::addApplicationFont(files[i]);
    }
    for (const int id : RegisteredFontIds) {
        if (id == -1) {
            throw std::runtime_error("FontUtil - Setup failed: font files not found");
        }
    }
    // The forms name "Segoe UI"; where the system has no such family it must be the
    // bundled one, not whatever the system's font matching picks.
    const QString regularFamily = QFontDatabase::applicationFontFamilies(RegisteredFontIds[Regular]).value(0);
    QFont::insertSubstitution(QStringLiteral("Segoe UI"), regularFamily);
#ifndef Q_OS_WIN
    // On Windows the interface font is that family already; elsewhere widgets that
    // name no font, such as the toolkit's own dialogs, would take the system's.
    QFont applicationFont = QApplication::font();
    applicationFont.setFamily(regularFamily);
    QApplication::setFont(applicationFont); // resets the tool-tip font, which follows
#endif
    QToolTip::setFont(ApplicationFont(Regular, RegularFontSize, QFont::Normal));
    spdlog::debug("FontUtils setup finished successfully.");
}

} // namespace FontUtil

namespace WindowUtils {

void SetupApplicationStyle()
{
    // Changing the style resets the per-class fonts to the platform's; keep the
    // tool-tip font that the font set-up chose.
    const QFont toolTipFont = QToolTip::font();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    QToolTip::setFont(toolTipFont);
    spdlog::debug("WindowUtils application style setup finished successfully.");
}

} // namespace WindowUtils

void SetRegularFont(QWidget* widget, const int& pointSize)
{
    SetFont(widget, Regular, pointSize, QFont::Normal, "FontUtil - SetRegularFont failed: invalid widget pointer");
}

void SetSemiboldFont(QWidget* widget, const int& pointSize)
{
    SetFont(widget, Semibold, pointSize, QFont::DemiBold, "FontUtil - SetSemiboldFont failed: invalid widget pointer");
}

void SetBoldFont(QWidget* widget, const int& pointSize)
{
    SetFont(widget, Bold, pointSize, QFont::Bold, "FontUtil - SetBoldFont failed: invalid widget pointer");
}
