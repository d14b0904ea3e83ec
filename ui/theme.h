#pragma once

#include <QColor>
#include <QString>

// Kinds of system UI colour; the numbering matches the platform's own enumeration.
enum class UIColorType : int {
    Background = 0,
    Foreground = 1,
    AccentDark3 = 2,
    AccentDark2 = 3,
    AccentDark1 = 4,
    Accent = 5,
    AccentLight1 = 6,
    AccentLight2 = 7,
    AccentLight3 = 8,
    Complement = 9,
};

// Platform level of the themed resource paths.
inline const QString PlatformFolder = QStringLiteral("windows");

// True when the desktop asks applications for a dark theme; false on any failure.
bool IsDarkTheme();

// The desktop's colour of the given kind, with alpha.
QColor GetSystemColor(const UIColorType& type);

// "rgba(r, g, b, a);" for a style sheet; a non-zero amount darkens and makes it opaque.
QString ColorToRgba(const QColor& color, const int& amount);

// Starts following the desktop's theme and accent colour: on a change every
// top-level widget receives QEvent::ThemeChange. Safe to call more than once.
void StartThemeChangeWatcher();

// Sends QEvent::ThemeChange to every top-level widget: Qt sends it to top-level
// widgets only, and every window, dialogs included, is one of them.
void BroadcastThemeChange();
