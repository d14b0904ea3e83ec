#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes of the command-line tool.
namespace CheckExit {
inline constexpr int Valid = 0;
inline constexpr int Problems = 1;
inline constexpr int UsageOrIo = 2;
} // namespace CheckExit

// Runs the command-line tool on its arguments (without the program name), their
// bytes as the system passed them, which need not be UTF-8: compose refuses such
// text rather than write something else. Standard input is read from `in`
// ("validate -"), results go to `out`, messages to `err`. Returns the exit code.
int RunCheckTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err);
