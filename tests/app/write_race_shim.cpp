// Preloaded into the check tool to play an unlucky or hostile world at exact moments
// of a write:
// SIH_TEST_SWAP=<file>: right after the tool opens an existing settings.json for
//   writing, the file is moved aside to "moved-away" and a symbolic link to <file>
//   takes its name, as its owner could do in a shared folder.
// SIH_TEST_KILL=1: the tool dies (SIGKILL) when it first syncs a file, leaving its
//   unfinished copy behind.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void SwapAfterOpen(const int folder, const char* path, const int flags)
{
    static bool done = false;
    const char* victim = std::getenv("SIH_TEST_SWAP");
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    if (done || victim == nullptr || std::strcmp(name, "settings.json") != 0 || (flags & O_ACCMODE) != O_WRONLY
        || (flags & O_CREAT) != 0) {
        return;
    }
    done = true;
    const std::string aside = std::string(path, static_cast<std::size_t>(name - path)) + "moved-away";
    if (renameat(folder, path, folder, aside.c_str()) != 0 || symlinkat(victim, folder, path) != 0) {
        std::abort();
    }
}

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    const int fd = Next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
    if (fd >= 0) {
        SwapAfterOpen(AT_FDCWD, path, flags);
    }
    return fd;
}

int openat(int folder, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    const int fd = Next<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
    if (fd >= 0) {
        SwapAfterOpen(folder, path, flags);
    }
    return fd;
}

int fsync(int fd)
{
    if (std::getenv("SIH_TEST_KILL") != nullptr) {
        raise(SIGKILL);
    }
    return Next<int (*)(int)>("fsync")(fd);
}

} // extern "C"
