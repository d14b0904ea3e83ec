#pragma once

// Bounded reading: a settings file or standard input read up to the size limit, so
// that endless devices and huge files end at once.

#include "settings/file_write.h"

#include <QString>

#include <cstddef>
#include <iosfwd>
#include <string>

// Largest settings file read at all; reading stops there.
constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

enum class FileReadStatus {
    Read,       // `bytes` holds the whole file
    TooLarge,   // the file has more than the limit; reading stopped there
    NotRegular, // a pipe, socket or device where only a regular file is read
    Failed,     // it could not be opened or read; `error` says why
};

struct FileReadResult {
    FileReadStatus status = FileReadStatus::Failed;
    std::string bytes;
    std::string error; // English; for TooLarge too
};

// Which files a reader takes.
enum class FileKinds {
    // Only a regular file, for the window: a pipe, socket or device is refused at
    // once, without waiting for a writer or reading a byte.
    RegularOnly,
    // Anything that can be read, for the command-line tool: a pipe argument
    // (validate <(...)) is waited for and read, as a command-line tool does.
    Any,
};

// Reads at most `limit` bytes (and one more to notice a larger file) of the file
// the path names, exactly as given: a name that is not UTF-8 is read all the same.
FileReadResult ReadFileBounded(const NativePath& path, FileKinds kinds, std::size_t limit = kMaxSettingsFileBytes);
FileReadResult ReadStreamBounded(std::istream& in, std::size_t limit = kMaxSettingsFileBytes);

// A path the toolkit gives (file dialogs) in the platform's form, and back (for
// the toolkit's dialogs: a byte that is not UTF-8 does not come back).
NativePath NativePathOf(const QString& path);
QString PathText(const NativePath& path);

// The last part of a path, shown with VisibleText (settings/report_text.h).
QString ShownFileName(const NativePath& path);
