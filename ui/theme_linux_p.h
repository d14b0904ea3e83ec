#pragma once

// Internals of the Linux theme source, exposed for the tests.

#include <QColor>

#include "ui/theme.h"

// The shade of an accent kind (AccentDark3 ... AccentLight3, Complement) derived
// from the desktop's accent colour. Background and Foreground are not accent
// kinds: they give an invalid colour.
QColor DeriveAccentShade(const QColor& accent, UIColorType type);

// The same kinds in Windows' default blue, used while the desktop names no accent.
QColor DefaultAccentShade(UIColorType type);
