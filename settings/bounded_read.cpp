#include "settings/bounded_read.h"

#include "settings/report_text.h"

#include <QFile>

#include <algorithm>
#include <istream>

#ifdef _WIN32
#include <QFileInfo>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

template <typename ReadChunk>
FileReadResult ReadBounded(std::size_t limit, ReadChunk readChunk)
{
    FileReadResult result;
    char buffer[65536];
    for (;;) {
        // One byte past the limit is enough to know the input is too large.
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - result.bytes.size());
        const long long got = readChunk(buffer, wanted);
        if (got < 0) {
            result.status = FileReadStatus::Failed;
            result.bytes.clear();
            return result;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(got));
        if (result.bytes.size() > limit) {
            result.status = FileReadStatus::TooLarge;
            result.bytes.clear();
            result.error = "larger than "
                + (limit % (1024 * 1024) == 0 ? std::to_string(limit / (1024 * 1024)) + " MiB"
                                              : std::to_string(limit) + " bytes")
                + ", the limit for a settings file";
            return result;
        }
        if (got == 0) {
            result.status = FileReadStatus::Read;
            return result;
        }
    }
}

FileReadResult Refusal(FileReadStatus status, std::string error)
{
    FileReadResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

} // namespace

#ifdef _WIN32

FileReadResult ReadFileBounded(const NativePath& path, FileKinds kinds, std::size_t limit)
{
    QFile file(QString::fromStdWString(path));
    // No pipe or device has a name that the file system lists as a file.
    if (kinds == FileKinds::RegularOnly && QFileInfo(file).exists() && !QFileInfo(file).isFile()
        && !QFileInfo(file).isDir()) {
        return Refusal(FileReadStatus::NotRegular, "not a regular file");
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return Refusal(FileReadStatus::Failed, file.errorString().toStdString());
    }
    std::string error;
    FileReadResult result = ReadBounded(limit, [&](char* buffer, std::size_t size) -> long long {
        const qint64 got = file.read(buffer, static_cast<qint64>(size));
        if (got < 0) {
            error = file.errorString().toStdString();
        }
        return got;
    });
    if (result.status == FileReadStatus::Failed) {
        result.error = error;
    }
    return result;
}

NativePath NativePathOf(const QString& path)
{
    return path.toStdWString();
}

QString PathText(const NativePath& path)
{
    return QString::fromStdWString(path);
}

QString ShownFileName(const NativePath& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return VisibleText(QString::fromStdWString(slash == NativePath::npos ? path : path.substr(slash + 1)));
}

#else

FileReadResult ReadFileBounded(const NativePath& path, FileKinds kinds, std::size_t limit)
{
    // Opening a pipe waits for a writer unless it is opened without blocking; what
    // was opened is then looked at, so nothing can be swapped in between.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (kinds == FileKinds::RegularOnly ? O_NONBLOCK : 0);
    int descriptor = -1;
    do {
        descriptor = open(path.c_str(), flags);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return Refusal(FileReadStatus::Failed, std::strerror(errno));
    }
    struct stat status {};
    if (kinds == FileKinds::RegularOnly) {
        if (fstat(descriptor, &status) != 0) {
            const int error = errno;
            close(descriptor);
            return Refusal(FileReadStatus::Failed, std::strerror(error));
        }
        if (S_ISDIR(status.st_mode)) {
            close(descriptor);
            return Refusal(FileReadStatus::Failed, std::strerror(EISDIR));
        }
        if (!S_ISREG(status.st_mode)) {
            close(descriptor);
            return Refusal(FileReadStatus::NotRegular, "not a regular file");
        }
        fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    }
    int error = 0;
    FileReadResult result = ReadBounded(limit, [&](char* buffer, std::size_t size) -> long long {
        ssize_t got = -1;
        do {
            got = read(descriptor, buffer, size);
        } while (got < 0 && errno == EINTR);
        error = got < 0 ? errno : 0;
        return got;
    });
    close(descriptor);
    if (result.status == FileReadStatus::Failed) {
        result.error = std::strerror(error);
    }
    return result;
}

NativePath NativePathOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString PathText(const NativePath& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString ShownFileName(const NativePath& path)
{
    const std::size_t slash = path.rfind('/');
    return QString::fromStdString(VisibleText(slash == NativePath::npos ? path : path.substr(slash + 1)));
}

#endif

FileReadResult ReadStreamBounded(std::istream& in, std::size_t limit)
{
    FileReadResult result = ReadBounded(limit, [&](char* buffer, std::size_t size) -> long long {
        in.read(buffer, static_cast<std::streamsize>(size));
        return in.bad() ? -1 : static_cast<long long>(in.gcount());
    });
    if (result.status == FileReadStatus::Failed) {
        result.error = "read error";
    }
    return result;
}
