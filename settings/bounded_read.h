#pragma once

// Bounded reading: a settings file or standard input read up to the size limit, so
// that endless devices and huge files end at once.

#include <QString>

#include <cstddef>
#include <iosfwd>
#include <string>

// Largest settings file read at all; reading stops there.
constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

enum class FileReadStatus {
    Read,     // `bytes` holds the whole file
    TooLarge, // the file has more than the limit; reading stopped there
    Failed,   // it could not be opened or read; `error` says why
};

struct FileReadResult {
    FileReadStatus status = FileReadStatus::Failed;
    std::string bytes;
    std::string error; // English; for TooLarge too
};

// Reads at most `limit` bytes (and one more to notice a larger file).
FileReadResult ReadFileBounded(const QString& path, std::size_t limit = kMaxSettingsFileBytes);
FileReadResult ReadStreamBounded(std::istream& in, std::size_t limit = kMaxSettingsFileBytes);
