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
    QString problem; // what is wrong and what to do, in the user's language
};

// The notice after opening a settings file: what was left out or changed, or why
// nothing was loaded. Like the export notice it is modal and shows itself without a
// nested event loop; it belongs to its parent and is deleted when closed. Unlike
// the other notices it can be resized: a file may have many problems. The table is
// one stop of Tab, and the row it is on is selected while it has the focus.
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyStyle();
    void FillTable(const std::vector<FileProblemRow>& rows);
    void FitColumns();

    std::unique_ptr<Ui::FileProblemsDialog> ui;
    // What the name and value columns' texts need, measured once.
    int nameWidth = 0;
    int valueWidth = 0;
};
