#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

namespace Ui {
class FileProblemsDialog;
}

// One line of the notice: a member of the file and what happened to it.
struct FileProblemRow {
    QString name;
    QString value;
    QString problem; // in the user's language where a text exists
    QString detail;  // further explanation for the tool tip; may be empty
};

// The notice after opening a settings file: what was left out or changed, or why
// nothing was loaded. Like the export notice it is modal and shows itself without a
// nested event loop; it belongs to its parent and is deleted when closed.
class FileProblemsDialog : public QDialog {
    Q_OBJECT

public:
    // Without rows the table is left out and the dialog is as short as the
    // other notices.
    FileProblemsDialog(QWidget* parent, const QString& title, const QString& info,
                       const std::vector<FileProblemRow>& rows);
    ~FileProblemsDialog() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyStyle();

    std::unique_ptr<Ui::FileProblemsDialog> ui;
};
