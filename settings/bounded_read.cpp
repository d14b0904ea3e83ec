#include "settings/bounded_read.h"

#include <QFile>

#include <algorithm>
#include <istream>

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
            result.error = "larger than " + (limit % (1024 * 1024) == 0 ? std::to_string(limit / (1024 * 1024)) + " MiB"
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

} // namespace

FileReadResult ReadFileBounded(const QString& path, std::size_t limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FileReadResult result;
        result.error = file.errorString().toStdString();
        return result;
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
