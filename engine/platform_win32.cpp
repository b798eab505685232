#include "windows_api.h"
// After windows.h, which it needs.
#include <shlobj.h>

#include <array>
#include <string>

#include "platform.h"

namespace tavro {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "engine text is handed to Windows unconverted");

// The sizes the lookups have always used; a longer folder or module path is cut.
constexpr DWORD kProgramFilesBufferUnits = 262;
constexpr DWORD kModulePathBufferUnits = 261;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring native(const Text& text) {
    return std::wstring(text.begin(), text.end());
}

Text fromNative(const wchar_t* units, size_t count) {
    return Text(units, units + count);
}

// A failed call that left no reason must still read as a failure.
uint32_t lastError() {
    const DWORD code = ::GetLastError();
    return code == ERROR_SUCCESS ? winerr::kGenFailure : code;
}

[[noreturn]] void throwLastError(const std::string& operation) {
    throw PlatformError(lastError(), operation);
}

// Closes on every path.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (valid()) {
            ::FindClose(handle_);
        }
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

uint64_t ticksOf(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME fileTimeOf(FileTime time) {
    FILETIME out{};
    out.dwLowDateTime = static_cast<DWORD>(time.ticks & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(time.ticks >> 32);
    return out;
}

bool isDirectory(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isReparsePoint(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens what a link at `path` leads to; directories need backup semantics.
HANDLE openTarget(const std::wstring& path, DWORD access) {
    return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

void flushFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    // The copy carries the source's attributes; a read-only one could be neither
    // flushed nor replaced by the next upgrade.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        !::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        throwLastError("Preparing the copy");
    }
    Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        throwLastError("Opening the copy");
    }
    if (!::FlushFileBuffers(file.get())) {
        throwLastError("Flushing the copy");
    }
}

bool hasWildcard(const std::wstring& name) {
    return name.find_first_of(L"*?") != std::wstring::npos;
}

class Win32Platform final : public Platform {
  public:
    Text programFilesX86() override {
        std::array<wchar_t, kProgramFilesBufferUnits> buffer{};
        const HRESULT result = ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr,
                                                  SHGFP_TYPE_CURRENT, buffer.data());
        // An empty answer would be read as a folder at the root of the current drive.
        if (FAILED(result)) {
            const uint32_t code = HRESULT_FACILITY(result) == FACILITY_WIN32
                                      ? static_cast<uint32_t>(HRESULT_CODE(result))
                                      : winerr::kPathNotFound;
            throw PlatformError(code, "Finding the Program Files folder");
        }
        size_t length = 0;
        while (length < buffer.size() && buffer[length] != L'\0') {
            ++length;
        }
        return fromNative(buffer.data(), length);
    }

    Text ownExecutablePath() override {
        std::array<wchar_t, kModulePathBufferUnits> buffer{};
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), kModulePathBufferUnits);
        if (length == 0) {
            throwLastError("Reading the program's own path");
        }
        return fromNative(buffer.data(), length);
    }

    PathAttributes attributes(const Text& path) override {
        PathAttributes result;
        const DWORD attributes = ::GetFileAttributesW(native(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            result.error = lastError();
            return result;
        }
        result.directory = isDirectory(attributes);
        result.link = isReparsePoint(attributes);
        return result;
    }

    bool linkTargetOpens(const Text& path, bool asDirectory) override {
        Handle target(openTarget(native(path), GENERIC_READ));
        if (!target.valid()) {
            // Another process holding the file open proves that it is there.
            return !asDirectory && ::GetLastError() == ERROR_SHARING_VIOLATION;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        return ::GetFileInformationByHandle(target.get(), &info) &&
               isDirectory(info.dwFileAttributes) == asDirectory;
    }

    bool searchFindsFile(const Text& path) override {
        const std::wstring pattern = native(path);
        // No file name holds a wildcard; a search for one would find others.
        const size_t cut = pattern.find_last_of(L"\\/:");
        if (hasWildcard(cut == std::wstring::npos ? pattern : pattern.substr(cut + 1))) {
            return false;
        }
        WIN32_FIND_DATAW found{};
        FindHandle search(::FindFirstFileW(pattern.c_str(), &found));
        return search.valid() && !isDirectory(found.dwFileAttributes);
    }

    Text makeAbsolute(const Text& path) override {
        const std::wstring relative = native(path);
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD needed = ::GetFullPathNameW(
                relative.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
            if (needed == 0) {
                throwLastError("Making the path absolute");
            }
            if (needed < buffer.size()) {
                return fromNative(buffer.data(), needed);
            }
            // Too small: `needed` counts the terminating NUL as well.
            buffer.assign(needed, L'\0');
        }
    }

    void copyToNew(const Text& source, const Text& destination) override {
        const std::wstring to = native(destination);
        if (!::CopyFileExW(native(source).c_str(), to.c_str(), nullptr, nullptr, nullptr,
                           COPY_FILE_FAIL_IF_EXISTS)) {
            const uint32_t code = lastError();
            // What stands at the destination was there before: not ours to remove.
            if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
                ::DeleteFileW(to.c_str());
            }
            throw PlatformError(code, "Copying the new executable");
        }
        try {
            flushFile(to);
        } catch (...) {
            ::DeleteFileW(to.c_str());
            throw;
        }
    }

    void keepBackup(const Text& installed, const Text& backup) override {
        // A running executable can be renamed but not overwritten: moving it aside
        // frees its name for the swap while the product runs.
        if (!::MoveFileW(native(installed).c_str(), native(backup).c_str())) {
            throwLastError("Keeping the backup");
        }
    }

    void undoBackup(const Text& installed, const Text& backup) override {
        if (!::MoveFileW(native(backup).c_str(), native(installed).c_str())) {
            throwLastError("Restoring the installed executable");
        }
    }

    void swapIn(const Text& fresh, const Text& installed) override {
        if (!::MoveFileExW(native(fresh).c_str(), native(installed).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            throwLastError("Replacing the installed executable");
        }
    }

    // The swap was written through; Windows offers no flush of a folder's entries
    // to a program without backup rights.
    void flushFolder(const Text&) override {}

    void removeFile(const Text& path) override {
        const std::wstring target = native(path);
        if (::DeleteFileW(target.c_str())) {
            return;
        }
        const uint32_t code = lastError();
        // A link to a folder is removed as a folder; its target stays.
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && isDirectory(attributes) &&
            isReparsePoint(attributes)) {
            if (::RemoveDirectoryW(target.c_str())) {
                return;
            }
            throwLastError("Removing a file");
        }
        throw PlatformError(code, "Removing a file");
    }

    FileTime creationTime(const Text& path) override {
        const std::wstring file = native(path);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
            return FileTime{};
        }
        if (!isReparsePoint(data.dwFileAttributes)) {
            return FileTime{ticksOf(data.ftCreationTime)};
        }
        // Those were the link's own times; the file's are behind it.
        Handle target(openTarget(file, FILE_READ_ATTRIBUTES));
        FILETIME created{};
        if (!target.valid() || !::GetFileTime(target.get(), &created, nullptr, nullptr)) {
            return FileTime{};
        }
        return FileTime{ticksOf(created)};
    }

    void setCreationTime(const Text& path, FileTime time) override {
        // Attribute rights suffice, so a running executable can be stamped too.
        Handle file(::CreateFileW(native(path).c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            throwLastError("Opening the copy");
        }
        const FILETIME created = fileTimeOf(time);
        if (!::SetFileTime(file.get(), &created, nullptr, nullptr)) {
            throwLastError("Setting the creation time");
        }
    }
};

}  // namespace

Platform& systemPlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace tavro
