#pragma once

// Writing a whole file without harming what the path already names. Free of Qt,
// so that each platform's implementation builds on its own.

#include <string>

#ifdef _WIN32
using NativePath = std::wstring;
#else
// Bytes as the file system takes them.
using NativePath = std::string;
#endif

struct FileWriteResult {
    enum class Outcome { Written, NotOpened, NotWritten };
    Outcome outcome = Outcome::Written;
    // The operating system's reason for a failure, such as "No space left on device".
    std::string reason;
};

// Writes `bytes` as the whole content of the file that `path` names, following
// symbolic links to their final target.
// - An existing regular file with a single link, whose owner, group and mode the
//   writer can give a new file, is replaced by renaming a completed copy over it:
//   any failure leaves it as it was.
// - Anything else that exists (a device, a pipe, a file with more links or an
//   owner the writer cannot keep) is written in place, as is a file in a folder
//   where no copy can be created. Nothing but a regular file is ever renamed over.
// - A new file appears only once complete.
FileWriteResult WriteWholeFile(const NativePath& path, const std::string& bytes);
