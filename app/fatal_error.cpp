#include "fatal_error.h"

#include <spdlog/spdlog.h>

#include <cstdio>

void ReportFatalError(const std::exception& error)
{
    std::fprintf(stderr, "%s\n", error.what());
    std::fflush(stderr);
    spdlog::error("{}", error.what());
}
