#include "settings/file_write.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

namespace {

using Outcome = FileWriteResult::Outcome;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

FileWriteResult Failure(const Outcome outcome, const DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : L"Error " + std::to_wstring(error);
    LocalFree(buffer);
    // The system's sentences end in a full stop and a line end; the path follows.
    while (!text.empty()
           && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
        text.pop_back();
    }
    return {outcome, Utf8(text)};
}

class Handle {
public:
    explicit Handle(const HANDLE handle)
        : handle_(handle)
    {
    }
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (Valid()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE handle_;
};

// 0 once everything is written, else the reason it stopped.
DWORD WriteAll(const HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1U << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_DISK_FULL;
        }
        done += written;
    }
    return 0;
}

// ".silent-install-helper-<8 hex of the target's name>-<6 hex>": short whatever the
// target's name, and recognisable as this program's. Not hidden: the attribute
// would pass to the file the copy becomes.
constexpr wchar_t CopyPrefix[] = L".silent-install-helper-";
constexpr std::size_t CopyNameLength = sizeof CopyPrefix / sizeof CopyPrefix[0] - 1 + 8 + 1 + 6;
// A copy untouched for this long (in 100 ns units) belongs to a write that died.
constexpr ULONGLONG StaleCopyAge = 60ULL * 60 * 10000000;

