#include "settings/file_write.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Outcome = FileWriteResult::Outcome;

FileWriteResult Failure(const Outcome outcome, const int error)
{
    return {outcome, std::strerror(error)};
}

class Descriptor {
public:
    explicit Descriptor(const int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

    // Closes now, so that a late write error (NFS, quotas) is seen; 0 or an errno.
    int Close()
    {
        const int result = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Writes everything, or returns the reason it stopped; a write that makes no
// progress means the disk is full.
int WriteAll(const int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return ENOSPC;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

FileWriteResult WriteAndClose(Descriptor& file, const std::string& bytes)
{
    int error = WriteAll(file.Get(), bytes);
    const int closeError = file.Close();
    if (error == 0) {
        error = closeError;
    }
    return error == 0 ? FileWriteResult{} : Failure(Outcome::NotWritten, error);
}

// A new, hidden file next to `target`; -1 with errno when none can be created.
int CreateSibling(const std::string& target, const mode_t mode, std::string& name)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string prefix = target.substr(0, start) + "." + target.substr(start) + ".";
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long seed = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005UL + 1442695040888963407UL;
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06lx", (seed >> 40) & 0xffffffUL);
        name = prefix + suffix;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Gives the copy the target's owner, group and mode, special bits included, as
// far as the writer may; false when any of it would be lost.
bool TakeOwnerAndMode(const int copy, const struct stat& target)
{
    struct stat own {};
    if (fstat(copy, &own) != 0) {
        return false;
    }
    if ((own.st_uid != target.st_uid || own.st_gid != target.st_gid)
        && fchown(copy, target.st_uid, target.st_gid) != 0) {
        return false;
    }
    // Without privilege the set-gid bit is dropped silently, hence the check.
    const mode_t mode = target.st_mode & 07777;
    return fchmod(copy, mode) == 0 && fstat(copy, &own) == 0 && (own.st_mode & 07777) == mode;
}

// Writes the copy and renames it over `target`; the copy is gone afterwards.
FileWriteResult CompleteCopy(Descriptor& copy, const std::string& name, const std::string& bytes,
                             const std::string& target)
{
    int error = WriteAll(copy.Get(), bytes);
    if (error == 0 && fsync(copy.Get()) != 0) {
        error = errno;
    }
    const int closeError = copy.Close();
    if (error == 0) {
        error = closeError;
    }
    if (error == 0 && std::rename(name.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(name.c_str());
        return Failure(Outcome::NotWritten, error);
    }
    return {};
}

FileWriteResult CreateNewFile(const std::string& path, const std::string& bytes)
{
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        // Nothing there yet: the file appears under its name only once complete.
        std::string name;
        Descriptor copy(CreateSibling(path, 0666, name));
        if (copy.Valid()) {
            return CompleteCopy(copy, name, bytes, path);
        }
    }
    // A dangling symbolic link creates its target; a folder that allows no hidden
    // copy still gets its say through the file's own creation.
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    if (!file.Valid()) {
        return Failure(Outcome::NotOpened, errno);
    }
    FileWriteResult result = WriteAndClose(file, bytes);
    if (result.outcome != Outcome::Written) {
        ::unlink(path.c_str());
    }
    return result;
}

} // namespace

FileWriteResult WriteWholeFile(const NativePath& path, const std::string& bytes)
{
    if (path.empty()) {
        return Failure(Outcome::NotOpened, ENOENT);
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        return errno == ENOENT ? CreateNewFile(path, bytes) : Failure(Outcome::NotOpened, errno);
    }
    if (S_ISDIR(target.st_mode)) {
        return Failure(Outcome::NotOpened, EISDIR);
    }
    // Opened without truncating: the writer must be allowed to write the file itself,
    // however it is then replaced. A pipe waits here for its reader.
    Descriptor existing(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!existing.Valid() || fstat(existing.Get(), &target) != 0) {
        return Failure(Outcome::NotOpened, errno);
    }
    if (S_ISREG(target.st_mode) && target.st_nlink == 1) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            const std::string finalPath(resolved);
            std::free(resolved);
            std::string name;
            Descriptor copy(CreateSibling(finalPath, 0600, name));
            if (copy.Valid()) {
                if (TakeOwnerAndMode(copy.Get(), target)) {
                    return CompleteCopy(copy, name, bytes, finalPath);
                }
                copy.Close();
                ::unlink(name.c_str());
            }
        }
    }
    // In place: the file keeps its links, owner and mode; a regular file loses its
    // earlier content if the write then fails.
    if (S_ISREG(target.st_mode) && ftruncate(existing.Get(), 0) != 0) {
        return Failure(Outcome::NotWritten, errno);
    }
    return WriteAndClose(existing, bytes);
}
