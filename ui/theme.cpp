#include "ui/theme.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

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
