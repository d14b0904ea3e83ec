#pragma once

// Colours that stand in for the desktop's, shared by the platforms' theme
// sources and exposed for the tests.

#include <QColor>
#include <QPalette>

#include "ui/theme.h"

// The shade of an accent kind (AccentDark3 ... AccentLight3, Complement) derived
// from the desktop's accent colour. Background and Foreground are not accent
// kinds: they give an invalid colour.
QColor DeriveAccentShade(const QColor& accent, UIColorType type);

// The same kinds in Windows' default blue, used while the desktop names no accent.
QColor DefaultAccentShade(UIColorType type);

// Any kind without the desktop's help: white or black background and text for
// the theme, the default accent's shades.
QColor DefaultSystemColor(const UIColorType& type, const bool& dark);

// The palette for the roles the style sheets leave open (the table's empty area,
// popups, the toolkit's own dialogs, tool tips), in the style sheets' colours.
QPalette ThemePalette(bool dark);

// Makes ThemePalette(dark) the application's and the tool tips' palette.
void ApplyThemePalette(const bool& dark);
