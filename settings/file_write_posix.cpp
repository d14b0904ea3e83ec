#include "settings/file_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace {

using Outcome = FileWriteResult::Outcome;

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int MaxLinkHops = 40;
// A pipe or device that takes nothing for this long fails the write.
constexpr int StallMilliseconds = 5000;
// A hidden copy untouched for this long belongs to a write that died.
constexpr std::time_t StaleCopySeconds = 60 * 60;
// ".silent-install-helper-<8 hex of the target's name>-<6 hex>": short whatever the
// target's name, and recognisable as this program's.
constexpr char CopyPrefix[] = ".silent-install-helper-";
constexpr std::size_t CopyNameLength = sizeof CopyPrefix - 1 + 8 + 1 + 6;

#ifdef O_PATH
constexpr int FolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC; // no read permission needed
#else
constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

FileWriteResult Failure(const Outcome outcome, const int error, const char* consequence = "")
{
    return {outcome, std::strerror(error) + std::string(consequence)};
}

class Descriptor {
public:
    explicit Descriptor(const int fd = -1)
        : fd_(fd)
    {
    }
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(const int fd = -1)
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

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

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A folder that takes no new file because of permissions or a read-only mount;
// any other reason to fail (a full disk, no inode left) fails the write.
bool FolderRefuses(const int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// The path's final entry after following every symbolic link by hand: the folder
// that holds it (opened once; all later work is relative to it), its name there,
// and the entry itself opened for writing, never through a link.
struct Target {
    Descriptor folder;
    std::string name;
    Descriptor file;
};

int ReadLink(const int folder, const std::string& name, std::string& text)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            text.assign(buffer.data(), static_cast<std::size_t>(length));
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// 0 with `target.file` open, or the reason it is not; ENOENT with a valid folder
// means only the final entry is missing.
int Resolve(std::string text, Target& target)
{
    for (int hops = 0;;) {
        if (text.empty()) {
            return ENOENT;
        }
        if (text.back() == '/') {
            return EISDIR;
        }
        const std::size_t slash = text.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
        target.name = slash == std::string::npos ? text : text.substr(slash + 1);
        // A relative link continues from the folder that holds it.
        const int base = target.folder.Valid() ? target.folder.Get() : AT_FDCWD;
        const int opened = openat(base, folder.c_str(), FolderFlags);
        if (opened < 0) {
            const int error = errno;
            target.folder.Reset();
            return error;
        }
        target.folder.Reset(opened);
        // Non-blocking: a pipe without a reader fails at once instead of waiting.
        target.file.Reset(
            openat(opened, target.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (target.file.Valid()) {
            return 0;
        }
        const int error = errno;
        if (error != ELOOP && error != EMLINK) {
            return error;
        }
        if (ReadLink(opened, target.name, text) != 0) {
            return error;
        }
        if (++hops > MaxLinkHops) {
            return ELOOP;
        }
    }
}

// The start of the names of the copies for a write to `name`.
std::string CopyNamePrefix(const std::string& name)
{
    std::uint32_t hash = 2166136261U; // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash));
    return CopyPrefix + std::string(hex) + "-";
}

// A new hidden file in `folder` for a write to `name`; -1 with errno when none can
// be created.
int CreateCopy(const int folder, const std::string& name, const mode_t mode, std::string& copyName)
{
    const std::string prefix = CopyNamePrefix(name);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long seed = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005UL + 1442695040888963407UL;
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%06lx", (seed >> 40) & 0xffffffUL);
        copyName = prefix + suffix;
        const int fd = openat(folder, copyName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Removes this user's copies for `name` that a killed write left behind: regular
// files of the copies' name pattern, owned by this user, untouched for an hour (a
// running write touches its copy all the time). Needs read permission on the folder.
void RemoveStaleCopies(const int folder, const std::string& name)
{
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? fdopendir(listing) : nullptr;
    if (entries == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    const std::string prefix = CopyNamePrefix(name);
    std::vector<std::string> stale;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(entries)) {
        const std::string entryName = entry->d_name;
        struct stat info {};
        if (entryName.size() == CopyNameLength && entryName.compare(0, prefix.size(), prefix) == 0
            && fstatat(folder, entryName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
            && info.st_uid == geteuid() && info.st_nlink == 1 && now - info.st_mtime > StaleCopySeconds) {
            stale.push_back(entryName);
        }
    }
    closedir(entries);
    for (const std::string& entryName : stale) {
        unlinkat(folder, entryName.c_str(), 0);
    }
}

#ifdef __linux__
// Names of a file's extended attributes; false when they cannot be read.
bool AttributeNames(const int fd, std::vector<std::string>& names)
{
    names.clear();
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0) {
        return errno == ENOTSUP;
    }
    std::vector<char> list(static_cast<std::size_t>(size));
    const ssize_t got = flistxattr(fd, list.data(), list.size());
    if (got < 0) {
        return false;
    }
    for (std::size_t at = 0; at < static_cast<std::size_t>(got); at += names.back().size() + 1) {
        names.emplace_back(list.data() + at);
    }
    return true;
}

bool AttributeValue(const int fd, const std::string& name, std::string& value)
{
    const ssize_t size = fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) {
        return false;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = fgetxattr(fd, name.c_str(), value.data(), value.size());
    value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return got >= 0;
}
#endif

// Gives the copy exactly the extended attributes of the target (its access ACL
// among them), removing any the folder handed the copy (a default ACL); false when
// any of it cannot be done, and the target is then written in place instead.
bool TakeAttributes(const int copy, const int target)
{
#ifdef __linux__
    std::vector<std::string> wanted;
    std::vector<std::string> present;
    if (!AttributeNames(target, wanted) || !AttributeNames(copy, present)) {
        return false;
    }
    std::string value;
    std::string current;
    for (const std::string& name : present) {
        if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() && fremovexattr(copy, name.c_str()) != 0) {
            return false;
        }
    }
    for (const std::string& name : wanted) {
        if (!AttributeValue(target, name, value)) {
            return false;
        }
        // A security label the copy already carries is left alone: setting it needs privilege.
        if (AttributeValue(copy, name, current) && current == value) {
            continue;
        }
        if (fsetxattr(copy, name.c_str(), value.data(), value.size(), 0) != 0) {
            return false;
        }
    }
#else
    (void)copy;
    (void)target;
#endif
    return true;
}

// Gives the copy the target's owner, group, mode (special bits included) and
// extended attributes, as far as the writer may; false when any of it would be lost.
bool TakeOwnerAndMode(const int copy, const int target, const struct stat& targetInfo)
{
    struct stat own {};
    if (fstat(copy, &own) != 0) {
        return false;
    }
    if ((own.st_uid != targetInfo.st_uid || own.st_gid != targetInfo.st_gid)
        && fchown(copy, targetInfo.st_uid, targetInfo.st_gid) != 0) {
        return false;
    }
    // Without privilege the set-gid bit is dropped silently, hence the check; the
    // attributes come last, as a change of owner clears some of them.
    const mode_t mode = targetInfo.st_mode & 07777;
    return fchmod(copy, mode) == 0 && TakeAttributes(copy, target) && fstat(copy, &own) == 0
        && (own.st_mode & 07777) == mode && own.st_uid == targetInfo.st_uid && own.st_gid == targetInfo.st_gid;
}

// Keeps a pipe whose reader has gone from killing the process with SIGPIPE: the
// signal is held back in this thread and dropped, and the write sees EPIPE.
class NoSigpipe {
public:
    NoSigpipe()
    {
        sigemptyset(&pipeSignal_);
        sigaddset(&pipeSignal_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal_, &previous_);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~NoSigpipe()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            int signal = 0;
            sigwait(&pipeSignal_, &signal);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    NoSigpipe(const NoSigpipe&) = delete;
    NoSigpipe& operator=(const NoSigpipe&) = delete;

private:
    sigset_t pipeSignal_{};
    sigset_t previous_{};
    bool pendingBefore_ = false;
};

// Writes everything to a pipe or device opened non-blocking, waiting for room
// between writes; a reader that takes nothing for a while fails it.
FileWriteResult WriteToStream(Descriptor& stream, const std::string& bytes)
{
    const NoSigpipe guard;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(stream.Get(), bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return Failure(Outcome::NotWritten, errno);
        }
        pollfd room{stream.Get(), POLLOUT, 0};
        const int ready = poll(&room, 1, StallMilliseconds);
        if (ready == 0) {
            return {Outcome::NotWritten,
                    "Nothing was read from it for " + std::to_string(StallMilliseconds / 1000) + " seconds"};
        }
        if (ready < 0 && errno != EINTR) {
            return Failure(Outcome::NotWritten, errno);
        }
    }
    const int error = stream.Close();
    return error == 0 ? FileWriteResult{} : Failure(Outcome::NotWritten, error);
}

// Writes a regular file from its start, cuts it to the new length, syncs it.
int WriteRegular(const int fd, const std::string& bytes, bool& changed)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written == 0 ? ENOSPC : errno;
        }
        changed = true;
        done += static_cast<std::size_t>(written);
    }
    if (ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || fsync(fd) != 0) {
        return errno;
    }
    return 0;
}

// The same, then closes it; 0 or the first reason it failed, and whether its
// content had changed by then.
int WriteRegularAndClose(Descriptor& file, const std::string& bytes, bool& changed)
{
    changed = false;
    int error = WriteRegular(file.Get(), bytes, changed);
    const int closeError = file.Close();
    if (error == 0) {
        error = closeError;
    }
    return error;
}

// In place, for a file that must stay the same file: the space is reserved first,
// so that a full disk fails the write before a byte of the file has changed.
FileWriteResult WriteInPlace(Descriptor& file, const std::string& bytes)
{
    const int flags = fcntl(file.Get(), F_GETFL);
    if (flags < 0 || fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Failure(Outcome::NotWritten, errno);
    }
#ifdef __linux__
    // Beyond the current end the size stays as it is, so a failure shows nothing.
    if (!bytes.empty() && fallocate(file.Get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS) {
        return Failure(Outcome::NotWritten, errno);
    }
#endif
    bool changed = false;
    const int error = WriteRegularAndClose(file, bytes, changed);
    if (error == 0) {
        return {};
    }
    return Failure(Outcome::NotWritten, error, changed ? "; the file was written in place and is now incomplete" : "");
}

// Writes the copy and renames it over `name` in `folder`: only over the file that
// was opened (`replaced`), or, for a new file (`replaced` null), only while the
// name is still free. The copy is gone afterwards.
FileWriteResult CompleteCopy(Descriptor& copy, const std::string& copyName, const std::string& bytes,
                             const Target& target, const struct stat* replaced)
{
    bool changed = false;
    int error = WriteRegularAndClose(copy, bytes, changed);
    const char* reason = nullptr;
    const int folder = target.folder.Get();
    if (error == 0 && replaced != nullptr) {
        // The entry must still be the file that was opened, not a link put there since.
        struct stat now {};
        if (fstatat(folder, target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(now, *replaced)) {
            reason = "The file was replaced by another while it was written";
        } else if (renameat(folder, copyName.c_str(), folder, target.name.c_str()) != 0) {
            error = errno;
        }
    } else if (error == 0) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
        if (renameat2(folder, copyName.c_str(), folder, target.name.c_str(), RENAME_NOREPLACE) != 0) {
            error = errno;
        }
        const bool unsupported = error == EINVAL || error == ENOSYS;
#else
        const bool unsupported = true;
#endif
        if (unsupported) {
            struct stat taken {};
            error = fstatat(folder, target.name.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST
                : renameat(folder, copyName.c_str(), folder, target.name.c_str()) == 0     ? 0
                                                                                           : errno;
        }
    }
    if (error == 0 && reason == nullptr) {
        RemoveStaleCopies(folder, target.name);
        return {};
    }
    unlinkat(folder, copyName.c_str(), 0);
    return reason != nullptr ? FileWriteResult{Outcome::NotWritten, reason} : Failure(Outcome::NotWritten, error);
}

FileWriteResult CreateNewFile(const Target& target, const std::string& bytes)
{
    std::string copyName;
    Descriptor copy(CreateCopy(target.folder.Get(), target.name, 0666, copyName));
    if (copy.Valid()) {
        return CompleteCopy(copy, copyName, bytes, target, nullptr);
    }
    if (!FolderRefuses(errno)) {
        return Failure(Outcome::NotOpened, errno);
    }
    // The folder takes no hidden file: creating the file itself has the final say.
    Descriptor file(openat(target.folder.Get(), target.name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    struct stat created {};
    if (!file.Valid() || fstat(file.Get(), &created) != 0) {
        return Failure(Outcome::NotOpened, errno);
    }
    bool changed = false;
    const int error = WriteRegularAndClose(file, bytes, changed);
    if (error == 0) {
        return {};
    }
    // Only what this write created goes, never what took its name since.
    struct stat now {};
    if (fstatat(target.folder.Get(), target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, created)) {
        unlinkat(target.folder.Get(), target.name.c_str(), 0);
    }
    return Failure(Outcome::NotWritten, error);
}

FileWriteResult ReplaceExisting(Target& target, const std::string& bytes)
{
    struct stat opened {};
    if (fstat(target.file.Get(), &opened) != 0) {
        return Failure(Outcome::NotOpened, errno);
    }
    if (!S_ISREG(opened.st_mode)) {
        return WriteToStream(target.file, bytes);
    }
    if (opened.st_nlink == 1) {
        std::string copyName;
        Descriptor copy(CreateCopy(target.folder.Get(), target.name, 0600, copyName));
        if (!copy.Valid() && !FolderRefuses(errno)) {
            return Failure(Outcome::NotWritten, errno);
        }
        if (copy.Valid()) {
            if (TakeOwnerAndMode(copy.Get(), target.file.Get(), opened)) {
                return CompleteCopy(copy, copyName, bytes, target, &opened);
            }
            copy.Close();
            unlinkat(target.folder.Get(), copyName.c_str(), 0);
        }
    }
    FileWriteResult result = WriteInPlace(target.file, bytes);
    if (result.outcome == Outcome::Written) {
        RemoveStaleCopies(target.folder.Get(), target.name);
    }
    return result;
}

// Whether the file that `path` names (following links) is a pipe.
bool IsPipe(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

} // namespace

FileWriteResult WriteWholeFile(const NativePath& path, const std::string& bytes)
{
    Target target;
    int error = Resolve(path, target);
    if (error == ENOENT && target.folder.Valid()) {
        // A link that names no path (a process's descriptor under /proc) still
        // reaches its pipe or file when the system follows it.
        Descriptor direct(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info {};
        if (direct.Valid() && fstat(direct.Get(), &info) == 0) {
            return S_ISREG(info.st_mode) ? WriteInPlace(direct, bytes) : WriteToStream(direct, bytes);
        }
        if (errno == ENOENT) {
            return CreateNewFile(target, bytes);
        }
        error = errno;
    }
    if (error == ENXIO && IsPipe(path)) {
        return {Outcome::NoReader, std::strerror(error)};
    }
    if (error != 0) {
        return Failure(Outcome::NotOpened, error);
    }
    return ReplaceExisting(target, bytes);
}
