#pragma once

#include <QRect>
#include <QStringList>

#include <initializer_list>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class QString;
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

// A tool tip that shows the text exactly as it is: a tool tip takes text that looks
// like markup (Qt::mightBeRichText) for rich text, so that a file name or value
// such as <img src=...> would load and show what it names. The text goes escaped
// into rich text of its own that keeps its blanks. Empty for an empty text.
QString PlainToolTip(const QString& text);

// A name or value from a file or the user as a cell or tool tip shows it: its
// first `length` characters, each made visible by VisibleText
// (settings/report_text.h), and an ellipsis where it was cut. A value may hold
// 16 MiB; the whole of it stays in the document and in the editor.
QString ShownText(const QString& text, qsizetype length);
QString ShownText(std::string_view utf8, qsizetype length);

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

// The form the questions (remove, unexported changes) share: a bold title, an
// explanation, the primary answer and Cancel on a framed background, and where
// the question has one, a third answer between them that looks like Cancel.
struct ConfirmationForm {
    QWidget* background = nullptr;
    QWidget* container = nullptr;
    QLabel* title = nullptr;
    QLabel* info = nullptr;
    QPushButton* confirm = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* other = nullptr;
};

// Sets the window title, the fonts and the texts in the loaded language (the
// other answer's key is ignored without that button), and puts the focus on the
// title, so that no button shows focus and Enter gives the primary answer.
void SetupConfirmationForm(QWidget* window, const ConfirmationForm& form, const QString& titleKey,
                           const QString& infoKey, const QString& confirmKey, const QString& otherKey = {});

// The form's style sheets for the current theme.
void StyleConfirmationForm(const ConfirmationForm& form);

// The text of `key` in the loaded language, {1}, {2}, ... replaced by the arguments
// in one pass: an argument is never taken for a key (as the catalogue's own
// arguments are) nor for a placeholder.
QString TranslatedText(const QString& key, const QStringList& arguments = {});
