#pragma once

#include <QRect>
#include <QStringList>

#include <initializer_list>

class QLineEdit;
class QObject;
class QTextEdit;
class QWidget;

// Where the editor puts its validation message and how far it grows for it.
struct ValidationMessageLayout {
    QWidget* window = nullptr;
    int windowHeight = 0;
    int buttonTop = 0;
    QRect messageGeometry;
    QWidget* secondaryButton = nullptr;
    QWidget* primaryButton = nullptr;
    QTextEdit* messageArea = nullptr;
};

// Installs a new case-insensitive completer over the list on the line edit,
// owned by parent.
void SetupCompleter(const QStringList& items, QLineEdit* lineEdit, QObject* parent);

// The editor's message area, hidden: read-only red text without frame or focus,
// set up once so that showing a message only lays out its text.
QTextEdit* CreateValidationMessageArea(QWidget* parent);

// Shows the message in red, grows the window and moves the buttons down by the
// text's extra height, and disables the primary button.
void ShowValidationMessage(const ValidationMessageLayout& layout, const QString& message);

// Fixes the window at its width and `windowHeight` plus `growth`, the growth cut
// so that the window stays on its screen, and moves the buttons to `buttonTop`
// plus the growth used, which it returns.
int GrowFixedWindow(QWidget* window, const int& windowHeight, const int& growth,
                    const std::initializer_list<QWidget*>& buttons, const int& buttonTop);

// Hides the message, restores the window height and button positions, and
// enables the primary button.
void ResizeWindowAfterValidateFields(QWidget* window, QWidget* primaryButton, QWidget* secondaryButton,
                                     QTextEdit* messageArea, const int& windowHeight, const int& buttonTop);
