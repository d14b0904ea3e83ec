// The minimal Qt Widgets program the start-up figures are compared with: a dialog
// of the language selector's size with a combo box and two buttons; its Select
// button opens a second window of the main window's size with an empty
// three-column table. Nothing else: no fonts, style sheets, translations or
// settings.
//
// Built twice more, to split the gap between it and the program into parts:
//   SIH_BASELINE_LIBRARIES  also links and starts the libraries the program must
//                           load (OpenSSL, POCO Net, spdlog), with the program's own
//                           start-up objects;
//   SIH_BASELINE_FONTS      also registers the bundle's three fonts and gives the
//                           widgets the program's fonts.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QTableWidget>

#ifdef SIH_BASELINE_LIBRARIES
#include <spdlog/spdlog.h>
#endif
#ifdef SIH_BASELINE_FONTS
#include "ui/fonts.h"
#endif

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
#ifdef SIH_BASELINE_LIBRARIES
    spdlog::debug("baseline start-up");
#endif
#ifdef SIH_BASELINE_FONTS
    FontUtil::Setup();
#endif

    QDialog dialog;
    dialog.setFixedSize(331, 235);
    auto* languages = new QComboBox(&dialog);
    languages->setGeometry(30, 100, 291, 30);
    languages->addItems({QStringLiteral("English - United States"), QStringLiteral("Português - Brasil"),
                         QStringLiteral("Español - España"), QStringLiteral("Deutsch - Deutschland"),
                         QStringLiteral("Français - France"), QStringLiteral("Italiano - Italia")});
    auto* select = new QPushButton(QStringLiteral("Select"), &dialog);
    select->setObjectName(QStringLiteral("btnSelect"));
    select->setGeometry(20, 189, 141, 32);
    auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
    close->setGeometry(170, 189, 141, 32);
#ifdef SIH_BASELINE_FONTS
    for (QWidget* widget : std::initializer_list<QWidget*>{languages, select, close}) {
        SetRegularFont(widget, RegularFontSize);
    }
#endif

    QMainWindow* second = nullptr;
    QObject::connect(select, &QPushButton::clicked, &dialog, [&dialog, &second] {
        second = new QMainWindow;
        second->setFixedSize(860, 492);
        auto* table = new QTableWidget(0, 3, second);
#ifdef SIH_BASELINE_FONTS
        SetRegularFont(table, RegularFontSize);
#endif
        second->setCentralWidget(table);
        dialog.hide();
        second->show();
    });
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::close);

    dialog.show();
    const int result = QApplication::exec();
    delete second;
    return result;
}
