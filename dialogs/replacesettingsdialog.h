#pragma once

#include "dialogs/window_utils.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ReplaceSettingsDialog;
}

// Asks before an opened file replaces settings the user has changed. Accepted on
// confirmation, rejected on Cancel, Escape or the close button.
class ReplaceSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit ReplaceSettingsDialog(QWidget* parent);
    ~ReplaceSettingsDialog() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    ConfirmationForm Form() const;
    void ApplyStyle();

    std::unique_ptr<Ui::ReplaceSettingsDialog> ui;
};
