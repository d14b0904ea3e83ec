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
    // NoReader: the path is a pipe that no program reads from; nothing was written.
    enum class Outcome { Written, NotOpened, NotWritten, NoReader };
    Outcome outcome = Outcome::Written;
    // The operating system's reason for a failure, such as "No space left on device".
    std::string reason;
};

// Writes `bytes` as the whole content of the file that `path` names, following
// symbolic links to their final target (the links stay).
// - An existing regular file with a single link, whose owner, group, mode and
//   extended attributes the writer can give a new file, is replaced by renaming a
//   completed copy over it: any failure leaves it as it was. The copy is a hidden
//   file of a short, fixed-length name next to it; a later write to the same
//   target removes the writer's own copies that a killed write left behind.
// - Anything else that exists (a device, a pipe, a file with more links or an
//   owner the writer cannot keep) is written in place, as is a file in a folder
//   that refuses new files (permissions, a read-only mount). A regular file is then
//   given the space first, so that a full disk leaves it unchanged. Any other
//   failure to make the copy (a full disk, no inode left) fails the write.
// - A pipe without a reader fails at once; nothing ever waits for one, and a
//   reader that takes nothing for a few seconds fails the write.
// - A new file appears only once complete. Nothing but the file that was opened is
//   ever renamed over, and nothing but what the write created is ever removed.
FileWriteResult WriteWholeFile(const NativePath& path, const std::string& bytes);