// Where the file name of `path` starts.
std::size_t FileNameStart(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

// The folder part of `path` (with its separator) and the start of the names of the
// copies for a write to it.
std::wstring CopyNamePrefix(const std::wstring& path)
{
    std::uint32_t hash = 2166136261U; // FNV-1a of the UTF-8 name
    for (const char c : Utf8(path.substr(FileNameStart(path)))) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    wchar_t hex[9];
    std::swprintf(hex, 9, L"%08x", static_cast<unsigned>(hash));
    return path.substr(0, FileNameStart(path)) + CopyPrefix + hex + L"-";
}

// A new file next to `target`, opened for writing; invalid when none can be created.
HANDLE CreateSibling(const std::wstring& target, std::wstring& name)
{
    const std::wstring prefix = CopyNamePrefix(target);
    ULONGLONG seed = GetTickCount64() ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        wchar_t suffix[8];
        std::swprintf(suffix, 8, L"%06llx", (seed >> 40) & 0xffffffULL);
        name = prefix + suffix;
        const HANDLE file =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// A folder that takes no new file because of permissions or write protection; any
// other reason (a full disk, a name too long) fails the write.
bool FolderRefuses(const DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

// Removes the copies for `target` that a killed write left behind: plain files of
// the copies' name pattern, untouched for an hour (a running write touches its
// copy all the time).
void RemoveStaleCopies(const std::wstring& target)
{
    const std::wstring prefix = CopyNamePrefix(target);
    const std::wstring folder = prefix.substr(0, FileNameStart(prefix));
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW((prefix + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    do {
        const std::wstring name = entry.cFileName;
        if (folder.size() + name.size() == prefix.size() + 6 && name.size() == CopyNameLength
            && (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0
            && ticks(now) > ticks(entry.ftLastWriteTime) + StaleCopyAge) {
            DeleteFileW((folder + name).c_str());
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// Puts the complete copy `name` in place of the existing `target`, which keeps its
// attributes and security; 0 or the reason it failed. ReplaceFileW can stop
// halfway, and without a backup name it may then have removed the target: with
// one, every failure leaves the earlier file under its own name or the backup's.
DWORD ReplaceWithCopy(const std::wstring& target, const std::wstring& name)
{
    std::wstring backup;
    Handle reserved(CreateSibling(target, backup));
    if (!reserved.Valid()) {
        return GetLastError();
    }
    reserved.Close();
    if (ReplaceFileW(target.c_str(), name.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return 0;
    }
    const DWORD error = GetLastError();
    // The earlier file was renamed to the backup and the copy could not follow.
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
        && !MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return error; // the backup is all that is left of the earlier file: it stays
    }
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(backup.c_str());
    }
    return error;
}

// Writes the copy and puts it in place of `target` (replacing the existing file
// when `replace`); the copy is gone afterwards.
FileWriteResult CompleteCopy(Handle& copy, const std::wstring& name, const std::string& bytes,
                             const std::wstring& target, const bool replace)
{
    DWORD error = WriteAll(copy.Get(), bytes);
    if (error == 0 && !FlushFileBuffers(copy.Get())) {
        error = GetLastError();
    }
    copy.Close();
    if (error == 0) {
        if (replace) {
            error = ReplaceWithCopy(target, name);
        } else if (!MoveFileExW(name.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = GetLastError();
        }
    }
    if (error != 0) {
        DeleteFileW(name.c_str());
        return Failure(Outcome::NotWritten, error);
    }
    return {};
}

FileWriteResult WriteAndClose(Handle& file, const std::string& bytes)
{
    const DWORD error = WriteAll(file.Get(), bytes);
    file.Close();
    return error == 0 ? FileWriteResult{} : Failure(Outcome::NotWritten, error);
}

// Writes a disk file in place: the space for the new length is taken first, so that
// a full disk fails before any byte changes; then the bytes from the start, the
// file cut to their length and flushed.
FileWriteResult WriteInPlace(Handle& file, const std::string& bytes)
{
    LARGE_INTEGER size{};
    LARGE_INTEGER length{};
    length.QuadPart = static_cast<LONGLONG>(bytes.size());
    const LARGE_INTEGER start{};
    DWORD error = GetFileSizeEx(file.Get(), &size) ? 0 : GetLastError();
    if (error == 0 && size.QuadPart < length.QuadPart
        && !(SetFilePointerEx(file.Get(), length, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()))) {
        error = GetLastError();
        // Back to the earlier length: nothing of the earlier content was touched.
        SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN);
        SetEndOfFile(file.Get());
        return Failure(Outcome::NotWritten, error);
    }
    if (error == 0 && !SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) {
        error = GetLastError();
    }
    if (error == 0) {
        error = WriteAll(file.Get(), bytes);
    }
    if (error == 0
        && !(SetFilePointerEx(file.Get(), length, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get())
             && FlushFileBuffers(file.Get()))) {
        error = GetLastError();
    }
    file.Close();
    return error == 0 ? FileWriteResult{} : Failure(Outcome::NotWritten, error);
}

} // namespace

FileWriteResult WriteWholeFile(const NativePath& path, const std::string& bytes)
{
    if (path.empty()) {
        return Failure(Outcome::NotOpened, ERROR_PATH_NOT_FOUND);
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Failure(Outcome::NotOpened, ERROR_DIRECTORY);
    }
    // Opened without truncating: the writer must be allowed to write the file itself,
    // however it is then replaced.
    Handle existing(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.Valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            return Failure(Outcome::NotOpened, error);
        }
        // A new file appears under its name only once complete.
        std::wstring name;
        Handle copy(CreateSibling(path, name));
        if (copy.Valid()) {
            FileWriteResult result = CompleteCopy(copy, name, bytes, path, false);
            if (result.outcome == Outcome::Written) {
                RemoveStaleCopies(path);
            }
            return result;
        }
        if (!FolderRefuses(GetLastError())) {
            return Failure(Outcome::NotOpened, GetLastError());
        }
        Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            return Failure(Outcome::NotOpened, GetLastError());
        }
        FileWriteResult result = WriteAndClose(file, bytes);
        if (result.outcome != Outcome::Written) {
            DeleteFileW(path.c_str());
        }
        return result;
    }

    BY_HANDLE_FILE_INFORMATION information{};
    const bool diskFile = GetFileType(existing.Get()) == FILE_TYPE_DISK;
    if (diskFile && GetFileInformationByHandle(existing.Get(), &information) && information.nNumberOfLinks == 1) {
        // The final target of any links, where the copy must be made.
        std::wstring finalPath(MAX_PATH, L'\0');
        DWORD length = GetFinalPathNameByHandleW(existing.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                                 FILE_NAME_NORMALIZED);
        if (length >= finalPath.size()) {
            finalPath.resize(length);
            length = GetFinalPathNameByHandleW(existing.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                               FILE_NAME_NORMALIZED);
        }
        // A file system that cannot name it gets the copy next to the path as given.
        finalPath = length != 0 && length < finalPath.size() ? finalPath.substr(0, length) : path;
        std::wstring name;
        Handle copy(CreateSibling(finalPath, name));
        if (copy.Valid()) {
            existing.Close();
            FileWriteResult result = CompleteCopy(copy, name, bytes, finalPath, true);
            if (result.outcome == Outcome::Written) {
                RemoveStaleCopies(finalPath);
            }
            return result;
        }
        // Only a folder that refuses new files gets the file written in place; any
        // other failure (a full disk, a name too long) leaves it as it is.
        if (!FolderRefuses(GetLastError())) {
            return Failure(Outcome::NotOpened, GetLastError());
        }
    }
    // In place: devices, pipes, files with more links, folders that take no copy.
    return diskFile ? WriteInPlace(existing, bytes) : WriteAndClose(existing, bytes);
}
