#include "settings/file_write.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

namespace {

using Outcome = FileWriteResult::Outcome;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

FileWriteResult Failure(const Outcome outcome, const DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : L"Error " + std::to_wstring(error);
    LocalFree(buffer);
    // The system's sentences end in a full stop and a line end; the path follows.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
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

// A new file next to `target`, opened for writing; invalid when none can be created.
HANDLE CreateSibling(const std::wstring& target, std::wstring& name)
{
    ULONGLONG seed = GetTickCount64() ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name = target + L"." + std::to_wstring((seed >> 40) & 0xffffffULL) + L".tmp";
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
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
    if (ReplaceFileW(target.c_str(), name.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
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
    Handle existing(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.Valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            return Failure(Outcome::NotOpened, error);
        }
        // A new file appears under its name only once complete.
        std::wstring name;
        Handle copy(CreateSibling(path, name));
        if (copy.Valid()) {
            return CompleteCopy(copy, name, bytes, path, false);
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
        DWORD length = GetFinalPathNameByHandleW(existing.Get(), finalPath.data(),
                                                 static_cast<DWORD>(finalPath.size()), FILE_NAME_NORMALIZED);
        if (length >= finalPath.size()) {
            finalPath.resize(length);
            length = GetFinalPathNameByHandleW(existing.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                               FILE_NAME_NORMALIZED);
        }
        if (length != 0 && length < finalPath.size()) {
            finalPath.resize(length);
            std::wstring name;
            Handle copy(CreateSibling(finalPath, name));
            if (copy.Valid()) {
                existing.Close();
                return CompleteCopy(copy, name, bytes, finalPath, true);
            }
        }
    }
    // In place: devices, pipes, files with more links, folders that take no copy.
    if (diskFile && !SetEndOfFile(existing.Get())) {
        return Failure(Outcome::NotWritten, GetLastError());
    }
    return WriteAndClose(existing, bytes);
}
