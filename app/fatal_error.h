#pragma once

#include <exception>

// Writes a start-up failure to standard error and to the log; on Windows, where
// nothing shows standard error, also in a message box.
void ReportFatalError(const std::exception& error);
