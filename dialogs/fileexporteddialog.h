#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class FileExportedDialog;
}

// Modal notice that ends an export; shows itself without a nested event loop.
class FileExportedDialog : public QDialog {
    Q_OBJECT

public:
    FileExportedDialog(const QString& message, QWidget* parent);
    ~FileExportedDialog() override;

    // Theme-independent image shown beside the message.
    void SetIcon(const QString& fileName);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ShowWholeMessage();
    void ApplyStyle();

    std::unique_ptr<Ui::FileExportedDialog> ui;
};
