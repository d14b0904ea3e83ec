#include "app/fatal_error.h"

#include <spdlog/spdlog.h>

#include <cstdio>

#ifdef _WIN32
#include <QMessageBox>
#include <QString>
#endif

void ReportFatalError(const std::exception& error)
{
    std::fprintf(stderr, "%s\n", error.what());
    std::fflush(stderr);
    spdlog::error("{}", error.what());
#ifdef _WIN32
    // A GUI-subsystem program has no console: standard error is seen by no one.
    // The title is not translated, since the failure may be the translations'.
    QMessageBox::critical(nullptr, QStringLiteral("Orvane Print Agent - Silent Install Helper"),
                          QString::fromUtf8(error.what()));
#endif
}
