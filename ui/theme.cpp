#include "ui/theme.h"
#include "ui/theme_p.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QStyle>
#include <QToolTip>
#include <QWidget>

#include <array>
#include <cmath>

QString ColorToRgba(const QColor& color, const int& amount)
{
    int red = color.red();
    int green = color.green();
    int blue = color.blue();
    int alpha = color.alpha();
    if (amount != 0) {
        auto darken = [&amount](int channel) { return channel - amount > 0 ? channel - amount : 0; };
        red = darken(red);
        green = darken(green);
        blue = darken(blue);
        alpha = 255;
    }
    return QStringLiteral("rgba(%1, %2, %3, %4);").arg(red).arg(green).arg(blue).arg(alpha);
}

// Windows steps the HSL lightness of the accent: for its default blue #0078D4
// (lightness 0.416) the darker shades have 0.75, 0.55 and 0.31 of that lightness,
// and the lighter ones move 27, 48 and 66 % of the way to white with saturation
// cut to 75 %. Hue is kept. This reproduces the default palette to within one
// step per channel, except that Windows also turns its lightest shade toward cyan.
QColor DeriveAccentShade(const QColor& accent, UIColorType type)
{
    const QColor hsl = accent.toHsl();
    const float hue = hsl.hslHueF(); // -1 for a grey, which stays grey
    const float saturation = hsl.hslSaturationF();
    const float lightness = hsl.lightnessF();
    const auto darker = [&](float share) { return QColor::fromHslF(hue, saturation, lightness * share).toRgb(); };
    const auto lighter = [&](float way) {
        return QColor::fromHslF(hue, saturation * 0.75f, lightness + (1.0f - lightness) * way).toRgb();
    };
    struct Step {
        UIColorType type;
        bool darker;
        float amount; // share of the lightness, or of the way to white
    };
    static const std::array<Step, 6> steps{{{UIColorType::AccentDark3, true, 0.31f},
                                            {UIColorType::AccentDark2, true, 0.55f},
                                            {UIColorType::AccentDark1, true, 0.75f},
                                            {UIColorType::AccentLight1, false, 0.27f},
                                            {UIColorType::AccentLight2, false, 0.48f},
                                            {UIColorType::AccentLight3, false, 0.66f}}};
    for (const Step& step : steps) {
        if (step.type == type) {
            return step.darker ? darker(step.amount) : lighter(step.amount);
        }
    }
    if (type == UIColorType::Accent) {
        return accent.toRgb();
    }
    if (type == UIColorType::Complement) { // opposite hue
        return QColor::fromHslF(hue < 0.0f ? hue : std::fmod(hue + 0.5f, 1.0f), saturation, lightness).toRgb();
    }
    return QColor();
}

QColor DefaultAccentShade(UIColorType type)
{
    // The system's default accent and its shades, from AccentDark3 to AccentLight3.
    static const std::array<QRgb, 7> shades{0x002642, 0x004275, 0x005A9E, 0x0078D4, 0x429CE3, 0x76B9ED, 0x99EBFF};
    const int index = static_cast<int>(type) - static_cast<int>(UIColorType::AccentDark3);
    if (index >= 0 && index < static_cast<int>(shades.size())) {
        return QColor(shades[static_cast<std::size_t>(index)]);
    }
    return DeriveAccentShade(QColor(0x00, 0x78, 0xD4), type);
}

QColor DefaultSystemColor(const UIColorType& type, const bool& dark)
{
    switch (type) {
    case UIColorType::Background:
        return dark ? QColor(Qt::black) : QColor(Qt::white);
    case UIColorType::Foreground:
        return dark ? QColor(Qt::white) : QColor(Qt::black);
    default:
        return DefaultAccentShade(type);
    }
}

// The palette for the roles the style sheets leave open: the table's empty area,
// popups, the completer, the toolkit's own dialogs, tool tips. The colours are the
// style sheets' own, so that both meet without a seam.
QPalette ThemePalette(bool dark)
{
    const UIColorType highlightKind = dark ? UIColorType::AccentLight2 : UIColorType::AccentLight1;
    const QColor highlight = GetSystemColor(highlightKind);
    const QColor highlightedText = GetSystemColor(UIColorType::Background);
    if (!dark) {
        QPalette palette = QApplication::style()->standardPalette();
        palette.setColor(QPalette::Active, QPalette::Highlight, highlight);
        palette.setColor(QPalette::Inactive, QPalette::Highlight, highlight);
        palette.setColor(QPalette::Active, QPalette::HighlightedText, highlightedText);
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText, highlightedText);
        return palette;
    }
    const QColor window(0x20, 0x20, 0x20);
    const QColor base(0x2B, 0x2B, 0x2B);
    const QColor text(Qt::white);
    const QColor dimmed(0x7F, 0x7F, 0x7F);
    QPalette palette(text, QColor(0x2D, 0x2D, 0x2D), QColor(0x3C, 0x3C, 0x3C), QColor(0x14, 0x14, 0x14),
                     QColor(0x26, 0x26, 0x26), text, text, base, window);
    palette.setColor(QPalette::AlternateBase, QColor(0x22, 0x22, 0x22));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9D, 0x9D, 0x9D));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, highlightedText);
    palette.setColor(QPalette::Link, highlight);
    palette.setColor(QPalette::LinkVisited, GetSystemColor(UIColorType::AccentLight3));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                           QPalette::HighlightedText, QPalette::PlaceholderText}) {
        palette.setColor(QPalette::Disabled, role, dimmed);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x44, 0x44, 0x44));
    return palette;
}

void ApplyThemePalette(const bool& dark)
{
    const QPalette palette = ThemePalette(dark);
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette); // the tool tip keeps the palette it was first given
}

void BroadcastThemeChange()
{
    // Guarded: a restyling window may close and delete another one.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        windows.append(window);
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window) {
            QEvent event(QEvent::ThemeChange);
            QCoreApplication::sendEvent(window, &event);
        }
    }
}
