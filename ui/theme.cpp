#include "ui/theme.h"
#include "ui/theme_p.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
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
    const float hue = hsl.hslHueF();  // -1 for a grey, which stays grey
    const float saturation = hsl.hslSaturationF();
    const float lightness = hsl.lightnessF();
    const auto darker = [&](float share) {
        return QColor::fromHslF(hue, saturation, lightness * share).toRgb();
    };
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
    if (type == UIColorType::Complement) {  // opposite hue
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
