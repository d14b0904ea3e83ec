#pragma once

class QWidget;

inline constexpr int RegularFontSize = 10;
inline constexpr int TitleFontSize = 14;

namespace FontUtil {
// Registers the bundle's three font files and sets the tool-tip font.
void Setup();
}

namespace WindowUtils {
// Sets the "fusion" style for the whole application.
void SetupApplicationStyle();
}

void SetRegularFont(QWidget* widget, const int& pointSize);
void SetSemiboldFont(QWidget* widget, const int& pointSize);
void SetBoldFont(QWidget* widget, const int& pointSize);
