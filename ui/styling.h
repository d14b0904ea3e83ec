#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

// Loads the current theme's style file from the bundle and sets it on the widget,
// replacing any sheet it had.
void SetWidgetStyle(QWidget* widget, const QString& fileName);

// The style file of the widget kind plus rules in the desktop's accent colours.
void SetPrimaryButtonStyle(QPushButton* button);
void SetLineEditStyle(QLineEdit* lineEdit);
void SetTableWidgetStyle(QTableWidget* table);

// Frameless, shadowless, translucent drop-down list, so that the rounded list style shows.
void SetComboBoxPopupStyle(QComboBox* comboBox);

// Puts a themed icon (or, with global, a theme-independent one) on a push button,
// tool button or label, at size x size pixels.
void SetWidgetIcon(QWidget* widget, const QString& fileName, const int& size, const bool& global);

// Resource path of a style file or image for the current theme.
QString ThemedStylePath(const QString& fileName);
QString ThemedImagePath(const QString& fileName);
