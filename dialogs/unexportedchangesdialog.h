#pragma once

#include "dialogs/window_utils.h"

#include <QDialog>

#include <memory>

namespace Ui {
class UnexportedChangesDialog;
}

// Asks before changes that were not exported are lost, to a close of the window,
// the end of the session or a file opened in their place. exec() returns the answer.
class UnexportedChangesDialog : public QDialog {
    Q_OBJECT

public:
    enum Answer {
        // Cancel, Escape or the close button: everything stays as it is.
        KeepChanges = QDialog::Rejected,
        ExportFirst = QDialog::Accepted,
        WithoutExport,
    };

    explicit UnexportedChangesDialog(QWidget* parent);
    ~UnexportedChangesDialog() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    ConfirmationForm Form() const;
    void ApplyStyle();

    std::unique_ptr<Ui::UnexportedChangesDialog> ui;
};
