#pragma once

#include <exception>

// Writes a start-up failure to standard error and to the log.
void ReportFatalError(const std::exception& error);
